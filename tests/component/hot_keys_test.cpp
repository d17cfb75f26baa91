// The main window's hot keys in this process: which combinations the window
// holds after registering and unregistering the tab keys (seen through a
// second window that tries to take them), and what each hot-key id does to
// the tab selection and the window.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "win32/msgbox.h"
#include "main/core/hot_keys.h"
#include "main/main_window.h"
#include "win32/strconv.h"
#include "win32/winapi.h"

namespace varnu {
namespace {

using namespace std::chrono_literals;

void Pump(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        std::this_thread::sleep_for(5ms);
    } while (std::chrono::steady_clock::now() < end);
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct PlainWindow {
    HWND hwnd = ::CreateWindowExW(0, L"Static", L"plain", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ~PlainWindow() { ::DestroyWindow(hwnd); }
};

// Whether `probe` could take the combination, i.e. nobody else holds it.
bool Free(HWND probe, UINT modifiers, UINT key) {
    if (!::RegisterHotKey(probe, 0x7000, modifiers, key)) return false;
    ::UnregisterHotKey(probe, 0x7000);
    return true;
}

class HotKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        iniPath_ = win32::ModuleFolder() + L"\\set.ini";
        hadIni_ = ::GetFileAttributesW(iniPath_.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (hadIni_) savedIni_ = ReadAll(iniPath_);
    }
    void TearDown() override {
        if (window_) Exit();
        CloseMsgBox();
        if (hadIni_)
            std::ofstream(std::filesystem::path(iniPath_), std::ios::binary | std::ios::trunc) << savedIni_;
        else
            ::DeleteFileW(iniPath_.c_str());
    }

    frmMain& Start(const std::string& settings) {
        std::ofstream(std::filesystem::path(iniPath_), std::ios::binary | std::ios::trunc)
            << "[Settings]\r\ntray_AutoMin=0\r\norg_AutoRun=0\r\nwin_Status=0\r\n"
            << settings;
        window_ = std::make_unique<frmMain>();
        EXPECT_TRUE(window_->Start(SW_SHOWNORMAL));
        Pump(100ms);
        return *window_;
    }

    void Exit() {
        frmMain& w = *window_;
        if (w.hwnd()) {
            w.Chats().Clear();
            w.btnTab.Clear();
            ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuExit, 0);
        }
        Pump(50ms);
        window_.reset();
    }

    void AddTabs(const std::vector<HWND>& chats) {
        for (HWND chat : chats) {
            auto node = std::make_shared<clsLink>();
            node->hWnd = ToId(chat);
            node->sayHwnd = ToId(chat);
            node->Title = L"chat";
            node->version = 4;
            window_->Chats().Append(node);
            window_->btnTab.AddItem(L"chat");
        }
    }

    // KeyFunctions as the main window runs it while in front.
    int Press(std::uint32_t id, bool mainActive = true) {
        window_->State().MainActive = mainActive;
        window_->KeyFunctions(id);
        return window_->btnTab.Selected();
    }

