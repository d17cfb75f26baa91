// The window event watch seen from outside: conversation windows that open
// while Varnu runs are taken in, other windows are left alone, every window
// the messenger closes loses its tab, the shell's notice takes the window it
// names, and a hung messenger does not stop the tabs of another one.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "win32/strconv.h"

namespace {

using namespace e2e;
using sim::Kind;

constexpr UINT kHookNotify = 2140;
constexpr UINT kMnuPop = 110;  // the tab menu's "分离"

// Tab texts pass through the ANSI code page; compare what survives it, so
// the tests also hold where Chinese text does not.
std::wstring Ansi(std::wstring_view text) { return win32::AnsiToWide(win32::WideToAnsi(text)); }
std::vector<std::wstring> AnsiAll(std::vector<std::wstring> texts) {
    for (auto& t : texts) t = Ansi(t);
    return texts;
}

bool OnDesktop(HWND window) { return Ancestor(window, GA_PARENT) == ::GetDesktopWindow(); }

// Varnu answering its messages within `timeoutMs`.
bool Responsive(HWND main, UINT timeoutMs = 1000) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

class WatchTest : public ::testing::Test {
protected:
    void StartVarnu(std::wstring_view ini = kQuietSettings) {
        folder_.WriteIni(ini);
        varnu_ = std::make_unique<VarnuApp>(folder_);
        main_ = varnu_->WaitForMainWindow(10000ms);
        ASSERT_NE(main_, nullptr);
        // The watch starts late in the load; the window shows at its very end.
        ASSERT_TRUE(WaitUntil([&] { return IsVisible(main_); }, 10000ms));
        tabs_ = std::make_unique<RemoteTabs>(varnu_->TabWindow());
        ASSERT_NE(tabs_->Hwnd(), nullptr);
    }

    void TearDown() override {
        if (varnu_ && main_ && ::IsWindow(main_)) {
            EXPECT_EQ(WaitForErrorBox(varnu_->Id(), 0ms), nullptr) << "an error box is open";
        }
    }

    // Taken in and its tab added (the window gets its new parent before its
    // tab appears, so both are awaited).
    bool WaitTaken(HWND window, int tabCount, Millis timeout = kDefaultWait) {
        return WaitUntil([&] { return IsTakenInto(window, main_) && tabs_->Count() == tabCount; }, timeout);
    }
    bool WaitTabCount(int tabCount, Millis timeout = kDefaultWait) {
        return WaitUntil([&] { return tabs_->Count() == tabCount; }, timeout, 10ms);
    }

    // 张三 and 李四 of our messenger and 王五 of `other`, each taken in; the
    // style 王五 had on the desktop in `otherStyle`.
    void TakeInThree(Simulator& other, SimWindow& a, SimWindow& b, SimWindow& h, SimOpen how = {},
                     DWORD* otherStyle = nullptr) {
        a = messenger_.Open(Kind::Classic, L"与 张三 交谈中");
        ASSERT_TRUE(WaitTaken(a.top, 1));
        b = messenger_.Open(Kind::Classic, L"与 李四 交谈中");
        ASSERT_TRUE(WaitTaken(b.top, 2));
        h = other.Open(Kind::Classic, L"与 王五 交谈中", how);
        if (otherStyle) *otherStyle = Style(h.top);
        ASSERT_TRUE(WaitTaken(h.top, 3));
    }

    void PostShellNotice(WPARAM code, HWND window) const {
        ::PostMessageW(main_, ::RegisterWindowMessageW(L"SHELLHOOK"), code, reinterpret_cast<LPARAM>(window));
    }

