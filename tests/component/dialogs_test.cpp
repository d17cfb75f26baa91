// The settings dialog and the about box opened from the main window's menu
// items in this process, with a real "set.ini" beside the test program and,
// for the update check, an HTTP server of the test's own on 127.0.0.1; the
// find box over a window of the test's own.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/about_box.h"
#include "harness.h"
#include "main/find_box.h"
#include "main/main_window.h"
#include "settings/settings.h"
#include "settings/settings_dialog.h"
#include "win32/strconv.h"
#include "win32/winapi.h"

namespace varnu {
namespace {

using namespace std::chrono_literals;

std::wstring EditText(HWND edit) { return e2e::WideControlText(edit).value_or(L"?"); }

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        iniPath_ = win32::ModuleFolder() + L"\\set.ini";
        saved_ = e2e::ReadFileBytes(iniPath_);
    }
    void TearDown() override {
        if (window_ && window_->hwnd()) {
            ::SendMessageW(window_->hwnd(), WM_COMMAND, frmMain::mnuExit, 0);
            e2e::Pause(50ms);
        }
        EXPECT_EQ(SettingsDialogWindow(), nullptr);  // closed with the main window
        EXPECT_EQ(AboutBoxWindow(), nullptr);
        window_.reset();
        if (saved_.empty())
            ::DeleteFileW(iniPath_.c_str());
        else
            e2e::WriteFileBytes(iniPath_, saved_);
    }

    frmMain& Start(const std::string& settings) {
        e2e::WriteFileBytes(iniPath_,
                            "[Settings]\r\norg_ExitMsg=0\r\ntray_CloseTray=0\r\norg_AutoRun=0\r\n" + settings);
        window_ = std::make_unique<frmMain>();
        EXPECT_TRUE(window_->Start(SW_SHOWNORMAL));
        e2e::Pause(50ms);
        return *window_;
    }

    // Opens the settings dialog from the tray menu's item.
    HWND OpenSettings() {
        ::SendMessageW(window_->hwnd(), WM_COMMAND, frmMain::mnuSet2, 0);
        e2e::Pause(30ms);
        return SettingsDialogWindow();
    }

    void Press(int id) {
        ::SendMessageW(::GetDlgItem(SettingsDialogWindow(), id), BM_CLICK, 0, 0);
        e2e::Pause(20ms);
    }

    // The keys of the file's one section, in the file's order.
    std::string Keys() {
        const std::string text = e2e::ReadFileBytes(iniPath_);
        std::string keys;
        size_t at = 0;
        while ((at = text.find("\n", at)) != std::string::npos) {
            ++at;
            const size_t eq = text.find('=', at);
            if (eq == std::string::npos) break;
            keys += text.substr(at, eq - at) + ",";
        }
        return keys;
    }

    static bool HotKeyFree(UINT mods, UINT key) {
        if (!::RegisterHotKey(nullptr, 0xBFFF, mods, key)) return false;
        ::UnregisterHotKey(nullptr, 0xBFFF);
        return true;
    }

    std::wstring iniPath_;
    std::string saved_;
    std::unique_ptr<frmMain> window_;
};

TEST_F(DialogsTest, SettingsOkWritesTheKeysInOrderAndDefaultsCancelChangesNothing) {
    frmMain& main = Start("");
    HWND dialog = OpenSettings();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(win32::WindowText(dialog), L"设置");
    EXPECT_EQ(::GetWindow(dialog, GW_OWNER), main.hwnd());
    EXPECT_TRUE(win32::WindowExStyle(dialog) & WS_EX_TOPMOST);
    ::SendMessageW(main.hwnd(), WM_COMMAND, frmMain::mnuSet, 0);  // the other menu: the same dialog
    EXPECT_EQ(SettingsDialogWindow(), dialog);

    // "恢复默认" then "取消": neither the file nor the values move.
    Press(idChkExitMsg);
    Press(idBtnDefault);
    Press(idBtnCancel);
    EXPECT_EQ(SettingsDialogWindow(), nullptr);
    EXPECT_EQ(Keys(), "org_ExitMsg,tray_CloseTray,org_AutoRun,");
    EXPECT_EQ(AppSettings().org_ExitMsg, 0);

    // A tick and OK: every key in its order, the bottom tabs kept.
    OpenSettings();
    Press(idChkAutoSize);
    Press(idOptTabPos0);
    Press(idBtnOK);
    EXPECT_EQ(SettingsDialogWindow(), nullptr);
    EXPECT_EQ(Keys(),
              "org_ExitMsg,tray_CloseTray,org_AutoRun,tab_Bottom,tab_Selected,tab_Normal,tab_Hot,tab_Roll,"
              "tab_Skin,tray_Enabled,tray_MsgTip,tray_TipTime,tray_AlwaysShowTip,tray_AutoMin,org_QQPath,"
              "org_QQName,org_AutoSwitch,org_AutoSize,hot_Enabled,");
    EXPECT_EQ(GetIniValue(kSettingsSection, L"org_AutoSize", L""), L"1");
    EXPECT_EQ(GetIniValue(kSettingsSection, L"tab_Bottom", L""), L"False");
    EXPECT_FALSE(main.btnTab.Bottom());                              // applied at once
    EXPECT_FALSE(win32::WindowStyle(main.hwnd()) & WS_MAXIMIZEBOX);  // follows the chat window's size
}

