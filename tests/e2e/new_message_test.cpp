// New messages seen from outside: text added to a captured conversation's
// history marks its tab with a count until the user looks at it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using namespace e2e;
using sim::Kind;

// No balloons, no switching, no hiding into the tray at start: the tabs are
// what this looks at.
constexpr wchar_t kIni[] =
    L"[Settings]\r\n"
    L"tray_MsgTip=0\r\n"
    L"tray_AutoMin=0\r\n"
    L"org_AutoSwitch=0\r\n"
    L"org_ExitMsg=0\r\n"
    L"win_X=1500\r\nwin_Y=1500\r\nwin_CX=10560\r\nwin_CY=8355\r\nwin_Status=0\r\n";

bool CaptionIs(const RemoteTabs& tabs, int index, const std::wstring& text) {
    return tabs.Caption(index) == std::optional<std::wstring>(text);
}

TEST(NewMessage, CountsOnTheTabUntilTheConversationIsLookedAt) {
    ProgramFolder folder;
    folder.WriteIni(kIni);
    Simulator messenger;
    // Its main panel has the hook library put into its thread at start-up.
    ASSERT_TRUE(messenger.Open(Kind::MainPanel, L"QQ"));
    // Chinese names and text: they must come through whatever the system
    // code page (this test also runs under code page 936).
    const SimWindow alice = messenger.Open(Kind::Classic, L"与 张三 交谈中");
    const SimWindow bob = messenger.Open(Kind::Classic, L"与 李四 交谈中");
    ASSERT_TRUE(alice && bob);
    ASSERT_TRUE(messenger.AppendHistory(alice.top, L"张三 09:59:00\r\n早上好"));

    VarnuApp varnu(folder);
    const HWND main = varnu.WaitForMainWindow(10000ms);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Parent(alice.top) != nullptr && Parent(bob.top) != nullptr; }, 10000ms));
    ASSERT_TRUE(WaitUntil([&] { return varnu.TabWindow() != nullptr; }));
    RemoteTabs tabs(varnu.TabWindow());
    ASSERT_TRUE(WaitUntil([&] { return tabs.Count() == 2; }));

    // Whichever conversation was taken in last is selected; the other one
    // receives the messages.
    const int selected = tabs.Selected();
    ASSERT_TRUE(selected == 0 || selected == 1);
    const int other = 1 - selected;
    const std::wstring title = *tabs.Caption(other);
    const std::wstring selectedTitle = *tabs.Caption(selected);
    ASSERT_TRUE(title == L"张三" || title == L"李四") << testing::PrintToString(title);
    const SimWindow& chat = title == L"张三" ? alice : bob;
    const SimWindow& current = title == L"张三" ? bob : alice;

    // Nothing was said since the capture: no marks.
    Pause(400ms);
    EXPECT_TRUE(CaptionIs(tabs, other, title));

    // The lengths are measured inside the messenger: the hook library takes
    // each request out of the queue (a null message there), and nothing is
    // sent across per tick (from outside: a length query per history and tick).
    const auto id = [](HWND h) { return static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(h)); };
    EXPECT_TRUE(WaitUntil([&] {
        for (const sim::Record& r : messenger.Records())
            if (r.message == WM_NULL && r.via == sim::Via::Queue &&
                (r.window == id(alice.history) || r.window == id(bob.history)))
                return true;
        return false;
    }));
    const auto sent = messenger.Traffic(sim::Traffic::SentByOthers);
    Pause(2000ms);
    EXPECT_LT(messenger.Traffic(sim::Traffic::SentByOthers) - sent, 10u);

    ASSERT_TRUE(messenger.AppendHistory(chat.top, L"\r\n" + title + L" 10:00:00\r\n你好"));
    EXPECT_TRUE(WaitUntil([&] { return CaptionIs(tabs, other, L"(1)" + title); }))
        << testing::PrintToString(tabs.Captions());
    ASSERT_TRUE(messenger.AppendHistory(chat.top, L"\r\n" + title + L" 10:00:05\r\n在吗"));
    EXPECT_TRUE(WaitUntil([&] { return CaptionIs(tabs, other, L"(2)" + title); }))
        << testing::PrintToString(tabs.Captions());

    // A message in the conversation on show leaves its tab alone.
    ASSERT_TRUE(messenger.AppendHistory(current.top, L"\r\n我 10:00:06\r\n嗨"));
    Pause(500ms);
    EXPECT_TRUE(CaptionIs(tabs, selected, selectedTitle)) << testing::PrintToString(tabs.Captions());
    EXPECT_TRUE(CaptionIs(tabs, other, L"(2)" + title));

    // Looking at it with the main window active reads it.
    ::SetForegroundWindow(main);
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == main; }));
    ASSERT_TRUE(tabs.ClickTab(other));
    EXPECT_TRUE(WaitUntil([&] { return tabs.Selected() == other; }));
    EXPECT_TRUE(WaitUntil([&] { return CaptionIs(tabs, other, title); })) << testing::PrintToString(tabs.Captions());
}

}  // namespace
