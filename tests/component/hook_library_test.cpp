// Varnu.dll against real message queues: a "messenger" thread with its own
// message loop is hooked, messages are posted to its window, and the notices
// that come back to a window on the test thread are compared. The last test
// hooks a second process, the way the library is used for real.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cwchar>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hooklib/core/meter_table.h"
#include "hooklib/hook_messages.h"
#include "win32/handles.h"
#include "win32/winapi.h"

namespace {

using InitHookFn = BOOL(WINAPI*)(BOOL install, HWND notify, DWORD threadId);

constexpr UINT kSentinel = WM_APP + 1;     // marks the end of a posted batch
constexpr UINT kChildHello = WM_APP + 3;   // child -> test: (window, thread id)
constexpr UINT kChildSaw = WM_APP + 4;     // child -> test: (message, wParam)
constexpr UINT kChildHasDll = WM_APP + 5;  // child -> test: Varnu.dll loaded there

struct Msg {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Msg&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Msg& m) {
    return os << "{" << m.message << ", " << m.wParam << ", " << m.lParam << "}";
}

Msg Notice(unsigned what, unsigned how) { return {WM_HOOKNOTIFY, what, static_cast<LPARAM>(how)}; }

WPARAM WheelParam(short delta, WORD keys = 0) { return MAKEWPARAM(keys, static_cast<WORD>(delta)); }

bool IsGestureMessage(UINT message) {
    switch (message) {
    case WM_NULL:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MOUSEWHEEL:
    case WM_HOOKNOTIFY:
    case kSentinel: return true;
    default: return false;
    }
}

// ---------------------------------------------------------------------------
// Child mode: the test program started with "--hook-child <window>" plays a
// messenger process and reports what its window receives.

LRESULT CALLBACK ChildProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

int RunChild(HWND report) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ChildProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VarnuHookTestChild";
    ::RegisterClassW(&wc);
    HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"child", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                    nullptr, wc.hInstance, nullptr);
    if (!window) return 2;
    // Never outlive a test that died.
    ::SetTimer(window, 1, 60000, nullptr);
    ::PostMessageW(report, kChildHello, reinterpret_cast<WPARAM>(window), ::GetCurrentThreadId());
    MSG m;
    while (::GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (m.hwnd == window && m.message == WM_TIMER) break;
        if (m.hwnd == window && IsGestureMessage(m.message)) ::PostMessageW(report, kChildSaw, m.message, m.wParam);
        if (m.message == kSentinel)
            ::PostMessageW(report, kChildHasDll, ::GetModuleHandleW(L"Varnu.dll") != nullptr, 0);
        ::DispatchMessageW(&m);
    }
    return 0;
}

int RunChildIfAsked() {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv) return 0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], L"--hook-child") == 0) {
            HWND report = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoull(argv[i + 1], nullptr, 10)));
            ::LocalFree(argv);
            ::ExitProcess(static_cast<UINT>(RunChild(report)));
        }
    }
    ::LocalFree(argv);
    return 0;
}

// Runs before gtest's main in the child.
const int kChildMode = RunChildIfAsked();

// ---------------------------------------------------------------------------
// Test side.

// A window on the test thread that records the messages of interest.
class Recorder {
public:
    Recorder() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VarnuHookTestRecorder";
        ::RegisterClassW(&wc);
        hwnd_ =
            ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Recorder() { ::DestroyWindow(hwnd_); }

    HWND hwnd() const { return hwnd_; }
    std::vector<Msg> seen;

    // Dispatches this thread's messages until `done` holds or time runs out.
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            // Asked before draining: whatever was posted before `done` came
            // true is then in our queue and gets dispatched below.
            bool finished = done();
            MSG m;
            while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&m);
            if (finished) return true;
            if (std::chrono::steady_clock::now() > end) return false;
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }

    std::vector<Msg> Notices() const {
        std::vector<Msg> result;
        for (const Msg& m : seen)
            if (m.message == WM_HOOKNOTIFY) result.push_back(m);
        return result;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Recorder*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && (msg == WM_HOOKNOTIFY || (msg >= kChildHello && msg <= kChildHasDll))) {
            self->seen.push_back({msg, wParam, lParam});
            return 0;
        }
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    HWND hwnd_ = nullptr;
};