    ProgramFolder folder_;
    Simulator messenger_;
    std::unique_ptr<VarnuApp> varnu_;
    std::unique_ptr<RemoteTabs> tabs_;
    HWND main_ = nullptr;
};

TEST_F(WatchTest, ConversationWindowsOpenedLaterAreTakenIn) {
    StartVarnu();
    ASSERT_EQ(tabs_->Count(), 0);

    const SimWindow classic = messenger_.Open(Kind::Classic, L"与 张三 交谈中");
    ASSERT_TRUE(WaitTaken(classic.top, 1));
    const SimWindow qq2009 = messenger_.Open(Kind::TXGui, L"李四");
    ASSERT_TRUE(WaitTaken(qq2009.top, 2));
    const SimWindow hi = messenger_.Open(Kind::BaseGui, L"王五");
    ASSERT_TRUE(WaitTaken(hi.top, 3));

    // Titled only after it appeared.
    const SimWindow late = messenger_.Open(Kind::Classic, L"");
    ASSERT_TRUE(late);
    Pause(300ms);
    EXPECT_FALSE(IsTakenInto(late.top, main_));
    ASSERT_TRUE(messenger_.SetTitle(late.top, L"与 赵六 交谈中"));
    EXPECT_TRUE(WaitTaken(late.top, 4));

    EXPECT_EQ(AnsiAll(tabs_->Captions()), AnsiAll({L"张三", L"李四", L"王五", L"赵六"}));
    // The newest conversation is the one shown.
    EXPECT_EQ(tabs_->Selected(), 3);
    EXPECT_TRUE(WaitUntil([&] { return Ansi(Caption(main_)) == Ansi(L"赵六 - Varnu"); }));
}

TEST_F(WatchTest, OtherWindowsOpenedLaterStayOnTheDesktop) {
    StartVarnu();
    const SimWindow owned =
        messenger_.Open(Kind::Classic, L"与 张三 交谈中", SimOpen().WithOptions(sim::Option::kOwned));
    const SimWindow typing = messenger_.Open(Kind::Classic, L"李四 - 正在输入");
    const SimWindow manager = messenger_.Open(Kind::TXGui, L"消息管理器");
    const SimWindow stranger = messenger_.Open(Kind::Other, L"与 王五 交谈中");
    ASSERT_TRUE(owned && typing && manager && stranger);

    // A conversation opened afterwards proves the watch had its chance.
    const SimWindow marker = messenger_.Open(Kind::Classic, L"与 赵六 交谈中");
    ASSERT_TRUE(WaitTaken(marker.top, 1));
    Pause(500ms);

    for (HWND w : {owned.top, typing.top, manager.top, stranger.top}) {
        SCOPED_TRACE(Caption(w));
        EXPECT_TRUE(OnDesktop(w));
        EXPECT_TRUE(IsVisible(w));
    }
    EXPECT_EQ(AnsiAll(tabs_->Captions()), AnsiAll({L"赵六"}));
}

TEST_F(WatchTest, SelectedWindowClosedByTheMessengerLosesItsTab) {
    StartVarnu();
    const SimWindow first = messenger_.Open(Kind::Classic, L"与 张三 交谈中");
    ASSERT_TRUE(WaitTaken(first.top, 1));
    const SimWindow second = messenger_.Open(Kind::Classic, L"与 李四 交谈中");
    ASSERT_TRUE(WaitTaken(second.top, 2));
    ASSERT_EQ(tabs_->Selected(), 1);

    ASSERT_TRUE(messenger_.Destroy(second.top));
    const auto gone = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitTabCount(1, 2000ms));
    // One or two ticks of the 100 ms check, with room for a slow machine.
    EXPECT_LT(std::chrono::steady_clock::now() - gone, 1000ms);
    EXPECT_EQ(AnsiAll(tabs_->Captions()), AnsiAll({L"张三"}));
    EXPECT_EQ(tabs_->Selected(), 0);
    EXPECT_TRUE(WaitUntil([&] { return Ansi(Caption(main_)) == Ansi(L"张三 - Varnu"); }));
    EXPECT_TRUE(IsTakenInto(first.top, main_)) << "the other conversation stays captured";