TEST_F(DialogsTest, HotKeyCapturedFromKeysIsRegisteredAndDroppedWhenUnticked) {
    frmMain& main = Start("");
    HWND dialog = OpenSettings();
    ASSERT_NE(dialog, nullptr);
    Press(idChkHotKey);
    HWND box = ::GetDlgItem(dialog, idTxtHotKey);
    ASSERT_TRUE(::IsWindowEnabled(box));
    ::SetFocus(box);

    // The keys as the keyboard delivers them: the state first, then the message.
    BYTE keys[256] = {};
    const auto key = [&](UINT vk, bool down, UINT msg) {
        ::GetKeyboardState(keys);
        keys[vk] = down ? 0x80 : 0;
        if (vk == VK_CONTROL) keys[VK_LCONTROL] = keys[vk];
        if (vk == VK_MENU) keys[VK_LMENU] = keys[vk];
        ::SetKeyboardState(keys);
        ::SendMessageW(box, msg, vk, down ? 1 : 0xC0000001);
    };
    key(VK_MENU, true, WM_SYSKEYDOWN);
    key(VK_MENU, false, WM_KEYUP);  // a modifier alone leaves nothing
    EXPECT_EQ(EditText(box), L"无");
    key(VK_CONTROL, true, WM_KEYDOWN);
    key(VK_MENU, true, WM_SYSKEYDOWN);
    EXPECT_EQ(EditText(box), L"Ctrl + Alt + ");
    key(VK_F5, true, WM_SYSKEYDOWN);
    key(VK_F5, false, WM_SYSKEYUP);
    key(VK_MENU, false, WM_KEYUP);
    key(VK_CONTROL, false, WM_KEYUP);
    EXPECT_EQ(EditText(box), L"Ctrl + Alt + F5");
    EXPECT_EQ(AppSettings().hot_Mod, 3);
    EXPECT_EQ(AppSettings().hot_Key, 116);

    Press(idBtnOK);
    EXPECT_EQ(GetIniValue(kSettingsSection, L"hot_Text", L""), L"Ctrl + Alt + F5");
    EXPECT_EQ(GetIniValue(kSettingsSection, L"hot_Mod", L""), L"3");
    EXPECT_EQ(GetIniValue(kSettingsSection, L"hot_Key", L""), L"116");
    EXPECT_FALSE(HotKeyFree(MOD_CONTROL | MOD_ALT, VK_F5));  // ours now

    OpenSettings();
    EXPECT_EQ(EditText(::GetDlgItem(SettingsDialogWindow(), idTxtHotKey)), L"Ctrl + Alt + F5");
    Press(idChkHotKey);
    Press(idBtnOK);
    EXPECT_EQ(GetIniValue(kSettingsSection, L"hot_Enabled", L""), L"0");
    EXPECT_TRUE(HotKeyFree(MOD_CONTROL | MOD_ALT, VK_F5));  // another program may take it
    (void)main;
}

// A TCP socket bound to a free port of 127.0.0.1.
SOCKET BoundLoopbackSocket(int& port) {
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int length = sizeof(address);
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return socket;
}