// A thread with a window and a message loop, standing in for the messenger.
// It records every gesture message as GetMessage handed it over.
class MessengerThread {
public:
    explicit MessengerThread(bool peekFirst = false) : peekFirst_(peekFirst) {
        thread_ = std::thread([this] { Run(); });
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return started_; });
    }
    ~MessengerThread() {
        if (window_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
        thread_.join();
    }

    HWND window() const { return window_; }
    DWORD threadId() const { return threadId_; }

    void Post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { ::PostMessageW(window_, msg, wParam, lParam); }

    // Posts a marker and waits, pumping the test thread, until the messenger
    // took it: every notice for earlier messages has then been posted.
    bool Sync(Recorder& recorder) {
        int marker = ++markers_;
        Post(kSentinel, static_cast<WPARAM>(marker));
        return recorder.PumpUntil([&] {
            std::lock_guard lock(mutex_);
            for (const Msg& m : received_)
                if (m.message == kSentinel && m.wParam == static_cast<WPARAM>(marker)) return true;
            return false;
        });
    }

    // What the messenger received, markers left out.
    std::vector<Msg> Received() {
        std::lock_guard lock(mutex_);
        std::vector<Msg> result;
        for (const Msg& m : received_)
            if (m.message != kSentinel) result.push_back(m);
        return result;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_DESTROY) {
            ::PostQuitMessage(0);
            return 0;
        }
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    void Run() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VarnuHookTestMessenger";
        ::RegisterClassW(&wc);
        window_ = ::CreateWindowExW(0, wc.lpszClassName, L"messenger", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                    nullptr, wc.hInstance, nullptr);
        threadId_ = ::GetCurrentThreadId();
        {
            std::lock_guard lock(mutex_);
            started_ = true;
        }
        cv_.notify_all();
        for (;;) {
            MSG m;
            if (peekFirst_ && !::PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE)) {
                // Some message loops look before they take.
                ::MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
                continue;
            }
            if (::GetMessageW(&m, nullptr, 0, 0) <= 0) break;
            bool ours = m.hwnd == window_ || m.hwnd == nullptr;
            if (ours && IsGestureMessage(m.message)) {
                std::lock_guard lock(mutex_);
                received_.push_back({m.message, m.wParam, m.lParam});
            }
            ::DispatchMessageW(&m);
        }
    }

    bool peekFirst_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool started_ = false;
    std::vector<Msg> received_;
    std::atomic<HWND> window_{nullptr};
    std::atomic<DWORD> threadId_{0};
    int markers_ = 0;
};

std::wstring LibraryPath() { return win32::ModuleFolder() + L"\\Varnu.dll"; }

class HookLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Loaded afresh for every test, so the library's flags start clear.
        library_.reset(::LoadLibraryW(LibraryPath().c_str()));
        ASSERT_TRUE(library_) << "Varnu.dll not found beside the test";
        initHook_ = reinterpret_cast<InitHookFn>(reinterpret_cast<void*>(::GetProcAddress(library_.get(), "InitHook")));
        ASSERT_NE(initHook_, nullptr);
    }
    void TearDown() override {
        if (initHook_) initHook_(FALSE, nullptr, 0);
    }

    void Hook(MessengerThread& messenger) { ASSERT_TRUE(initHook_(TRUE, recorder_.hwnd(), messenger.threadId())); }

    win32::UniqueModule library_;
    InitHookFn initHook_ = nullptr;
    Recorder recorder_;
};