    // The last one: back to the empty notice, the window stays.
    ASSERT_TRUE(messenger_.Destroy(first.top));
    ASSERT_TRUE(WaitTabCount(0, 2000ms));
    EXPECT_TRUE(WaitUntil([&] { return Caption(main_).rfind(L"Varnu Ver", 0) == 0; }));
    EXPECT_TRUE(varnu_->Proc().IsRunning());
    EXPECT_TRUE(Responsive(main_));
}

TEST_F(WatchTest, WindowsClosedByTheMessengerLoseTheirTabsSelectedOrNot) {
    StartVarnu();
    std::vector<SimWindow> chats;
    for (const wchar_t* name : {L"Alice", L"Bob", L"Carol", L"Dave", L"Eve"}) {
        chats.push_back(messenger_.Open(Kind::Classic, L"与 " + std::wstring(name) + L" 交谈中"));
        ASSERT_TRUE(WaitTaken(chats.back().top, static_cast<int>(chats.size())));
    }
    ::PostMessageW(main_, kHookNotify, 1, 1);  // two tabs back: Carol
    ::PostMessageW(main_, kHookNotify, 1, 1);
    ASSERT_TRUE(messenger_.AppendHistory(chats[4].top, L"hello"));
    ASSERT_TRUE(WaitUntil([&] { return tabs_->Selected() == 2 && tabs_->Caption(4) == L"(1)Eve"; }));

    // One, then two at once, none of them the selected one: the selection
    // and the other tabs' marks stay as they were.
    ASSERT_TRUE(messenger_.Destroy(chats[1].top));
    EXPECT_TRUE(WaitTabCount(4, 1000ms));
    EXPECT_EQ(tabs_->Captions(), (std::vector<std::wstring>{L"Alice", L"Carol", L"Dave", L"(1)Eve"}));
    EXPECT_EQ(tabs_->Selected(), 1);
    ASSERT_TRUE(messenger_.Destroy(chats[0].top) && messenger_.Destroy(chats[3].top));
    EXPECT_TRUE(WaitTabCount(2, 1000ms));
    EXPECT_EQ(tabs_->Captions(), (std::vector<std::wstring>{L"Carol", L"(1)Eve"}));
    EXPECT_EQ(tabs_->Selected(), 0);
    EXPECT_EQ(Caption(main_), L"Carol - Varnu");
    // Then the selected one: the one left is shown.
    ASSERT_TRUE(messenger_.Destroy(chats[2].top));
    EXPECT_TRUE(WaitTabCount(1, 1000ms));
    EXPECT_TRUE(WaitUntil([&] { return Caption(main_) == L"Eve - Varnu"; }));
}

TEST_F(WatchTest, ShellNoticeTakesTheWindowItNames) {
    StartVarnu();
    // Never shown, so only a notice naming it can bring it in.
    const SimWindow hidden =
        messenger_.Open(Kind::Classic, L"与 张三 交谈中", SimOpen().WithOptions(sim::Option::kHidden));
    const SimWindow other =
        messenger_.Open(Kind::Other, L"与 李四 交谈中", SimOpen().WithOptions(sim::Option::kHidden));
    ASSERT_TRUE(hidden && other);
    Pause(500ms);
    ASSERT_TRUE(OnDesktop(hidden.top));

    // Codes other than "created" do not capture.
    PostShellNotice(2, hidden.top);  // HSHELL_WINDOWDESTROYED
    PostShellNotice(4, hidden.top);
    PostShellNotice(1, other.top);
    Pause(400ms);
    EXPECT_TRUE(OnDesktop(hidden.top));
    EXPECT_TRUE(OnDesktop(other.top));
    EXPECT_EQ(tabs_->Count(), 0);

    PostShellNotice(1, hidden.top);
    ASSERT_TRUE(WaitTaken(hidden.top, 1));
    EXPECT_EQ(AnsiAll(tabs_->Captions()), AnsiAll({L"张三"}));

    // A second notice for a window already taken does nothing.
    PostShellNotice(1, hidden.top);
    Pause(400ms);
    EXPECT_EQ(tabs_->Count(), 1);
    EXPECT_TRUE(IsTakenInto(hidden.top, main_));
}