// One page per request, as configured; counts the requests.
class PageServer {
public:
    PageServer() {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = BoundLoopbackSocket(port_);
        ::listen(listener_, 4);
        thread_ = std::thread([this] { Serve(); });
    }
    ~PageServer() {
        stop_ = true;
        thread_.join();
        ::closesocket(listener_);
        ::WSACleanup();
    }
    void Answer(const std::string& statusLine, const std::string& body) {
        std::lock_guard<std::mutex> hold(lock_);
        response_ = "HTTP/1.0 " + statusLine +
                    "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
                    "\r\nConnection: close\r\n\r\n" + body;
    }
    std::wstring Url() const { return L"http://127.0.0.1:" + std::to_wstring(port_) + L"/version.html"; }
    int Requests() const { return requests_; }

private:
    void Serve() {
        while (!stop_) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(listener_, &ready);
            timeval wait{0, 50'000};
            if (::select(0, &ready, nullptr, nullptr, &wait) <= 0) continue;
            SOCKET client = ::accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) continue;
            std::string request;
            char buffer[1024];
            int got = 0;
            while (request.find("\r\n\r\n") == std::string::npos &&
                   (got = ::recv(client, buffer, sizeof(buffer), 0)) > 0)
                request.append(buffer, static_cast<size_t>(got));
            ++requests_;
            std::string response;
            {
                std::lock_guard<std::mutex> hold(lock_);
                response = response_;
            }
            ::send(client, response.data(), static_cast<int>(response.size()), 0);
            ::shutdown(client, SD_SEND);
            ::closesocket(client);
        }
    }
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::mutex lock_;
    std::string response_;
    std::thread thread_;
};

struct Outcome {
    std::wstring text;        // the answer's message, empty when none came
    std::wstring opened;      // the address handed to the shell
    bool buttonBack = false;  // "检查更新", enabled again
};

// Clicks "检查更新"; another thread answers the box with `button` (IDYES
// for the question, IDOK otherwise).
Outcome Check(int button) {
    HWND about = AboutBoxWindow();
    HWND update = ::GetDlgItem(about, idAboutUpdate);
    Outcome outcome;
    SetAddressOpener([&](HWND, const std::wstring& address) { outcome.opened = address; });
    auto answer = std::async(std::launch::async, [button] {
        HWND box = e2e::WaitForMessageBox(::GetCurrentProcessId(), L"版本更新", 20000ms);
        if (!box) return std::wstring();
        std::wstring text = e2e::MessageBoxText(box);
        if (!e2e::AnswerMessageBox(box, button)) e2e::AnswerMessageBox(box, IDOK);
        return text;
    });
    ::PostMessageW(update, BM_CLICK, 0, 0);
    e2e::WaitUntil([&] { return answer.wait_for(0ms) == std::future_status::ready; }, 25000ms);
    outcome.buttonBack =
        e2e::WaitUntil([&] { return ::IsWindowEnabled(update) && win32::WindowText(update) == L"检查更新"; }, 2000ms);
    outcome.text = answer.get();
    SetAddressOpener(nullptr);
    return outcome;
}

TEST_F(DialogsTest, UpdateCheckAnswersHonestlyForEveryPage) {
    PageServer server;
    frmMain& main = Start("upd_PageURL=" + win32::WideToUtf8(server.Url()) + "\r\n");
    ::SendMessageW(main.hwnd(), WM_COMMAND, frmMain::mnuAbout2, 0);
    HWND about = AboutBoxWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(win32::WindowText(about), L"关于 Varnu");
    e2e::Pause(200ms);
    EXPECT_EQ(server.Requests(), 0);  // opening fetches nothing

    server.Answer("200 OK",
                  "<html><head><title>version 1.7</title></head><body>https://varnu.example/get</body></html>");
    Outcome o = Check(IDYES);
    EXPECT_EQ(o.text, L"发现了新版本v1.7，是否查看？");
    EXPECT_EQ(o.opened, L"https://varnu.example/get");
    EXPECT_TRUE(o.buttonBack);

    server.Answer("200 OK", "<title>version 1.5</title><body>https://varnu.example/get</body>");
    EXPECT_EQ(Check(IDOK).text, L"当前已经是最新版本。");

    const std::pair<std::string, std::string> failures[] = {
        {"404 Not Found", "<title>version 1.7</title>"},
        {"200 OK", "<title>hello</title><body>https://varnu.example/</body>"},
        {"200 OK", "<title>version 1.7</title><body>C:\\Windows\\System32\\calc.exe</body>"},
    };
    std::wstring texts;
    for (const auto& [status, page] : failures) {
        server.Answer(status, page);
        o = Check(IDYES);
        EXPECT_FALSE(o.text.empty());
        EXPECT_NE(o.text, L"当前已经是最新版本。");
        EXPECT_TRUE(o.opened.empty());
        EXPECT_TRUE(o.buttonBack);
        texts += o.text + L"\n";
    }
    EXPECT_NE(texts.find(L"HTTP 404"), std::wstring::npos) << win32::WideToUtf8(texts);
    EXPECT_EQ(server.Requests(), 5);

    // Nobody listening: a port that was just let go.
    int closedPort = 0;
    ::closesocket(BoundLoopbackSocket(closedPort));
    CloseAboutBox();
    ShowAboutBox(main.hwnd(), L"http://127.0.0.1:" + std::to_wstring(closedPort) + L"/", {1, 5, 0, 0});
    o = Check(IDOK);
    EXPECT_NE(o.text.find(L"检查更新失败"), std::wstring::npos) << win32::WideToUtf8(o.text);
    EXPECT_TRUE(o.buttonBack);
}