TEST_F(HookLibraryTest, CtrlIsReportedForEveryRepeatAndOnRelease) {
    MessengerThread messenger;
    Hook(messenger);
    messenger.Post(WM_KEYDOWN, VK_CONTROL, 1);
    messenger.Post(WM_KEYDOWN, VK_CONTROL, 1 | (1 << 30));  // key repeat
    messenger.Post(WM_KEYUP, VK_CONTROL, 1 | (3u << 30));
    messenger.Post(WM_KEYDOWN, 'A', 1);  // other keys say nothing
    messenger.Post(WM_KEYUP, 'A', 1);
    ASSERT_TRUE(messenger.Sync(recorder_));

    EXPECT_EQ(recorder_.Notices(), (std::vector<Msg>{Notice(HOOKNOTIFY_CTRL, HOOKNOTIFY_CTRL_DOWN),
                                                     Notice(HOOKNOTIFY_CTRL, HOOKNOTIFY_CTRL_DOWN),
                                                     Notice(HOOKNOTIFY_CTRL, HOOKNOTIFY_CTRL_UP)}));
    // The key messages themselves reach the messenger unchanged.
    auto received = messenger.Received();
    ASSERT_EQ(received.size(), 5u);
    EXPECT_EQ(received[0], (Msg{WM_KEYDOWN, VK_CONTROL, 1}));
    EXPECT_EQ(received[2].message, static_cast<UINT>(WM_KEYUP));
}

TEST_F(HookLibraryTest, RightButtonWheelGestureSwitchesAndSwallowsTheRelease) {
    MessengerThread messenger;
    Hook(messenger);
    messenger.Post(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10));
    messenger.Post(WM_MOUSEWHEEL, WheelParam(120, MK_RBUTTON), MAKELPARAM(10, 10));
    messenger.Post(WM_MOUSEWHEEL, WheelParam(-120, MK_RBUTTON), MAKELPARAM(10, 10));
    messenger.Post(WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    ASSERT_TRUE(messenger.Sync(recorder_));

    EXPECT_EQ(recorder_.Notices(), (std::vector<Msg>{Notice(HOOKNOTIFY_WHEEL, HOOKNOTIFY_WHEEL_AWAY),
                                                     Notice(HOOKNOTIFY_WHEEL, HOOKNOTIFY_WHEEL_TOWARDS)}));
    EXPECT_EQ(messenger.Received(), (std::vector<Msg>{{WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10)},
                                                      {WM_MOUSEWHEEL, WheelParam(120, MK_RBUTTON), MAKELPARAM(10, 10)},
                                                      {WM_MOUSEWHEEL, WheelParam(-120, MK_RBUTTON), MAKELPARAM(10, 10)},
                                                      {WM_NULL, 0, 0}}));

    // The gesture is over: the next release, with no wheel turn, is ordinary.
    recorder_.seen.clear();
    messenger.Post(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));
    messenger.Post(WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    ASSERT_TRUE(messenger.Sync(recorder_));
    EXPECT_TRUE(recorder_.Notices().empty());
    auto received = messenger.Received();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back(), (Msg{WM_RBUTTONUP, 0, MAKELPARAM(20, 20)}));
}

TEST_F(HookLibraryTest, WheelIsReportedOnlyWithCtrlOrRightButton) {
    MessengerThread messenger;
    Hook(messenger);
    messenger.Post(WM_MOUSEWHEEL, WheelParam(120), 0);
    messenger.Post(WM_MOUSEWHEEL, WheelParam(-120), 0);
    ASSERT_TRUE(messenger.Sync(recorder_));
    EXPECT_TRUE(recorder_.Notices().empty());

    messenger.Post(WM_KEYDOWN, VK_CONTROL, 1);
    messenger.Post(WM_MOUSEWHEEL, WheelParam(-240, MK_CONTROL), 0);
    messenger.Post(WM_MOUSEWHEEL, WheelParam(120, MK_CONTROL), 0);
    // No wheel gesture with the right button took place, so its release
    // stays intact even though wheel notices were posted.
    messenger.Post(WM_RBUTTONUP, 0, 0);
    messenger.Post(WM_KEYUP, VK_CONTROL, 1);
    messenger.Post(WM_MOUSEWHEEL, WheelParam(120), 0);
    ASSERT_TRUE(messenger.Sync(recorder_));
    EXPECT_EQ(recorder_.Notices(),
              (std::vector<Msg>{
                  Notice(HOOKNOTIFY_CTRL, HOOKNOTIFY_CTRL_DOWN), Notice(HOOKNOTIFY_WHEEL, HOOKNOTIFY_WHEEL_TOWARDS),
                  Notice(HOOKNOTIFY_WHEEL, HOOKNOTIFY_WHEEL_AWAY), Notice(HOOKNOTIFY_CTRL, HOOKNOTIFY_CTRL_UP)}));

    // Every wheel message reached the window, reported or not.
    int wheels = 0;
    bool releaseSeen = false;
    for (const Msg& m : messenger.Received()) {
        if (m.message == WM_MOUSEWHEEL) ++wheels;
        if (m.message == WM_RBUTTONUP) releaseSeen = true;
    }
    EXPECT_EQ(wheels, 5);
    EXPECT_TRUE(releaseSeen);
}

