// Hot keys seen from outside: WM_HOTKEY posted to the main window as the
// system posts it steps and picks the tabs while the main window is in front;
// behind another window the tab keys are given back to the system; the
// user's global key hides the window into the tray and brings it back; a
// global key already taken is reported once and the start goes on. The next-
// unread key passes over quiet conversations, and the find box picks a
// conversation by what is typed.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using namespace e2e;
using sim::Kind;

constexpr wchar_t kBaseIni[] =
    L"[Settings]\r\n"
    L"tray_Enabled=1\r\n"
    L"tray_AutoMin=0\r\n"
    L"tray_CloseTray=0\r\n"
    L"tray_MsgTip=0\r\n"
    L"org_ExitMsg=0\r\n"
    L"org_AutoRun=0\r\n"
    L"org_AutoSwitch=0\r\n"
    L"win_Status=0\r\n"
    L"win_X=1500\r\nwin_Y=1500\r\nwin_CX=10560\r\nwin_CY=8355\r\n";

// Ctrl+Alt+F12 as the user's global key: nothing else in the test prefix
// wants it.
constexpr UINT kGlobalMod = MOD_CONTROL | MOD_ALT;
constexpr UINT kGlobalKey = VK_F12;
const std::wstring kGlobalKeyIni = L"hot_Enabled=1\r\nhot_Mod=3\r\nhot_Key=123\r\n";

constexpr UINT kModCtrl = MOD_CONTROL;
constexpr int kNextUnreadId = 14;  // Ctrl+`
constexpr int kFindId = 15;        // Ctrl+K

