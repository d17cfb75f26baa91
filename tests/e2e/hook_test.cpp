// Gestures made inside captured chat windows: Varnu.dll, hooked into the
// messenger's thread at start-up, reports Ctrl and the wheel to the main
// window, which shows the tab numbers and steps through the tabs.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using namespace e2e;
using sim::Kind;

int CountRecords(const std::vector<sim::Record>& records, UINT message, sim::Via via) {
    int n = 0;
    for (const auto& r : records)
        if (r.message == message && r.via == via) ++n;
    return n;
}

// One messenger with its main panel open before Varnu starts (so its thread
// is hooked) and three conversations taken in by the start-up scan. Shared by
// the tests: starting the two programs is the slow part.
class HookTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new ProgramFolder();
        folder_->WriteIni(kQuietSettings);
        messenger_ = new Simulator();
        panel_ = messenger_->Open(Kind::MainPanel, L"QQ");
        for (const wchar_t* title : {L"与 张三 交谈中", L"与 李四 交谈中", L"与 王五 交谈中"})
            chats_.push_back(messenger_->Open(Kind::Classic, title));
        varnu_ = new VarnuApp(*folder_);
        main_ = varnu_->WaitForMainWindow(10000ms);
        if (main_) WaitUntil([] { return IsVisible(main_); }, 10000ms);
        tabs_ = main_ ? new RemoteTabs(varnu_->TabWindow()) : nullptr;
    }
    static void TearDownTestSuite() {
        delete tabs_;
        delete varnu_;
        delete messenger_;
        delete folder_;
        tabs_ = nullptr;
        varnu_ = nullptr;
        messenger_ = nullptr;
        folder_ = nullptr;
        chats_.clear();
    }

    void SetUp() override {
        ASSERT_TRUE(panel_);
        ASSERT_NE(main_, nullptr);
        ASSERT_NE(tabs_, nullptr);
        ASSERT_TRUE(WaitUntil([] { return tabs_->Count() == 3; }));
        for (const SimWindow& chat : chats_) ASSERT_TRUE(IsTakenInto(chat.top, main_));
        input_ = chats_[0].input;
        ASSERT_NE(input_, nullptr);
        ASSERT_TRUE(messenger_->ClearRecords());
    }
    void TearDown() override {
        // Leave no key or button down for the next test.
        PostKey(input_, VK_CONTROL, false);
        PostMouse(input_, WM_RBUTTONUP, 0);
        Pause(200ms);
        EXPECT_EQ(WaitForErrorBox(varnu_->Id(), 0ms), nullptr);
    }

    // Walks the selection to `index` by posting the notice the hook library
    // would post, then forgets what the messenger received so far.
    void Select(int index) {
        for (int i = 0; i < 3 && tabs_->Selected() != index; ++i) {
            const int before = tabs_->Selected();
            ::PostMessageW(main_, 2140, 1, 0);
            WaitUntil([&] { return tabs_->Selected() != before; }, 2000ms);
        }
        ASSERT_EQ(tabs_->Selected(), index);
        ASSERT_TRUE(messenger_->ClearRecords());
    }

    static ProgramFolder* folder_;
    static Simulator* messenger_;
    static VarnuApp* varnu_;
    static RemoteTabs* tabs_;
    static SimWindow panel_;
    static std::vector<SimWindow> chats_;
    static HWND main_;
    HWND input_ = nullptr;
};

ProgramFolder* HookTest::folder_ = nullptr;
Simulator* HookTest::messenger_ = nullptr;
VarnuApp* HookTest::varnu_ = nullptr;
RemoteTabs* HookTest::tabs_ = nullptr;
SimWindow HookTest::panel_;
std::vector<SimWindow> HookTest::chats_;
HWND HookTest::main_ = nullptr;

TEST_F(HookTest, CtrlInAChatWindowShowsTheTabNumbersUntilReleased) {
    ASSERT_TRUE(VisibleTabNumbers(main_).empty());

    PostKey(input_, VK_CONTROL, true);
    EXPECT_TRUE(WaitUntil([&] { return VisibleTabNumbers(main_).size() == 3; }));
    EXPECT_EQ(VisibleTabNumbers(main_), (std::vector<std::wstring>{L"1", L"2", L"3"}));

    // Key repeats keep them; no duplicates appear.
    PostKey(input_, VK_CONTROL, true, /*repeat=*/true);
    PostKey(input_, VK_CONTROL, true, true);
    Pause(300ms);
    EXPECT_EQ(VisibleTabNumbers(main_).size(), 3u);

    PostKey(input_, VK_CONTROL, false);
    EXPECT_TRUE(WaitUntil([&] { return VisibleTabNumbers(main_).empty(); }));

    // The messenger still got its keys.
    EXPECT_TRUE(messenger_->WaitForRecord(chats_[0].top, WM_KEYUP, sim::Via::Procedure).has_value());
}