TEST_F(HookLibraryTest, LookingAtTheQueueWithoutTakingReportsNothingExtra) {
    MessengerThread messenger(/*peekFirst=*/true);
    Hook(messenger);
    messenger.Post(WM_KEYDOWN, VK_CONTROL, 1);
    messenger.Post(WM_RBUTTONDOWN, MK_RBUTTON, 0);
    messenger.Post(WM_MOUSEWHEEL, WheelParam(120, MK_RBUTTON), 0);
    messenger.Post(WM_RBUTTONUP, 0, 0);
    messenger.Post(WM_KEYUP, VK_CONTROL, 1);
    ASSERT_TRUE(messenger.Sync(recorder_));
    EXPECT_EQ(recorder_.Notices(), (std::vector<Msg>{Notice(HOOKNOTIFY_CTRL, HOOKNOTIFY_CTRL_DOWN),
                                                     Notice(HOOKNOTIFY_WHEEL, HOOKNOTIFY_WHEEL_AWAY),
                                                     Notice(HOOKNOTIFY_CTRL, HOOKNOTIFY_CTRL_UP)}));
    // The release that was only looked at first is still swallowed when taken.
    auto received = messenger.Received();
    ASSERT_EQ(received.size(), 5u);
    EXPECT_EQ(received[3], (Msg{WM_NULL, 0, 0}));
}

TEST_F(HookLibraryTest, WithoutNotifyWindowNothingLandsInTheMessengersQueue) {
    MessengerThread messenger;
    ASSERT_TRUE(initHook_(TRUE, nullptr, messenger.threadId()));
    messenger.Post(WM_KEYDOWN, VK_CONTROL, 1);
    messenger.Post(WM_KEYUP, VK_CONTROL, 1);
    ASSERT_TRUE(messenger.Sync(recorder_));
    ASSERT_TRUE(messenger.Sync(recorder_));  // a stray notice would have arrived by now
    for (const Msg& m : messenger.Received()) EXPECT_NE(m.message, static_cast<UINT>(WM_HOOKNOTIFY));
    EXPECT_EQ(messenger.Received().size(), 2u);
}

TEST_F(HookLibraryTest, InstallFailsForThreadsThatCannotBeHooked) {
    EXPECT_FALSE(initHook_(TRUE, recorder_.hwnd(), 0xFFFFFFF0));
    // Thread 0 would hook the whole desktop.
    EXPECT_FALSE(initHook_(TRUE, recorder_.hwnd(), 0));
    // Removing when nothing is installed is harmless.
    EXPECT_TRUE(initHook_(FALSE, nullptr, 0));
    EXPECT_TRUE(initHook_(FALSE, nullptr, 0));
}

TEST_F(HookLibraryTest, RemovedHookReportsNoMore) {
    MessengerThread messenger;
    Hook(messenger);
    messenger.Post(WM_KEYDOWN, VK_CONTROL, 1);
    ASSERT_TRUE(messenger.Sync(recorder_));
    ASSERT_EQ(recorder_.Notices().size(), 1u);

    EXPECT_TRUE(initHook_(FALSE, nullptr, 0));
    messenger.Post(WM_KEYUP, VK_CONTROL, 1);
    ASSERT_TRUE(messenger.Sync(recorder_));
    EXPECT_EQ(recorder_.Notices().size(), 1u);
}

