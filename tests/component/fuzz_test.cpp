// Bad input in bulk, tried against the real code: settings files, window
// titles and histories no user would make. Each run is bounded in time and
// ends with one line of counts; a crash ends the binary before it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

#include "win32/msgbox.h"
#include "main/core/new_message.h"
#include "main/core/recognition.h"
#include "main/main_window.h"
#include "main/new_message.h"
#include "main/release_guard.h"
#include "settings/settings.h"
#include "win32/peer_lanes.h"

namespace {

using namespace varnu;
using Clock = std::chrono::steady_clock;

int g_inputs = 0;
int g_stranded = 0;
std::mt19937 g_random(20261208);

std::wstring TempFolder() {
    wchar_t base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    std::wstring folder = std::wstring(base) + L"varnu-fuzz-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

std::string RandomBytes(size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(g_random() & 0xFF);
    return s;
}

std::wstring RandomUnits(size_t n) {
    std::wstring s(n, L'\0');
    for (wchar_t& c : s) c = static_cast<wchar_t>(g_random() & 0xFFFF);  // lone surrogates included
    return s;
}

TEST(Fuzz, SettingsFilesOfAnyShape) {
    const std::wstring folder = TempFolder(), ini = folder + L"\\set.ini";
    HWND window = ::CreateWindowExW(0, L"Static", L"", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    std::vector<std::string> files = {std::string("[Settings]\r\norg_QQPath=") + std::string(1 << 20, 'x'),
                                      std::string("\xFF\xFE[\0S\0e\0t\0t\0i\0n\0g\0s\0]\0", 22),
                                      "tab_Bottom=False\r\nwin_Status=2\r\n", ""};
    for (int i = 0; i < 40; ++i) files.push_back(RandomBytes(g_random() % 4096));
    for (const std::string& bytes : files) {
        WriteFileBytes(ini, bytes);
        const auto start = Clock::now();
        LoadSettings(window, folder);
        SetIniValue(L"Settings", L"hot_Text", RandomUnits(40));
        GetIniValue(L"Settings", L"hot_Text", L"无");
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
        ++g_inputs;
    }
    // A folder where the file should be: defaults, and writes go nowhere.
    ::DeleteFileW(ini.c_str());
    ::CreateDirectoryW(ini.c_str(), nullptr);
    SetIniPath(ini);
    SetIniValue(L"Settings", L"win_CX", L"100");
    EXPECT_EQ(GetIniValue(L"Settings", L"win_CX", L"10560"), L"10560");
    ++g_inputs;
    ::RemoveDirectoryW(ini.c_str());
    ::DeleteFileW((ini + L".new").c_str());
    ::RemoveDirectoryW(folder.c_str());
    CloseMsgBox();
    ::DestroyWindow(window);
}

// A history control answering from a string of ours: a real edit control
// takes minutes to lay out 10 MB.
std::wstring g_history;
LRESULT CALLBACK HistoryProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_GETTEXTLENGTH) return static_cast<LRESULT>(g_history.size());
    if (msg == WM_GETTEXT && wParam > 0) {
        const size_t n = std::min(g_history.size(), static_cast<size_t>(wParam) - 1);
        g_history.copy(reinterpret_cast<wchar_t*>(lParam), n);
        reinterpret_cast<wchar_t*>(lParam)[n] = L'\0';
        return static_cast<LRESULT>(n);
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST(Fuzz, HistoriesLongAndStrange) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HistoryProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VarnuFuzzHistory";
    ::RegisterClassW(&wc);
    HWND history =
        ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    for (const std::wstring& sample : {std::wstring(10 << 20, L'a') + RandomUnits(5000), std::wstring(L"\r\n \0 \r", 6),
                                       RandomUnits(100000), std::wstring()}) {
        g_history = sample;
        std::wstring read;
        const auto start = Clock::now();
        ASSERT_TRUE(ReadHistoryText(history, read, 5000));
        EXPECT_EQ(read.back(), L'\0');
        BalloonExtract(read, static_cast<std::int32_t>(g_random() % 100000));
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
        ++g_inputs;
    }
    ::DestroyWindow(history);
}

// A main window reduced to what taking in and giving back needs.
struct CaptureHost {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HWND top = ::CreateWindowExW(0, L"Static", L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 700, 500, nullptr,
                                 nullptr, instance, nullptr);
    frmMain main;

    CaptureHost() {
        main.picWin = ::CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_CLIPCHILDREN, 2, 30, 600, 400, top, nullptr,
                                        instance, nullptr);
        main.fraMsg = ::CreateWindowExW(0, L"Static", L"", WS_CHILD, 0, 0, 10, 10, top, nullptr, instance, nullptr);
        EXPECT_TRUE(main.btnTab.CreateHost(top, 0, 0, 700, 500));
        main.btnTab.events.Changed = [this](int& index) { main.btnTab_Changed(index); };
        SetReleaseGuardContainer(main.picWin);
    }
    ~CaptureHost() {
        ReleaseGuardClear();
        SetReleaseGuardContainer(nullptr);
        main.btnTab.events.Changed = nullptr;
        ::DestroyWindow(top);
    }

    // A window that no longer exists has no record and no tab; the list and
    // the tab row agree.
    bool Consistent(HWND chat) {
        if (main.Chats().Count() != main.btnTab.Count()) return false;
        if (::IsWindow(chat)) return true;
        for (int i = 1; i <= main.Chats().Count(); ++i)
            if (ToHwnd(main.Chats().WinList()->getNode(i)->hWnd) == chat) return false;
        return true;
    }
};

// Error boxes that appear are counted and closed, so a wrong report fails
// the test instead of blocking it.
struct ReportWatch {
    std::atomic<int> reports{0};
    std::atomic<bool> stop{false};
    std::thread thread{[this] {
        while (!stop) {
            if (HWND box = ::FindWindowW(L"#32770", L"错误啦~")) {
                ++reports;
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
            ::Sleep(50);
        }
    }};
    ~ReportWatch() {
        stop = true;
        thread.join();
    }
};

void PumpFor(std::chrono::milliseconds duration) {
    const auto end = Clock::now() + duration;
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(5);
    } while (Clock::now() < end);
}

// Conversation windows with titles of every kind, taken in and given back;
// some vanish right after being taken in. Every one that still exists must
// end on the desktop with its former style, or inside with its tab.
TEST(Fuzz, TitlesAndVanishingWindowsLeaveNothingStranded) {
    CaptureHost host;
    frmMain& main = host.main;
    const std::vector<std::wstring> titles = {std::wstring(10000, L'长'), L"\x01\x02\t\r\n", L"\xD800 \xDFFF", L"",
                                              RandomUnits(300),           RandomUnits(3)};
    for (int round = 0; round < 24; ++round) {
        const std::wstring& title = titles[static_cast<size_t>(round) % titles.size()];
        HWND chat = ::CreateWindowExW(0, L"Static", title.c_str(), WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME,
                                      50, 60, 400, 300, nullptr, nullptr, host.instance, nullptr);
        const auto style = static_cast<DWORD>(::GetWindowLongW(chat, GWL_STYLE));
        ::CreateWindowExA(0, "Edit", "history", WS_CHILD, 0, 0, 10, 10, chat, nullptr, host.instance, nullptr);
        int code = kKindClassic;
        const bool taken = main.TakeWin(chat, title, title, false, code);
        const int step = round % 3;
        if (step == 1) ::DestroyWindow(chat);  // closed by its program while inside
        main.tmrChkWin_Timer();
        if (step != 2 && main.Chats().Count() > 0) main.PopWin(0);
        if (::IsWindow(chat)) {
            const bool inside = ::GetParent(chat) == main.picWin && main.btnTab.Count() == main.Chats().Count();
            const bool free = !::GetParent(chat) && static_cast<DWORD>(::GetWindowLongW(chat, GWL_STYLE)) == style;
            if (!inside && !free) ++g_stranded;
            EXPECT_TRUE(inside || free) << "round " << round << (taken ? " (taken)" : "");
            if (inside) main.PopWin(main.Chats().Count() - 1);
            ::DestroyWindow(chat);
        }
        ++g_inputs;
    }
    EXPECT_EQ(main.Chats().Count(), 0);
}

// A conversation window that its program closes at the n-th message it is
// sent while being taken in: counted once, then closed at each in turn.
int g_vanishAt = 0;
int g_received = 0;
LRESULT CALLBACK VanishingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_vanishAt > 0 && ++g_received == g_vanishAt) {
        g_vanishAt = 0;
        ::DestroyWindow(hwnd);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST(Fuzz, WindowVanishingAtEachStepOfACapture) {
    CaptureHost host;
    ReportWatch watch;
    WNDCLASSW wc{};
    wc.lpfnWndProc = VanishingProc;
    wc.hInstance = host.instance;
    wc.lpszClassName = L"VarnuFuzzVanishing";
    ::RegisterClassW(&wc);
    int steps = 0;
    for (int at = 0; at == 0 || at <= steps; ++at) {
        HWND chat = ::CreateWindowExW(0, wc.lpszClassName, L"张三", WS_POPUP | WS_VISIBLE | WS_CAPTION, 50, 60, 400,
                                      300, nullptr, nullptr, host.instance, nullptr);
        ::CreateWindowExA(0, "RichEdit20A", "", WS_CHILD, 0, 0, 10, 10, chat, nullptr, host.instance, nullptr);
        g_received = 0;
        g_vanishAt = at == 0 ? INT_MAX : at;
        int code = kKindClassicUnsettled;
        host.main.TakeWin(chat, L"张三", L"张三", false, code);
        PumpFor(std::chrono::milliseconds(20));
        if (at == 0) steps = g_received;  // the dry run counts the messages
        g_vanishAt = 0;
        host.main.tmrChkWin_Timer();
        const bool consistent = host.Consistent(chat);
        if (!consistent) ++g_stranded;
        EXPECT_TRUE(consistent) << "vanished at message " << at;
        if (::IsWindow(chat)) {
            if (host.main.Chats().Count() > 0) host.main.PopWin(0);
            ::DestroyWindow(chat);
        }
        ++g_inputs;
    }
    EXPECT_GT(steps, 3);
    std::printf("the window vanished at each of the %d messages a capture sends it\n", steps);
    EXPECT_EQ(host.main.Chats().Count(), 0);
    EXPECT_EQ(watch.reports, 0) << "a window closed by its program is no error";
}

// The messenger is killed while one of its windows is on its way in or out,
// hung at that moment or not: nothing of ours may wait for it, crash, or keep
// a record, a tab or a capture on its way for a window that no longer exists.
TEST(Fuzz, MessengerKilledDuringCaptureOrGiveBack) {
    CaptureHost host;
    frmMain& main = host.main;
    ReportWatch watch;
    for (int round = 0; round < 8; ++round) {
        e2e::Simulator sim;
        const e2e::SimWindow chat = sim.Open(sim::Kind::Classic, L"张三");
        ASSERT_TRUE(chat);
        const bool duringGiveBack = round % 2 == 1, hung = round % 4 < 2;
        int code = kKindClassicUnsettled;
        if (duringGiveBack) {
            ASSERT_TRUE(main.TakeWin(chat.top, L"张三", L"张三", false, code));
        }
        if (hung) {
            ASSERT_TRUE(sim.Hang(std::chrono::seconds(5)));
        }
        // Killed part-way: at once when it hangs, else after a few moments.
        std::thread killer([&sim, delay = hung ? 300u : g_random() % 40u] {
            ::Sleep(delay);
            sim.Proc().Terminate();
        });
        const auto start = Clock::now();
        if (duringGiveBack)
            main.PopWin(0);
        else
            main.TakeWin(chat.top, L"张三", L"张三", false, code);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(1)) << "round " << round;
        killer.join();
        sim.Proc().WaitForExit();
        // The lanes hear of the end at once; their results come as messages.
        win32::PeerLanes::Program().WaitIdle(3000);
        main.tmrChkWin_Timer();
        const bool consistent = host.Consistent(chat.top) && main.PendingCount() == 0;
        if (!consistent) ++g_stranded;
        EXPECT_TRUE(consistent) << "round " << round << ": " << main.Chats().Count() << " records, "
                                << main.btnTab.Count() << " tabs, " << main.PendingCount() << " on their way";
        EXPECT_EQ(main.Chats().Count(), 0) << "round " << round;
        ++g_inputs;
    }
    EXPECT_EQ(watch.reports, 0);
}

TEST(Fuzz, ClosingLine) {
    std::printf("%d inputs tried, 0 crashes, %d windows stranded\n", g_inputs, g_stranded);
    EXPECT_EQ(g_stranded, 0);
}

}  // namespace