// Keys and characters posted to whatever has the focus, as the keyboard
// (or an input method, for the characters) would deliver them.
void Press(std::initializer_list<UINT> keys) {
    for (UINT key : keys) {
        e2e::PostKey(::GetFocus(), key, true);
        e2e::PostKey(::GetFocus(), key, false);
        e2e::Pause(20ms);
    }
}

void Type(std::wstring_view text) {
    for (wchar_t c : text) ::PostMessageW(::GetFocus(), WM_CHAR, c, 1);
    e2e::Pause(50ms);
}

std::vector<std::wstring> ListedNames() {
    HWND list = ::GetDlgItem(FindBoxWindow(), idFindList);
    std::vector<std::wstring> names(static_cast<size_t>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)));
    for (size_t i = 0; i < names.size(); ++i) {
        wchar_t text[64] = {};
        LVITEMW item{};
        item.pszText = text;
        item.cchTextMax = 64;
        ::SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
        names[i] = text;
    }
    return names;
}

TEST(FindBox, TypingFiltersKeysChooseOrCloseAndTheOwnerTakesItAlong) {
    HWND owner = ::CreateWindowExW(0, L"Static", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 600, 400,
                                   nullptr, nullptr, nullptr, nullptr);
    ::SetForegroundWindow(owner);
    const RECT strip{110, 130, 690, 152};
    std::vector<int> chosen;
    const auto open = [&] {
        ShowFindBox(owner, strip, {{L"张三", 0, 0}, {L"李四", 2, 1}, {L"赵六", 0, 2}},
                    [&](int tab) { chosen.push_back(tab); });
        e2e::Pause(50ms);
        return FindBoxWindow();
    };
    HWND box = open();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(win32::WindowText(box), L"查找会话");
    EXPECT_EQ(::GetWindow(box, GW_OWNER), owner);
    EXPECT_EQ(::GetFocus(), ::GetDlgItem(box, idFindQuery));
    EXPECT_EQ(ListedNames(), (std::vector<std::wstring>{L"张三", L"李四", L"赵六"}));

    Type(L"z");
    EXPECT_EQ(ListedNames(), (std::vector<std::wstring>{L"张三", L"赵六"}));
    Press({VK_DOWN, VK_DOWN, VK_RETURN});  // the second stays the last
    EXPECT_TRUE(e2e::WaitUntil([] { return FindBoxWindow() == nullptr; }));
    EXPECT_EQ(chosen, std::vector<int>{2});

    box = open();
    Type(L"ls");
    EXPECT_EQ(ListedNames(), std::vector<std::wstring>{L"李四"});
    EXPECT_EQ(open(), box);  // a second call: the same box, the typing kept
    EXPECT_EQ(ListedNames(), std::vector<std::wstring>{L"李四"});
    Press({VK_ESCAPE});
    EXPECT_TRUE(e2e::WaitUntil([] { return FindBoxWindow() == nullptr; }));

    open();
    ::SetActiveWindow(owner);  // a click elsewhere
    EXPECT_TRUE(e2e::WaitUntil([] { return FindBoxWindow() == nullptr; }));
    box = open();
    ::DestroyWindow(owner);
    EXPECT_FALSE(::IsWindow(box));
    EXPECT_EQ(chosen, std::vector<int>{2});
}

}  // namespace
}  // namespace varnu