TEST_F(WatchTest, WindowGivenBackByPopIsNotTakenAgain) {
    StartVarnu();
    const SimWindow chat = messenger_.Open(Kind::Classic, L"与 张三 交谈中");
    ASSERT_TRUE(WaitTaken(chat.top, 1));

    ::PostMessageW(main_, WM_COMMAND, kMnuPop, 0);  // "分离" on tab 0
    ASSERT_TRUE(WaitUntil([&] { return OnDesktop(chat.top); }));
    EXPECT_TRUE(WaitTabCount(0));

    // What a conversation does next (a new title, hiding and showing) does
    // not make it a new window.
    ASSERT_TRUE(messenger_.SetTitle(chat.top, L"与 李四 交谈中"));
    ASSERT_TRUE(messenger_.Hide(chat.top));
    ASSERT_TRUE(messenger_.Show(chat.top, SW_SHOW));
    Pause(800ms);
    EXPECT_TRUE(OnDesktop(chat.top));
    EXPECT_EQ(tabs_->Count(), 0);

    // The watch itself is running again.
    const SimWindow next = messenger_.Open(Kind::Classic, L"与 王五 交谈中");
    EXPECT_TRUE(WaitTaken(next.top, 1));
}

TEST_F(WatchTest, HookNoticesWithoutTabsChangeNothing) {
    StartVarnu();
    const std::wstring caption = Caption(main_);
    for (LPARAM l : {0, 1}) {
        ::PostMessageW(main_, kHookNotify, 1, l);
        ::PostMessageW(main_, kHookNotify, 0, l);
    }
    ::PostMessageW(main_, kHookNotify, 7, 7);
    Pause(400ms);
    EXPECT_TRUE(Responsive(main_));
    EXPECT_EQ(tabs_->Count(), 0);
    EXPECT_EQ(tabs_->Selected(), -1);
    EXPECT_EQ(Caption(main_), caption);

    // And the first conversation after them is shown normally.
    const SimWindow chat = messenger_.Open(Kind::Classic, L"与 张三 交谈中");
    ASSERT_TRUE(WaitTaken(chat.top, 1));
    EXPECT_TRUE(WaitUntil([&] { return Ansi(Caption(main_)) == Ansi(L"张三 - Varnu"); }));
}

TEST_F(WatchTest, HungMessengerDoesNotStopTheOtherTabs) {
    StartVarnu();
    Simulator hanging;
    SimWindow a, b, h;
    ASSERT_NO_FATAL_FAILURE(TakeInThree(hanging, a, b, h));

    // Step off the hung one's tab before it hangs: wheel away = previous.
    ::PostMessageW(main_, kHookNotify, 1, 1);
    ASSERT_TRUE(WaitUntil([&] { return tabs_->Selected() == 1; }));

    // The hung one keeps the keyboard focus, as when the user was typing
    // there: every step must move the focus away from a thread that does
    // not answer.
    ASSERT_TRUE(hanging.Focus(h.top));
    ASSERT_TRUE(hanging.Hang(90000ms));
    Pause(200ms);
    ASSERT_FALSE(hanging.Ping(200));

    const int expected[] = {0, 1, 0, 1};
    const bool forward[] = {false, true, false, true};
    auto slowest = std::chrono::steady_clock::duration::zero();
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const auto start = std::chrono::steady_clock::now();
        ::PostMessageW(main_, kHookNotify, 1, forward[i] ? 0 : 1);
        // Well inside the hang: a step that waited on the hung messenger
        // (a focus change, a synchronous move) would last until it answers.
        EXPECT_TRUE(WaitUntil([&] { return tabs_->Selected() == expected[i] && Responsive(main_, 100); }, 2000ms, 5ms));
        slowest = std::max(slowest, std::chrono::steady_clock::now() - start);
    }
    EXPECT_LT(slowest, 2000ms);
    std::printf("slowest step beside a hung messenger: %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count()));
    EXPECT_TRUE(Responsive(main_));
    EXPECT_TRUE(WaitUntil([&] { return Ansi(Caption(main_)) == Ansi(L"李四 - Varnu"); }, 1000ms));
}

}  // namespace

