// Which windows reported by the WinEvent stand-in count as new and when each
// is looked at, on a desktop of fake windows whose looks the tests change.
#include "main/core/new_window_tracker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace varnu {
namespace {

WindowId Fake(WindowId n) { return n; }

using Clock = NewWindowTracker::Clock;
using std::chrono::milliseconds;

// A desktop of fake windows whose looks the tests change at will.
struct FakeDesktop {
    std::map<WindowId, WindowLook> windows;

    WindowLook& Add(WindowId hwnd, std::wstring title, bool visible = true) {
        WindowLook& look = windows[hwnd];
        look.exists = true;
        look.topLevel = true;
        look.visible = visible;
        look.title = std::move(title);
        return look;
    }
    std::function<WindowLook(WindowId)> Reader() {
        return [this](WindowId hwnd) {
            auto it = windows.find(hwnd);
            return it == windows.end() ? WindowLook{} : it->second;
        };
    }
};

const Clock::time_point t0 = Clock::now();
Clock::time_point At(int ms) { return t0 + milliseconds(ms); }

TEST(NewWindowTracker, OnlyWindowsBornDuringTheWatchAreChecked) {
    FakeDesktop desk;
    NewWindowTracker tracker;
    desk.Add(Fake(1), L"与 张三 交谈中");  // existed before, e.g. given back by a release
    desk.Add(Fake(2), L"与 李四 交谈中");

    // Showing or renaming an old window does not make it new.
    EXPECT_FALSE(tracker.OnEvent(Fake(1), WindowEvent::Shown, At(0)));
    EXPECT_FALSE(tracker.OnEvent(Fake(1), WindowEvent::Renamed, At(0)));
    EXPECT_TRUE(tracker.OnEvent(Fake(2), WindowEvent::Created, At(0)));

    // Not before it had time to build itself; then once.
    EXPECT_TRUE(tracker.Due(At(50), desk.Reader()).empty());
    EXPECT_EQ(tracker.Due(At(200), desk.Reader()), std::vector<WindowId>{Fake(2)});
    EXPECT_TRUE(tracker.Due(At(300), desk.Reader()).empty());

    // Taken: never again, whatever it does.
    tracker.Forget(Fake(2));
    desk.windows[Fake(2)].title = L"与 王五 交谈中";
    EXPECT_FALSE(tracker.OnEvent(Fake(2), WindowEvent::Renamed, At(400)));
    EXPECT_TRUE(tracker.Due(At(500), desk.Reader()).empty());
    EXPECT_FALSE(tracker.Watching(At(500)));

    // Built before the settling time: shown, or the same look at two polls
    // in a row; the poll is quick for a while after the last notice.
    desk.Add(Fake(8), L"与 赵六 交谈中");
    tracker.OnEvent(Fake(8), WindowEvent::Created, At(1000));
    EXPECT_TRUE(tracker.OnEvent(Fake(8), WindowEvent::Shown, At(1005)));
    EXPECT_EQ(tracker.Due(At(1005), desk.Reader()), std::vector<WindowId>{Fake(8)});
    desk.Add(Fake(9), L"");
    tracker.OnEvent(Fake(9), WindowEvent::Created, At(1000));
    EXPECT_TRUE(tracker.Due(At(1000), desk.Reader()).empty());
    desk.windows[Fake(9)].children = 3;  // still building
    EXPECT_TRUE(tracker.Due(At(1010), desk.Reader()).empty());
    EXPECT_EQ(tracker.Due(At(1020), desk.Reader()), std::vector<WindowId>{Fake(9)});
    EXPECT_TRUE(tracker.Quick(At(1900)));
    EXPECT_FALSE(tracker.Quick(At(2100)));
    EXPECT_TRUE(tracker.Watching(At(2100)));
}

TEST(NewWindowTracker, ChecksAgainWhenWhatRecognitionReadsChanges) {
    FakeDesktop desk;
    NewWindowTracker tracker;
    desk.Add(Fake(3), L"", /*visible=*/false);
    tracker.OnEvent(Fake(3), WindowEvent::Created, At(0));

    // Hidden: waits, however long it takes to get its title.
    EXPECT_TRUE(tracker.Due(At(200), desk.Reader()).empty());
    desk.windows[Fake(3)].title = L"与 张三 交谈中";
    EXPECT_TRUE(tracker.Due(At(300), desk.Reader()).empty());
    desk.windows[Fake(3)].visible = true;
    EXPECT_EQ(tracker.Due(At(400), desk.Reader()).size(), 1u);

    // Not taken (say the style was not final yet): each later change of
    // style, title or children brings another look.
    desk.windows[Fake(3)].style = 0x960F0000;
    EXPECT_EQ(tracker.Due(At(500), desk.Reader()).size(), 1u);
    desk.windows[Fake(3)].children = 2;
    EXPECT_EQ(tracker.Due(At(600), desk.Reader()).size(), 1u);
    EXPECT_TRUE(tracker.Due(At(700), desk.Reader()).empty());

    // Owned windows wait until the owner is gone.
    WindowLook& owned = desk.Add(Fake(4), L"与 李四 交谈中");
    owned.owned = true;
    tracker.OnEvent(Fake(4), WindowEvent::Created, At(700));
    EXPECT_TRUE(tracker.Due(At(900), desk.Reader()).empty());
    owned.owned = false;
    EXPECT_EQ(tracker.Due(At(1000), desk.Reader()), std::vector<WindowId>{Fake(4)});
}

TEST(NewWindowTracker, WatchEndsAfterAWhileAndForGoneOrReparentedWindows) {
    FakeDesktop desk;
    NewWindowTracker tracker;
    desk.Add(Fake(5), L"");
    desk.Add(Fake(6), L"");
    desk.Add(Fake(7), L"");
    for (WindowId h : {Fake(5), Fake(6), Fake(7)}) tracker.OnEvent(h, WindowEvent::Created, At(0));
    EXPECT_EQ(tracker.Due(At(200), desk.Reader()).size(), 3u);

    desk.windows.erase(Fake(5));             // destroyed
    desk.windows[Fake(6)].topLevel = false;  // made a child by somebody
    tracker.Due(At(300), desk.Reader());
    EXPECT_FALSE(tracker.IsPending(Fake(5)));
    EXPECT_FALSE(tracker.IsPending(Fake(6)));

    // A title set long after the window appeared is no longer looked at ...
    const int late = static_cast<int>(NewWindowTracker::kWatchFor.count()) + 100;
    EXPECT_FALSE(tracker.Watching(At(late)));
    desk.windows[Fake(7)].title = L"与 张三 交谈中";
    EXPECT_TRUE(tracker.Due(At(late), desk.Reader()).empty());
    // ... unless the system reports the rename, which extends the watch.
    EXPECT_TRUE(tracker.OnEvent(Fake(7), WindowEvent::Renamed, At(late)));
    EXPECT_TRUE(tracker.Watching(At(late)));
    EXPECT_EQ(tracker.Due(At(late + 10), desk.Reader()), std::vector<WindowId>{Fake(7)});
}

}  // namespace
}  // namespace varnu
