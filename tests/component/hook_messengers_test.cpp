// HookMessengers against stand-in messenger windows on their own threads:
// which windows get a hook, that the notices then arrive, and how a missing
// or foreign library is reported.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "main/hook_messengers.h"
#include "win32/winapi.h"

namespace {

using varnu::HookLibrary;
using varnu::HookLibraryState;
using varnu::HookMessengers;
using varnu::HookReport;
using varnu::HookThreads;
using varnu::MessengerThreads;

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void RegisterClassOnce(const wchar_t* name) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    ::RegisterClassW(&wc);  // fails harmlessly when already there
}

// Top-level window with one child; "#32770" is the system's dialog class.
HWND MakeMessengerWindow(const wchar_t* topClass, const wchar_t* topTitle, const wchar_t* childClass,
                         const wchar_t* childTitle) {
    if (std::wstring(topClass) != L"#32770") RegisterClassOnce(topClass);
    HWND top = ::CreateWindowExW(0, topClass, topTitle, WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (top && childClass) {
        RegisterClassOnce(childClass);
        ::CreateWindowExW(0, childClass, childTitle, WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, top, nullptr,
                          ::GetModuleHandleW(nullptr), nullptr);
    }
    return top;
}

// A thread that owns some stand-in windows and runs a message loop for them.
class FakeMessenger {
public:
    explicit FakeMessenger(std::function<std::vector<HWND>()> build) {
        thread_ = std::thread([this, build] {
            threadId_ = ::GetCurrentThreadId();
            windows_ = build();
            {
                std::lock_guard lock(mutex_);
                ready_ = true;
            }
            cv_.notify_all();
            MSG m;
            while (::GetMessageW(&m, nullptr, 0, 0) > 0) ::DispatchMessageW(&m);
            for (HWND w : windows_) ::DestroyWindow(w);
        });
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return ready_; });
    }
    ~FakeMessenger() {
        ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }

    DWORD threadId() const { return threadId_; }
    HWND window(size_t i = 0) const { return windows_.at(i); }

private:
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool ready_ = false;
    DWORD threadId_ = 0;
    std::vector<HWND> windows_;
};

std::vector<HWND> QQBarDialog() { return {MakeMessengerWindow(L"#32770", L"", L"Tencent_QQBar", L"")}; }

// Receives WM_HOOKNOTIFY on the test thread.
class NotifyWindow {
public:
    NotifyWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VarnuHookMessengersNotify";
        ::RegisterClassW(&wc);
        hwnd_ =
            ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~NotifyWindow() { ::DestroyWindow(hwnd_); }
    HWND hwnd() const { return hwnd_; }

    // Pumps this thread until `expected` notices came (or time ran out), then
    // a little longer to catch any surplus, and returns the notices seen.
    std::vector<std::pair<WPARAM, LPARAM>> Collect(size_t expected, int graceMs = 300) {
        Pump([&] { return notices_.size() >= expected; }, 20000);
        Pump([] { return false; }, graceMs);
        return std::exchange(notices_, {});
    }

private:
    void Pump(const std::function<bool()>& done, int ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done() && std::chrono::steady_clock::now() < end) {
            MSG m;
            while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&m);
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<NotifyWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && msg == WM_HOOKNOTIFY) {
            self->notices_.emplace_back(wParam, lParam);
            return 0;
        }
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    HWND hwnd_ = nullptr;
    std::vector<std::pair<WPARAM, LPARAM>> notices_;
};

using Notices = std::vector<std::pair<WPARAM, LPARAM>>;

TEST(HookMessengersTest, OnlyRecognisedMessengerWindowsAreChosenOncePerThread) {
    FakeMessenger qq([] {
        // Two matching windows on one thread still make one hook.
        auto windows = QQBarDialog();
        windows.push_back(QQBarDialog().front());
        return windows;
    });
    FakeMessenger preview([] {
        return std::vector<HWND>{MakeMessengerWindow(L"TXGuiFoundation", L"QQ2009 Preview", L"Shell Embedding", L"")};
    });
    FakeMessenger strangers([] {
        return std::vector<HWND>{
            MakeMessengerWindow(L"#32770", L"", L"Tencent_QQBar", L"titled bar"),
            MakeMessengerWindow(L"#32770", L"", nullptr, nullptr),
            MakeMessengerWindow(L"#32770", L"", L"Shell Embedding", L""),
            MakeMessengerWindow(L"TXGuiFoundation", L"Chat", L"Shell Embedding", L""),
            MakeMessengerWindow(L"TXGuiFoundation", L"QQ2009 Preview", L"Shell Embedding", L"titled"),
            MakeMessengerWindow(L"TXGuiFoundation", L"QQ2009 Preview", L"Tencent_QQBar", L""),
        };
    });

    EXPECT_EQ(MessengerThreads(), (std::vector<DWORD>{qq.threadId(), preview.threadId()}));
}

