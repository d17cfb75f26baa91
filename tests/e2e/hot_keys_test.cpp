// Hot keys seen from outside: WM_HOTKEY posted to the main window as the
// system posts it steps and picks the tabs while the main window is in front;
// behind another window the tab keys are given back to the system; the
// user's global key hides the window into the tray and brings it back; a
// global key already taken is reported once and the start goes on.
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
    void StartWithThreeTabs(const std::wstring& extraIni = L"") {
        for (const wchar_t* name : {L"Alice", L"Bob", L"Carol"})
            ASSERT_TRUE(messenger_.Open(Kind::Classic, std::wstring(L"与 ") + name + L" 交谈中"));
        ASSERT_NO_FATAL_FAILURE(StartVarnu(extraIni, 3));
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
};

TEST_F(HotKeysTest, TabKeysStepAndPickWhileTheMainWindowIsInFront) {
    ASSERT_NO_FATAL_FAILURE(StartWithThreeTabs());
    ASSERT_NO_FATAL_FAILURE(BringMainToFront());
    for (const auto& [modifiers, key] : std::vector<std::pair<UINT, UINT>>{
             {kModCtrl | MOD_SHIFT, VK_TAB}, {kModCtrl, '0'}, {kModCtrl, '1'}, {kModCtrl, '9'}})
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