namespace {

// A click on a tab, as the user's own input arrives (posted), and the time
// until the main window shows that conversation.
std::chrono::milliseconds ClickUntilShown(RemoteTabs& tabs, HWND main, int tab, const std::wstring& name) {
    const auto start = std::chrono::steady_clock::now();
    tabs.ClickTab(tab);
    WaitUntil([&] { return Ansi(Caption(main)) == Ansi(name + L" - Varnu"); }, 10000ms, 5ms);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

}  // namespace

// Choosing, maximising, resizing and closing while one of two messengers
// hangs: the next click is handled at once, and what waits for the hung
// messenger is carried out once it answers.
TEST_F(WatchTest, AHungMessengerNeverHoldsTheNextClick) {
    StartVarnu();
    Simulator hanging;
    const RECT hungPlace{300, 200, 760, 560};
    SimWindow a, b, h;
    DWORD hungStyle = 0;
    ASSERT_NO_FATAL_FAILURE(TakeInThree(hanging, a, b, h, SimOpen().WithRect(hungPlace), &hungStyle));
    // It stays open when asked to close, so its give-back can be seen.
    ASSERT_TRUE(hanging.SetCloseDestroys(h.top, false));
    // The user works in Varnu: choosing a tab moves the keyboard focus into
    // that conversation's input box.
    ::SetForegroundWindow(main_);
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == main_; }));
    ASSERT_LT(ClickUntilShown(*tabs_, main_, 0, L"张三"), 5000ms);
    Pause(500ms);  // the focus has moved into 张三's input box

    ASSERT_TRUE(hanging.Hang(20000ms));
    const auto hangStart = std::chrono::steady_clock::now();
    Pause(200ms);
    ASSERT_FALSE(hanging.Ping(200));

    std::vector<std::pair<const char*, std::chrono::milliseconds>> steps;
    // The hung one's tab, then another one 300 ms later.
    tabs_->ClickTab(2);
    Pause(300ms);
    steps.emplace_back("another tab after the hung one's", ClickUntilShown(*tabs_, main_, 1, L"李四"));
    // Maximised and restored with the hung one shown: the layout ticks fit it.
    steps.emplace_back("the hung one's tab", ClickUntilShown(*tabs_, main_, 2, L"王五"));
    ::PostMessageW(main_, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    Pause(300ms);
    steps.emplace_back("a tab while maximised", ClickUntilShown(*tabs_, main_, 0, L"张三"));
    ClickUntilShown(*tabs_, main_, 2, L"王五");
    ::PostMessageW(main_, WM_SYSCOMMAND, SC_RESTORE, 0);
    Pause(300ms);
    steps.emplace_back("a tab after restoring", ClickUntilShown(*tabs_, main_, 1, L"李四"));
    // Resized from outside with the hung one shown.
    ClickUntilShown(*tabs_, main_, 2, L"王五");
    const RECT outer = WindowRect(main_);
    ::SetWindowPos(main_, nullptr, 0, 0, Width(outer) + 60, Height(outer) + 40,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    Pause(300ms);
    steps.emplace_back("a tab after resizing", ClickUntilShown(*tabs_, main_, 0, L"张三"));
    // "关闭所有" with 张三 locked: 李四 and 王五 leave the row at once, and
    // the next gesture (Ctrl held in a conversation: the tab numbers) is
    // answered at once.
    ::PostMessageW(main_, WM_COMMAND, 111, 0);  // "锁定" on tab 0
    ::PostMessageW(main_, WM_COMMAND, 100, 0);  // "关闭所有" of the strip menu
    const auto start = std::chrono::steady_clock::now();
    ::PostMessageW(main_, kHookNotify, 0, 0);  // Ctrl went down
    EXPECT_TRUE(WaitUntil([&] { return tabs_->Count() == 1 && VisibleTabNumbers(main_).size() == 1; }, 10000ms, 5ms));
    steps.emplace_back("close all, then Ctrl in a conversation",
                       std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start));
    ::PostMessageW(main_, kHookNotify, 0, 1);  // and up again
    // The other messenger's queue goes on: 李四 is closed, a new
    // conversation is taken in.
    const auto other = std::chrono::steady_clock::now();
    const SimWindow c = messenger_.Open(Kind::Classic, L"与 赵六 交谈中");
    EXPECT_TRUE(WaitUntil([&] { return WaitTaken(c.top, 2, 0ms) && !::IsWindow(b.top); }, 10000ms, 5ms));
    steps.emplace_back("the other messenger: one closed, one taken in",
                       std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - other));
    ASSERT_LT(std::chrono::steady_clock::now() - hangStart, 18000ms) << "the hang ended before the steps";

    for (const auto& [what, took] : steps) {
        std::printf("beside a hung messenger, %s: %lld ms\n", what, static_cast<long long>(took.count()));
        EXPECT_LT(took, 1000ms) << what;
    }
    EXPECT_EQ(AnsiAll(tabs_->Captions()), AnsiAll({L"张三", L"赵六"}));

    // Once it answers, its window is given back where it was, then asked to close.
    EXPECT_TRUE(hanging.WaitForRecord(h.top, WM_CLOSE, sim::Via::Procedure, 30000ms).has_value());
    EXPECT_TRUE(OnDesktop(h.top));
    EXPECT_EQ(Style(h.top), hungStyle);
    const RECT now = WindowRect(h.top);
    EXPECT_TRUE(now.left == hungPlace.left && now.top == hungPlace.top && Width(now) == Width(hungPlace) &&
                Height(now) == Height(hungPlace));
    EXPECT_TRUE(IsTakenInto(a.top, main_));
}