    std::wstring iniPath_;
    bool hadIni_ = false;
    std::string savedIni_;
    std::unique_ptr<frmMain> window_;
};

TEST_F(HotKeysTest, TabKeysAreHeldOnlyBetweenRegisterAndUnregister) {
    // Ctrl+Alt+Q as the user's global key.
    frmMain& w = Start("hot_Enabled=1\r\nhot_Mod=3\r\nhot_Key=81\r\n");
    PlainWindow probe;
    ASSERT_NE(probe.hwnd, nullptr);

    w.UnregisterTabKeys();
    for (const HotKeyDef& key : TabHotKeys())
        EXPECT_TRUE(Free(probe.hwnd, key.modifiers, key.virtualKey)) << "id " << key.id;
    EXPECT_FALSE(Free(probe.hwnd, MOD_CONTROL | MOD_ALT, 'Q')) << "the global key stays";

    w.RegisterTabKeys();
    for (const HotKeyDef& key : TabHotKeys())
        EXPECT_FALSE(Free(probe.hwnd, key.modifiers, key.virtualKey)) << "id " << key.id;
    // Registering again while they are held changes nothing and says nothing.
    w.RegisterTabKeys();
    EXPECT_FALSE(Free(probe.hwnd, MOD_CONTROL, VK_TAB));
    // Nothing else is taken: Alt+Tab, Ctrl+A, Shift+Tab stay free.
    EXPECT_TRUE(Free(probe.hwnd, MOD_ALT, VK_TAB));
    EXPECT_TRUE(Free(probe.hwnd, MOD_CONTROL, 'A'));
    EXPECT_TRUE(Free(probe.hwnd, MOD_SHIFT, VK_TAB));

    w.UnregisterTabKeys();
    EXPECT_TRUE(Free(probe.hwnd, MOD_CONTROL, VK_TAB));
    EXPECT_TRUE(Free(probe.hwnd, MOD_CONTROL | MOD_SHIFT, VK_TAB));
    EXPECT_TRUE(Free(probe.hwnd, MOD_CONTROL, '9'));
    EXPECT_FALSE(Free(probe.hwnd, MOD_CONTROL | MOD_ALT, 'Q'));

    // A key held elsewhere is simply not ours; the others still are, and no
    // report is made.
    ASSERT_TRUE(::RegisterHotKey(probe.hwnd, 0x7001, MOD_CONTROL, '5'));
    w.RegisterTabKeys();
    EXPECT_FALSE(Free(probe.hwnd, MOD_CONTROL, '4'));
    EXPECT_FALSE(Free(probe.hwnd, MOD_CONTROL, '6'));
    ::UnregisterHotKey(probe.hwnd, 0x7001);
    EXPECT_TRUE(Free(probe.hwnd, MOD_CONTROL, '5'));
    Pump(50ms);
    EXPECT_EQ(MsgBoxWindow(), nullptr);
}

// Keeps our main window from being activated, as when it starts behind the
// program the user is working in.
LRESULT CALLBACK RefuseActivation(int code, WPARAM wParam, LPARAM lParam) {
    wchar_t name[64] = {};
    if (code == HCBT_ACTIVATE && ::GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64) &&
        std::wstring_view(name) == frmMain::kClassName)
        return 1;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(HotKeysTest, StartedBehindAnotherProgramLeavesItTheTabKeys) {
    PlainWindow front;
    ::ShowWindow(front.hwnd, SW_SHOW);
    ::SetForegroundWindow(front.hwnd);
    HHOOK refuse = ::SetWindowsHookExW(WH_CBT, RefuseActivation, nullptr, ::GetCurrentThreadId());
    frmMain& w = Start("");
    ::UnhookWindowsHookEx(refuse);
    ASSERT_NE(::GetForegroundWindow(), w.hwnd());
    for (const HotKeyDef& key : TabHotKeys())
        EXPECT_TRUE(Free(front.hwnd, key.modifiers, key.virtualKey)) << "id " << key.id;
}

TEST_F(HotKeysTest, TabKeysSelectOnlyWhileTheWindowIsActiveAndTabsExist) {
    frmMain& w = Start("");
    // Without tabs every tab key does nothing.
    for (std::uint32_t id = 2; id <= 13; ++id) EXPECT_EQ(Press(id), -1) << "id " << id;
    EXPECT_EQ(w.Chats().CurIndex(), -1);

    PlainWindow a, b, c;
    AddTabs({a.hwnd, b.hwnd, c.hwnd});
    w.btnTab.SetSelected(2);
    ASSERT_EQ(w.Chats().CurIndex(), 3);

    EXPECT_EQ(Press(kHotKeyNextTab), 0) << "Ctrl+Tab from the last wraps to the first";
    EXPECT_EQ(w.Chats().CurIndex(), 1);
    EXPECT_EQ(Press(kHotKeyPrevTab), 2) << "Ctrl+Shift+Tab from the first wraps to the last";
    EXPECT_EQ(Press(kHotKeyPrevTab), 1);
    EXPECT_EQ(Press(kHotKeyNextTab), 2);
    EXPECT_EQ(Press(6), 1) << "Ctrl+2";
    EXPECT_EQ(Press(kHotKeyLastTab), 2) << "Ctrl+0 is the last tab";
    EXPECT_EQ(Press(5), 0) << "Ctrl+1";
    EXPECT_EQ(Press(0x7700 | 7), 2) << "only the low byte counts";

    // A digit past the last tab re-shows the current conversation.
    int changed = 0;
    int reported = -2;
    auto handler = w.btnTab.events.Changed;
    w.btnTab.events.Changed = [&](int& index) {
        ++changed;
        reported = index;
        if (handler) handler(index);
    };
    EXPECT_EQ(Press(11), 2) << "Ctrl+7 with three tabs";
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(reported, 2);
    EXPECT_EQ(w.Chats().CurIndex(), 3);

    // Behind another window, and for ids that are not ours, nothing happens.
    changed = 0;
    for (std::uint32_t id = 2; id <= 13; ++id) EXPECT_EQ(Press(id, false), 2) << "id " << id;
    for (std::uint32_t id : {0u, 14u, 0xFFu, 0x100u}) EXPECT_EQ(Press(id), 2) << "id " << id;
    EXPECT_EQ(changed, 0);
    w.btnTab.events.Changed = handler;
    EXPECT_EQ(MsgBoxWindow(), nullptr);
}

TEST_F(HotKeysTest, GlobalKeyHidesIntoTheTrayAndBringsBack) {
    frmMain& w = Start("tray_Enabled=1\r\n");
    HWND h = w.hwnd();
    ASSERT_EQ(w.State().ShowState, 0);

    Press(kHotKeyShowHide, false);  // works from any program
    Pump(50ms);
    EXPECT_EQ(w.State().ShowState, 1);
    EXPECT_TRUE(::IsIconic(h));
    EXPECT_FALSE(::GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_APPWINDOW);

    Press(0x0100 | kHotKeyShowHide, false);
    Pump(50ms);
    EXPECT_EQ(w.State().ShowState, 0);
    EXPECT_FALSE(::IsIconic(h));
    EXPECT_TRUE(::IsWindowVisible(h));
    EXPECT_EQ(MsgBoxWindow(), nullptr);
}

}  // namespace
}  // namespace varnu