TEST(HookMessengersTest, HooksTheMessengerAndCtrlNoticesArrive) {
    FakeMessenger qq([] {
        auto windows = QQBarDialog();
        windows.push_back(QQBarDialog().front());
        return windows;
    });
    NotifyWindow notify;

    HookReport report = HookMessengers(notify.hwnd());
    EXPECT_EQ(report.library, HookLibraryState::Loaded);
    EXPECT_EQ(report.threads, 1);
    EXPECT_EQ(report.hooked, 1);
    // Seen again, by its panel and by its conversations: no second hook.
    EXPECT_EQ(HookMessengers(notify.hwnd()).hooked, 0);
    EXPECT_EQ(HookThreads(notify.hwnd(), {qq.threadId(), qq.threadId()}).threads, 0);

    ::PostMessageW(qq.window(), WM_KEYDOWN, VK_CONTROL, 1);
    ::PostMessageW(qq.window(1), WM_KEYUP, VK_CONTROL, 1);
    // Exactly one notice each: the thread carries a single hook.
    EXPECT_EQ(notify.Collect(2), (Notices{{0, 0}, {0, 1}}));
}

TEST(HookMessengersTest, LibraryIsNotLoadedWhenNoMessengerRuns) {
    HookLibrary library(HookLibrary::DefaultCandidates());
    NotifyWindow notify;
    HookReport report = HookMessengers(notify.hwnd(), library);
    EXPECT_EQ(report.library, HookLibraryState::NotLoaded);
    EXPECT_EQ(report.threads, 0);
    EXPECT_EQ(library.State(), HookLibraryState::NotLoaded);
}

TEST(HookMessengersTest, MissingLibraryIsReportedAndNothingIsHooked) {
    FakeMessenger qq(QQBarDialog);
    NotifyWindow notify;
    wchar_t temp[MAX_PATH];
    ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
    HookLibrary library({std::wstring(temp) + L"varnu-no-such-folder\\Varnu.dll"});

    HookReport report = HookMessengers(notify.hwnd(), library);
    EXPECT_EQ(report.library, HookLibraryState::LibraryMissing);
    EXPECT_EQ(report.threads, 1);
    EXPECT_EQ(report.hooked, 0);
    EXPECT_FALSE(library.InitHook(true, notify.hwnd(), qq.threadId()));

    ::PostMessageW(qq.window(), WM_KEYDOWN, VK_CONTROL, 1);
    EXPECT_TRUE(notify.Collect(0, 500).empty());
}

TEST(HookMessengersTest, LibraryWithoutTheExportIsReportedOrPassedOver) {
    FakeMessenger qq(QQBarDialog);
    NotifyWindow notify;
    wchar_t system[MAX_PATH];
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::wstring foreign = std::wstring(system) + L"\\user32.dll";

    HookLibrary wrong({foreign});
    HookReport report = HookMessengers(notify.hwnd(), wrong);
    EXPECT_EQ(report.library, HookLibraryState::ExportMissing);
    EXPECT_EQ(report.hooked, 0);

    // A later candidate that is the real library is still found.
    HookLibrary fallback({foreign, win32::ModuleFolder() + L"\\Varnu.dll"});
    report = HookMessengers(notify.hwnd(), fallback);
    EXPECT_EQ(report.library, HookLibraryState::Loaded);
    EXPECT_EQ(report.hooked, 1);
    ::PostMessageW(qq.window(), WM_KEYDOWN, VK_CONTROL, 1);
    EXPECT_EQ(notify.Collect(1), (Notices{{0, 0}}));
    fallback.InitHook(false, nullptr, 0);
}

}  // namespace