// A window of the test process that tries to take key combinations.
class KeyProbe {
public:
    KeyProbe()
        : hwnd_(::CreateWindowExW(0, L"Static", L"probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr)) {}
    ~KeyProbe() {
        for (int id : held_) ::UnregisterHotKey(hwnd_, id);
        ::DestroyWindow(hwnd_);
    }
    KeyProbe(const KeyProbe&) = delete;
    KeyProbe& operator=(const KeyProbe&) = delete;

    // Nobody holds the combination (it is taken and given back at once).
    bool Free(UINT modifiers, UINT key) const {
        if (!::RegisterHotKey(hwnd_, 0x7000, modifiers, key)) return false;
        ::UnregisterHotKey(hwnd_, 0x7000);
        return true;
    }
    bool Hold(int id, UINT modifiers, UINT key) {
        if (!::RegisterHotKey(hwnd_, id, modifiers, key)) return false;
        held_.push_back(id);
        return true;
    }
    void Release(int id) {
        ::UnregisterHotKey(hwnd_, id);
        std::erase(held_, id);
    }

private:
    HWND hwnd_;
    std::vector<int> held_;
};

// What the system posts for a pressed hot key.
void PostHotKey(HWND main, int id, UINT modifiers, UINT key) {
    ::PostMessageW(main, WM_HOTKEY, static_cast<WPARAM>(id), MAKELPARAM(modifiers, key));
}

bool Foreground(HWND window) {
    ::SetForegroundWindow(window);
    return WaitUntil([&] { return ::GetForegroundWindow() == window; });
}

class HotKeysTest : public ::testing::Test {
protected:
    void StartVarnu(const std::wstring& extraIni, int expectedTabs) {
        folder_.WriteIni(kBaseIni + extraIni);
        ASSERT_NO_FATAL_FAILURE(Launch(expectedTabs));
    }
    // With "set.ini" as the last run left it.
    void Launch(int expectedTabs) {
        varnu_ = std::make_unique<VarnuApp>(folder_);
        main_ = varnu_->WaitForMainWindow(15000ms, L"VarnuMainWindow");
        ASSERT_NE(main_, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return IsVisible(main_); }, 15000ms));
        HWND tabWindow = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (tabWindow = varnu_->TabWindow()) != nullptr; }));
        tabs_.emplace(tabWindow);
        ASSERT_TRUE(WaitUntil([&] { return tabs_->Count() == expectedTabs; }, 30000ms, 50ms))
            << "tabs: " << tabs_->Count();
    }

    // Three conversations open before the start and taken in by its scan.
    void StartWithThreeTabs(const std::wstring& extraIni = L"",
                            std::vector<std::wstring> names = {L"Alice", L"Bob", L"Carol"}) {
        for (const std::wstring& name : names)
            ASSERT_TRUE(chats_[name] = messenger_.Open(Kind::Classic, L"与 " + name + L" 交谈中"));
        ASSERT_NO_FATAL_FAILURE(StartVarnu(extraIni, 3));
    }

    // A pop-up menu of ours is open: its last item is chosen with the keys.
    void ChooseLastMenuItem() {
        HWND menu = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            for (HWND w : varnu_->Windows())
                if (ClassName(w) == L"#32768") menu = w;
            return menu != nullptr;
        }));
        for (UINT key : {VK_UP, VK_RETURN}) {
            PostKey(menu, key, true);
            PostKey(menu, key, false);
        }
    }

    // The find box once the keyboard focus is in it: the box, the window
    // with the focus (its edit box) and its list.
    struct FindBox {
        HWND box = nullptr, focus = nullptr, list = nullptr;
    };
    FindBox WaitForFindBox() {
        FindBox found;
        GUITHREADINFO gui{};
        gui.cbSize = sizeof(gui);
        const DWORD thread = ::GetWindowThreadProcessId(main_, nullptr);
        WaitUntil([&] {
            found = {};
            for (HWND w : varnu_->Windows())
                if (Caption(w) == L"查找会话") found.box = w;
            if (!found.box || !::GetGUIThreadInfo(thread, &gui) || ::GetParent(gui.hwndFocus) != found.box)
                return false;
            found.focus = gui.hwndFocus;
            found.list = FindChild(found.box, L"SysListView32");
            return true;
        });
        return found;
    }
    void Type(HWND focus, std::string_view keys) {
        for (char key : keys) {
            PostKey(focus, static_cast<UINT>(key), true);
            PostKey(focus, static_cast<UINT>(key), false);
        }
    }

    // The main window in front holding the tab keys.
    void BringMainToFront() {
        ASSERT_TRUE(Foreground(main_));
        ASSERT_TRUE(WaitUntil([&] { return !probe_.Free(kModCtrl, VK_TAB); }))
            << "the tab keys were not taken while the main window is in front";
    }

    // Posts a tab key and waits for the selection (and caption) it gives.
    bool PressAndExpect(int id, UINT modifiers, UINT key, int expected) {
        PostHotKey(main_, id, modifiers, key);
        const std::optional<std::wstring> name = tabs_->Caption(expected);
        return WaitUntil(
            [&] { return tabs_->Selected() == expected && name && Caption(main_) == *name + L" - Varnu"; });
    }

    void Leave() {
        if (!varnu_ || !main_ || !::IsWindow(main_)) return;
        EXPECT_EQ(WaitForErrorBox(varnu_->Id(), 0ms), nullptr) << "an error box is open";
        varnu_->RequestClose();
        EXPECT_TRUE(varnu_->WaitForExit(15000ms).has_value());
    }
    void TearDown() override { Leave(); }

    KeyProbe probe_;
    ProgramFolder folder_;
    Simulator messenger_;
    std::unique_ptr<VarnuApp> varnu_;
    std::optional<RemoteTabs> tabs_;
    HWND main_ = nullptr;
    std::map<std::wstring, SimWindow> chats_;
};

TEST_F(HotKeysTest, TabKeysStepAndPickWhileTheMainWindowIsInFront) {
    ASSERT_NO_FATAL_FAILURE(StartWithThreeTabs());
    ASSERT_NO_FATAL_FAILURE(BringMainToFront());
    for (const auto& [modifiers, key] : std::vector<std::pair<UINT, UINT>>{{kModCtrl | MOD_SHIFT, VK_TAB},
                                                                           {kModCtrl, '0'},
                                                                           {kModCtrl, '1'},
                                                                           {kModCtrl, '9'},
                                                                           {kModCtrl, VK_OEM_3},
                                                                           {kModCtrl, 'K'}})
        EXPECT_FALSE(probe_.Free(modifiers, key)) << "modifiers " << modifiers << " key " << key;

    EXPECT_TRUE(PressAndExpect(7, kModCtrl, '3', 2)) << "Ctrl+3";
    EXPECT_TRUE(PressAndExpect(2, kModCtrl, VK_TAB, 0)) << "Ctrl+Tab from the third";
    EXPECT_TRUE(PressAndExpect(3, kModCtrl | MOD_SHIFT, VK_TAB, 2)) << "Ctrl+Shift+Tab from the first";
    EXPECT_TRUE(PressAndExpect(3, kModCtrl | MOD_SHIFT, VK_TAB, 1));
    EXPECT_TRUE(PressAndExpect(2, kModCtrl, VK_TAB, 2));
    EXPECT_TRUE(PressAndExpect(5, kModCtrl, '1', 0)) << "Ctrl+1";
    EXPECT_TRUE(PressAndExpect(4, kModCtrl, '0', 2)) << "Ctrl+0 is the last tab";
    EXPECT_TRUE(PressAndExpect(6, kModCtrl, '2', 1)) << "Ctrl+2";

    // Ctrl+7 names no tab: the selection stays.
    PostHotKey(main_, 11, kModCtrl, '7');
    Pause(400ms);
    EXPECT_EQ(tabs_->Selected(), 1);
    EXPECT_EQ(Caption(main_), *tabs_->Caption(1) + L" - Varnu");
    // The conversations stay inside.
    EXPECT_EQ(tabs_->Count(), 3);
}