// A conversation whose messenger answers late is taken in as any other: with
// Varnu in the tray, where the last tab's going sent it, the main window
// comes back and the conversation's input box gets the focus.
TEST_F(WatchTest, ACaptureThatFinishesLateBringsTheWindowBackFromTheTray) {
    std::wstring ini = kQuietSettings;
    ini.replace(ini.find(L"tray_AutoMin=0"), 14, L"tray_AutoMin=1");
    StartVarnu(ini);
    const SimWindow first = messenger_.Open(Kind::Classic, L"与 张三 交谈中");
    ASSERT_TRUE(WaitTaken(first.top, 1));
    ASSERT_TRUE(messenger_.Destroy(first.top));
    ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(main_) && Owner(main_) != nullptr; })) << "in the tray";

    Simulator slow;
    const SimWindow late = slow.Open(Kind::Classic, L"与 李四 交谈中");
    ASSERT_TRUE(late);
    ASSERT_TRUE(slow.Hang(1500ms));
    ASSERT_TRUE(WaitTaken(late.top, 1, 15000ms));
    EXPECT_TRUE(WaitUntil([&] { return !::IsIconic(main_) && IsVisible(main_) && Owner(main_) == nullptr; }));
    EXPECT_TRUE(WaitUntil([&] {
        for (const sim::Record& r : slow.Records(late.top))
            if (r.message == WM_SETFOCUS && reinterpret_cast<HWND>(static_cast<ULONG_PTR>(r.window)) == late.input)
                return true;
        return false;
    })) << "the input box got the focus";
}