// Varnu's request: the messenger thread measures the histories listed for it
// that really are its own, answers once, and sees only a null message.
TEST_F(HookLibraryTest, MeasuresOnlyItsOwnThreadsHistoriesAndSwallowsTheRequest) {
    using namespace varnu::meter;
    auto tableOf = reinterpret_cast<MeterTable*(WINAPI*)()>(
        reinterpret_cast<void*>(::GetProcAddress(library_.get(), "HistoryTable")));
    ASSERT_NE(tableOf, nullptr);
    MeterTable& table = *tableOf();
    ASSERT_TRUE(Matches(table));
    MessengerThread messenger;
    Hook(messenger);
    table.request = ::RegisterWindowMessageW(kMeasureRequestName);
    auto number = [](HWND h) { return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(h)); };
    const std::uint32_t own = number(messenger.window()), foreign = number(recorder_.hwnd());
    ASSERT_TRUE(Register(table.slot[0], own, messenger.threadId()));
    ASSERT_TRUE(Register(table.slot[1], foreign, messenger.threadId()));  // a window of this thread

    messenger.Post(table.request, 5);
    ASSERT_TRUE(messenger.Sync(recorder_));
    EXPECT_EQ(recorder_.Notices(), std::vector<Msg>{Notice(HOOKNOTIFY_MEASURED, 5)});
    EXPECT_EQ(Result(table.slot[0], own, 5), ::GetWindowTextLengthW(messenger.window()));
    EXPECT_FALSE(Result(table.slot[1], foreign, 5));
    EXPECT_EQ(messenger.Received(), (std::vector<Msg>{Msg{WM_NULL, 0, 0}}));
    Release(table.slot[0]);
    Release(table.slot[1]);
    table.request = 0;
}

// The deployment path: the hook is installed into another process, the
// system loads the library there, and the notice finds its way back through
// the shared section.
TEST_F(HookLibraryTest, HookInAnotherProcessPostsBack) {
    wchar_t exe[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
    std::wstring commandLine =
        L"\"" + std::wstring(exe) + L"\" --hook-child " + std::to_wstring(reinterpret_cast<UINT_PTR>(recorder_.hwnd()));
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW(exe, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    win32::UniqueHandle process(pi.hProcess);
    win32::UniqueHandle mainThread(pi.hThread);

    HWND child = nullptr;
    DWORD childThread = 0;
    ASSERT_TRUE(recorder_.PumpUntil(
        [&] {
            for (const Msg& m : recorder_.seen)
                if (m.message == kChildHello) {
                    child = reinterpret_cast<HWND>(m.wParam);
                    childThread = static_cast<DWORD>(m.lParam);
                    return true;
                }
            return false;
        },
        30000))
        << "the child process did not start";

    ASSERT_TRUE(initHook_(TRUE, recorder_.hwnd(), childThread));
    recorder_.seen.clear();
    ::PostMessageW(child, WM_KEYDOWN, VK_CONTROL, 1);
    ::PostMessageW(child, WM_KEYUP, VK_CONTROL, 1);
    ::PostMessageW(child, WM_RBUTTONDOWN, MK_RBUTTON, 0);
    ::PostMessageW(child, WM_MOUSEWHEEL, WheelParam(-120, MK_RBUTTON), 0);
    ::PostMessageW(child, WM_RBUTTONUP, 0, 0);
    ::PostMessageW(child, kSentinel, 0, 0);
    EXPECT_TRUE(recorder_.PumpUntil(
        [&] {
            for (const Msg& m : recorder_.seen)
                if (m.message == kChildHasDll) return true;
            return false;
        },
        10000));

    std::vector<UINT> childSaw;
    bool childHasDll = false;
    for (const Msg& m : recorder_.seen) {
        if (m.message == kChildSaw && m.wParam != kSentinel) childSaw.push_back(static_cast<UINT>(m.wParam));
        if (m.message == kChildHasDll) childHasDll = m.wParam != 0;
    }
    EXPECT_TRUE(childHasDll);
    EXPECT_EQ(recorder_.Notices(), (std::vector<Msg>{Notice(HOOKNOTIFY_CTRL, HOOKNOTIFY_CTRL_DOWN),
                                                     Notice(HOOKNOTIFY_CTRL, HOOKNOTIFY_CTRL_UP),
                                                     Notice(HOOKNOTIFY_WHEEL, HOOKNOTIFY_WHEEL_TOWARDS)}));
    EXPECT_EQ(childSaw, (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP, WM_RBUTTONDOWN, WM_MOUSEWHEEL, WM_NULL}));

    initHook_(FALSE, nullptr, 0);
    ::PostMessageW(child, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0) ::TerminateProcess(process.get(), 1);
}

}  // namespace