// The digits name places in the row, so after a drag they name the
// conversations in their new order.
TEST_F(HotKeysTest, CtrlDigitFollowsTabsReorderedByDragging) {
    for (const wchar_t* name : {L"Alice", L"Bob"})
        ASSERT_TRUE(messenger_.Open(Kind::Classic, std::wstring(L"与 ") + name + L" 交谈中"));
    ASSERT_NO_FATAL_FAILURE(StartVarnu(L"", 2));
    const std::vector<std::wstring> before = tabs_->Captions();  // in the scan's order
    ASSERT_EQ(before.size(), 2u);
    const RECT first = *tabs_->ItemRect(0), second = *tabs_->ItemRect(1);
    const POINT from{(second.left + second.right) / 2, (second.top + second.bottom) / 2};
    const POINT to{(first.left + first.right) / 2 - 2, from.y};
    PostMouse(tabs_->Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, from);
    PostMouse(tabs_->Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, to);
    PostMouse(tabs_->Hwnd(), WM_LBUTTONUP, 0, to);
    ASSERT_TRUE(WaitUntil([&] { return tabs_->Captions() == std::vector<std::wstring>{before[1], before[0]}; }));
    EXPECT_EQ(tabs_->Selected(), 0);

    ASSERT_NO_FATAL_FAILURE(BringMainToFront());
    EXPECT_TRUE(PressAndExpect(6, kModCtrl, '2', 1)) << "Ctrl+2";
    EXPECT_EQ(Caption(main_), before[0] + L" - Varnu");
    EXPECT_TRUE(PressAndExpect(5, kModCtrl, '1', 0)) << "Ctrl+1";
    EXPECT_EQ(Caption(main_), before[1] + L" - Varnu");
}

TEST_F(HotKeysTest, BehindAnotherWindowTheTabKeysBelongToTheSystem) {
    ASSERT_NO_FATAL_FAILURE(StartWithThreeTabs());
    ASSERT_NO_FATAL_FAILURE(BringMainToFront());
    ASSERT_TRUE(PressAndExpect(5, kModCtrl, '1', 0));

    // A window that is no conversation stays on the desktop and comes to the front.
    const SimWindow other = messenger_.Open(Kind::Other, L"not a conversation");
    ASSERT_TRUE(other);
    ASSERT_TRUE(Foreground(other.top));
    ASSERT_TRUE(WaitUntil([&] { return probe_.Free(kModCtrl, VK_TAB); }))
        << "the tab keys stayed taken behind another window";
    for (char digit = '0'; digit <= '9'; ++digit) EXPECT_TRUE(probe_.Free(kModCtrl, digit)) << digit;
    EXPECT_TRUE(probe_.Free(kModCtrl | MOD_SHIFT, VK_TAB));
    EXPECT_TRUE(probe_.Free(kModCtrl, VK_OEM_3) && probe_.Free(kModCtrl, 'K'));

    // Another program may hold Ctrl+Tab now; a stray WM_HOTKEY moves nothing.
    ASSERT_TRUE(probe_.Hold(0x7100, kModCtrl, VK_TAB));
    PostHotKey(main_, 2, kModCtrl, VK_TAB);
    PostHotKey(main_, 4, kModCtrl, '0');
    Pause(400ms);
    EXPECT_EQ(tabs_->Selected(), 0);
    EXPECT_EQ(Caption(main_), *tabs_->Caption(0) + L" - Varnu");
    EXPECT_EQ(::GetForegroundWindow(), other.top);

    // Back in front, the keys that are free again are taken once more.
    probe_.Release(0x7100);
    ASSERT_NO_FATAL_FAILURE(BringMainToFront());
    EXPECT_TRUE(PressAndExpect(2, kModCtrl, VK_TAB, 1));
}