TEST_F(HookTest, CtrlWheelStepsThroughTheTabsWithWrapAround) {
    Select(2);
    PostKey(input_, VK_CONTROL, true);

    // Towards the user: next tab, from the last to the first.
    PostWheel(input_, -120, MK_CONTROL);
    EXPECT_TRUE(WaitUntil([] { return tabs_->Selected() == 0; }));
    PostWheel(input_, -120, MK_CONTROL);
    EXPECT_TRUE(WaitUntil([] { return tabs_->Selected() == 1; }));

    // Away from the user: previous tab, from the first to the last.
    PostWheel(input_, 120, MK_CONTROL);
    EXPECT_TRUE(WaitUntil([] { return tabs_->Selected() == 0; }));
    PostWheel(input_, 120, MK_CONTROL);
    EXPECT_TRUE(WaitUntil([] { return tabs_->Selected() == 2; }));

    PostKey(input_, VK_CONTROL, false);
    // The wheel messages themselves still reached the chat window.
    const auto records = messenger_->Records(chats_[0].top);
    EXPECT_EQ(CountRecords(records, WM_MOUSEWHEEL, sim::Via::Queue), 4);
}

TEST_F(HookTest, RightButtonWheelStepsAndItsReleaseIsSwallowed) {
    Select(2);
    PostMouse(input_, WM_RBUTTONDOWN, MK_RBUTTON);
    PostWheel(input_, -120, MK_RBUTTON);
    EXPECT_TRUE(WaitUntil([] { return tabs_->Selected() == 0; }));
    PostWheel(input_, 120, MK_RBUTTON);
    EXPECT_TRUE(WaitUntil([] { return tabs_->Selected() == 2; }));

    PostMouse(input_, WM_RBUTTONUP, 0);
    // On the input box: the history gets null messages of its own, Varnu's
    // swallowed measurement requests.
    ASSERT_TRUE(messenger_->WaitForRecord(input_, WM_NULL, sim::Via::Queue).has_value());
    auto records = messenger_->Records(chats_[0].top);
    EXPECT_EQ(CountRecords(records, WM_RBUTTONUP, sim::Via::Queue), 0);
    EXPECT_EQ(CountRecords(records, WM_RBUTTONUP, sim::Via::Procedure), 0);
    EXPECT_EQ(CountRecords(records, WM_CONTEXTMENU, sim::Via::Procedure), 0);

    // A click without a wheel turn is the messenger's as usual.
    ASSERT_TRUE(messenger_->ClearRecords());
    PostMouse(input_, WM_RBUTTONDOWN, MK_RBUTTON);
    PostMouse(input_, WM_RBUTTONUP, 0);
    EXPECT_TRUE(messenger_->WaitForRecord(chats_[0].top, WM_RBUTTONUP, sim::Via::Procedure).has_value());
    EXPECT_EQ(tabs_->Selected(), 2);
}

TEST_F(HookTest, PlainWheelTurnReportsNothing) {
    Select(1);
    PostWheel(input_, -120, 0);
    PostWheel(input_, 120, 0);
    ASSERT_TRUE(messenger_->WaitForRecord(chats_[0].top, WM_MOUSEWHEEL, sim::Via::Queue).has_value());
    Pause(500ms);
    EXPECT_EQ(tabs_->Selected(), 1);
    EXPECT_TRUE(VisibleTabNumbers(main_).empty());
}

// ---------------------------------------------------------------------------

TEST(HookLibraryMissing, VarnuStillStartsAndTakesWindows) {
    ProgramFolder folder(/*copyHookLibrary=*/false);
    folder.WriteIni(kQuietSettings);
    ASSERT_FALSE(FileExists(folder.File(L"Varnu.dll")));
    Simulator messenger;
    const SimWindow panel = messenger.Open(Kind::MainPanel, L"QQ");
    const SimWindow before = messenger.Open(Kind::Classic, L"与 张三 交谈中");
    ASSERT_TRUE(panel && before);

    VarnuApp varnu(folder);
    HWND main = varnu.WaitForMainWindow(10000ms);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(main); }, 10000ms));

    // Told once, without stopping anything.
    HWND box = WaitForErrorBox(varnu.Id());
    ASSERT_NE(box, nullptr);
    bool namesLibrary = false;
    for (const std::wstring& text : ChildTexts(box))
        namesLibrary = namesLibrary || text.find(L"Varnu.dll") != std::wstring::npos;
    EXPECT_TRUE(namesLibrary);

    RemoteTabs tabs(varnu.TabWindow());
    EXPECT_TRUE(WaitUntil([&] { return IsTakenInto(before.top, main) && tabs.Count() == 1; }));
    const SimWindow after = messenger.Open(Kind::Classic, L"与 李四 交谈中");
    EXPECT_TRUE(WaitUntil([&] { return IsTakenInto(after.top, main) && tabs.Count() == 2; }));

    // Gestures are simply not reported.
    PostKey(after.input, VK_CONTROL, true);
    PostWheel(after.input, -120, MK_CONTROL);
    PostKey(after.input, VK_CONTROL, false);
    Pause(500ms);
    EXPECT_EQ(tabs.Selected(), 1);
    EXPECT_TRUE(varnu.Proc().IsRunning());

    // New messages are still marked, the histories measured from outside.
    ASSERT_TRUE(messenger.AppendHistory(before.top, L"\r\n张三 10:00:00\r\n你好"));
    EXPECT_TRUE(WaitUntil([&] { return tabs.Caption(0) == std::optional<std::wstring>(L"(1)张三"); }))
        << testing::PrintToString(tabs.Captions());
}

}  // namespace