// The middle conversation made quiet from its tab menu: a message there
// counts on its tab without the highlight the others get, Ctrl+` passes over
// it, and it is still quiet in the next run. (The unread total on the
// taskbar button is out of sight under Wine; the main window's component
// test reads it from the tray's tooltip.)
TEST_F(HotKeysTest, NextUnreadKeyPassesOverAQuietConversationThatStaysQuiet) {
    ASSERT_NO_FATAL_FAILURE(StartWithThreeTabs(L"", {L"张三", L"李四", L"赵六"}));
    const std::vector<std::wstring> names = tabs_->Captions();
    auto say = [&](int tab) {
        return messenger_.AppendHistory(chats_.at(names[tab]).top, L"\r\n" + names[tab] + L" 10:00:00\r\n你好");
    };
    auto shows = [&](int tab, const std::wstring& count) { return tabs_->Caption(tab) == count + names[tab]; };
    auto marks = [&](int tab) { return tabs_->ItemMarks(tab).value_or(RemoteTabs::Marks{}); };
    auto nextUnread = [&](int expected) {
        PostHotKey(main_, kNextUnreadId, kModCtrl, VK_OEM_3);
        return WaitUntil(
            [&] { return tabs_->Selected() == expected && Caption(main_) == names[expected] + L" - Varnu"; });
    };
    ASSERT_NO_FATAL_FAILURE(BringMainToFront());
    ASSERT_TRUE(PressAndExpect(5, kModCtrl, '1', 0));

    ASSERT_TRUE(tabs_->ClickTab(1, true));
    ASSERT_NO_FATAL_FAILURE(ChooseLastMenuItem());  // "免打扰"
    ASSERT_TRUE(WaitUntil([&] { return marks(1).quiet; }));
    ASSERT_TRUE(say(0) && say(1) && say(2));
    ASSERT_TRUE(WaitUntil([&] { return shows(1, L"(1)") && shows(2, L"(1)"); }))
        << testing::PrintToString(tabs_->Captions());
    EXPECT_TRUE(shows(0, L"")) << "read where it is shown";
    EXPECT_TRUE(marks(2).highlighted);
    EXPECT_FALSE(marks(1).highlighted);

    EXPECT_TRUE(nextUnread(2)) << "the quiet one passed over";
    ASSERT_TRUE(say(0));
    ASSERT_TRUE(WaitUntil([&] { return shows(0, L"(1)"); }));
    EXPECT_TRUE(nextUnread(0)) << "round past the last tab";
    PostHotKey(main_, kNextUnreadId, kModCtrl, VK_OEM_3);
    Pause(400ms);
    EXPECT_EQ(tabs_->Selected(), 0) << "only the quiet one is unread";
    EXPECT_TRUE(shows(1, L"(1)"));

    Leave();
    ASSERT_NO_FATAL_FAILURE(Launch(3));
    for (int tab = 0; tab < 3; ++tab)
        EXPECT_EQ(marks(tab).quiet, tabs_->Caption(tab) == names[1]) << testing::PrintToString(tabs_->Captions());
}

// "查找会话..." at the end of the strip's menu, and Ctrl+K, open the find box
// with the focus in it; Enter picks the conversation, Escape leaves all as
// it was.
TEST_F(HotKeysTest, FindBoxPicksAConversationByItsInitials) {
    ASSERT_NO_FATAL_FAILURE(StartWithThreeTabs(L"", {L"张三", L"李四", L"赵六"}));
    ASSERT_NO_FATAL_FAILURE(BringMainToFront());
    const RECT last = *tabs_->ItemRect(2);
    PostMouse(::GetParent(tabs_->Hwnd()), WM_RBUTTONDOWN, MK_RBUTTON, POINT{last.right + 20, last.bottom / 2});
    PostMouse(::GetParent(tabs_->Hwnd()), WM_RBUTTONUP, 0, POINT{last.right + 20, last.bottom / 2});
    ASSERT_NO_FATAL_FAILURE(ChooseLastMenuItem());
    FindBox find = WaitForFindBox();
    ASSERT_NE(find.focus, nullptr);
    Type(find.focus, "LS");
    ASSERT_TRUE(WaitUntil([&] {
        const std::vector<std::wstring> shown = ListViewTexts(find.list);
        return !shown.empty() && shown[0] == L"李四";
    }));
    PostKey(find.focus, VK_RETURN, true);
    ASSERT_TRUE(WaitUntil([&] { return Caption(main_) == L"李四 - Varnu"; }));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(find.box); }));
    const int picked = tabs_->Selected();
    EXPECT_EQ(tabs_->Caption(picked), L"李四");

    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == main_; }));
    PostHotKey(main_, kFindId, kModCtrl, 'K');
    find = WaitForFindBox();
    ASSERT_NE(find.focus, nullptr);
    Type(find.focus, "Z");
    std::vector<std::wstring> shown;
    EXPECT_TRUE(WaitUntil([&] {
        shown = ListViewTexts(find.list);
        std::sort(shown.begin(), shown.end());
        return shown == std::vector<std::wstring>{L"张三", L"赵六"};
    })) << testing::PrintToString(shown);
    PostKey(find.focus, VK_ESCAPE, true);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(find.box); }));
    Pause(300ms);
    EXPECT_EQ(tabs_->Selected(), picked);
    EXPECT_EQ(Caption(main_), L"李四 - Varnu");
}

TEST_F(HotKeysTest, GlobalKeyHidesIntoTheTrayAndBringsTheWindowBack) {
    ASSERT_NO_FATAL_FAILURE(StartWithThreeTabs(kGlobalKeyIni));
    EXPECT_FALSE(probe_.Free(kGlobalMod, kGlobalKey)) << "the global key is Varnu's";
    ASSERT_TRUE(IsVisible(main_));
    ASSERT_FALSE(::IsIconic(main_));

    // No taskbar button: minimised, owned by a hidden window, no app-window style.
    const auto inTray = [&] {
        return ::IsIconic(main_) && Owner(main_) != nullptr && !IsVisible(Owner(main_)) &&
               !(ExStyle(main_) & WS_EX_APPWINDOW);
    };
    PostHotKey(main_, 1, kGlobalMod, kGlobalKey);
    EXPECT_TRUE(WaitUntil(inTray)) << "exStyle " << ExStyle(main_);

    // The next press brings it back, with its taskbar button.
    PostHotKey(main_, 1, kGlobalMod, kGlobalKey);
    EXPECT_TRUE(WaitUntil([&] { return !::IsIconic(main_) && IsVisible(main_) && Owner(main_) == nullptr; }));
    EXPECT_EQ(tabs_->Count(), 3);
    Pause(300ms);
    EXPECT_FALSE(::IsIconic(main_));
    EXPECT_TRUE(SystemMessageBoxes(varnu_->Id()).empty());
}

TEST_F(HotKeysTest, GlobalKeyTakenElsewhereIsReportedOnceAndStartUpGoesOn) {
    ASSERT_TRUE(probe_.Hold(0x7200, kGlobalMod, kGlobalKey));
    folder_.WriteIni(kBaseIni + kGlobalKeyIni);
    varnu_ = std::make_unique<VarnuApp>(folder_);

    HWND box = WaitForMessageBox(varnu_->Id(), L"Varnu", 15000ms);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), L"热键冲突，您的热键将不会生效。");
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));

    main_ = varnu_->WaitForMainWindow(15000ms, L"VarnuMainWindow");
    ASSERT_NE(main_, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(main_) && Caption(main_).rfind(L"Varnu Ver ", 0) == 0; }, 15000ms));
    Pause(500ms);
    EXPECT_TRUE(SystemMessageBoxes(varnu_->Id()).empty()) << "reported more than once";

    // The rest of the start-up ran: the tab keys are taken in front.
    ASSERT_NO_FATAL_FAILURE(BringMainToFront());
    // The key stays with the program that had it.
    probe_.Release(0x7200);
    EXPECT_TRUE(probe_.Free(kGlobalMod, kGlobalKey));
}

}  // namespace
