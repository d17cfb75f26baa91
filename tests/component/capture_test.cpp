// Capture and release against real windows: the "messenger" windows live on
// a second thread with its own message loop, as a peer's would, and frmMain
// is used bare (its conversation area, notice and tab strip on a host window
// of the test), so TakeWin, PopWin, CloseTab and ScanWindows run unchanged.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "main/core/recognition.h"
#include "main/main_window.h"
#include "win32/msgbox.h"
#include "main/release_guard.h"
#include "win32/peer_lanes.h"
#include "win32/strconv.h"

namespace {

using namespace varnu;
using namespace std::chrono_literals;

constexpr wchar_t kChatClass[] = L"VarnuTestChat";
constexpr UINT kRunTask = WM_APP + 1;

// What the peer's windows received, for WM_CLOSE and the restore command.
std::mutex g_recordMutex;
std::vector<std::pair<HWND, UINT>> g_records;
std::atomic<bool> g_closeDestroys{false};
// How long the peer takes over each move of its windows: widens the gap in
// which a request of ours can be queued behind another one.
std::atomic<int> g_moveDelayMs{0};

LRESULT CALLBACK ChatProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_WINDOWPOSCHANGING && g_moveDelayMs > 0) ::Sleep(static_cast<DWORD>(g_moveDelayMs.load()));
    if (msg == WM_CLOSE || (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_RESTORE)) {
        std::lock_guard lock(g_recordMutex);
        g_records.emplace_back(hwnd, msg);
    }
    if (msg == WM_CLOSE && !g_closeDestroys) return 0;
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

int RecordCount(HWND hwnd, UINT msg) {
    std::lock_guard lock(g_recordMutex);
    int n = 0;
    for (auto& r : g_records) n += (r.first == hwnd && r.second == msg);
    return n;
}

void RegisterClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW chat{};
    chat.lpfnWndProc = ChatProc;
    chat.hInstance = instance;
    chat.lpszClassName = kChatClass;
    ::RegisterClassW(&chat);
    // Stand-ins for the messenger's controls: only the class names and the
    // window text matter to capture. The history is an ANSI window, as the
    // messenger's is.
    WNDCLASSA ansi{};
    ansi.lpfnWndProc = ::DefWindowProcA;
    ansi.hInstance = instance;
    ansi.lpszClassName = "RichEdit20A";
    ::RegisterClassA(&ansi);
    ansi.lpszClassName = "RICHEDIT";
    ::RegisterClassA(&ansi);
    WNDCLASSW afx{};
    afx.lpfnWndProc = ::DefWindowProcW;
    afx.hInstance = instance;
    afx.lpszClassName = L"AfxWnd42";
    ::RegisterClassW(&afx);
}

// The messenger's user-interface thread.
class PeerThread {
public:
    PeerThread() {
        std::promise<DWORD> started;
        auto id = started.get_future();
        thread_ = std::thread([&started] {
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
            started.set_value(::GetCurrentThreadId());
            while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
                if (!msg.hwnd && msg.message == kRunTask) {
                    auto* task = reinterpret_cast<std::function<void()>*>(msg.lParam);
                    (*task)();
                    delete task;
                    continue;
                }
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        });
        id_ = id.get();
    }
    ~PeerThread() {
        Run([this] {
            for (HWND w : windows_)
                if (::IsWindow(w)) ::DestroyWindow(w);
        });
        ::PostThreadMessageW(id_, WM_QUIT, 0, 0);
        thread_.join();
    }

    // Runs `task` on the peer thread; waits for it unless asked not to.
    void Run(std::function<void()> task, bool wait = true) {
        std::promise<void> done;
        auto finished = done.get_future();
        auto* wrapped = new std::function<void()>([task = std::move(task), &done, wait] {
            task();
            if (wait) done.set_value();
        });
        ::PostThreadMessageW(id_, kRunTask, 0, reinterpret_cast<LPARAM>(wrapped));
        if (wait) finished.wait();
    }

    struct Chat {
        HWND top = nullptr, container = nullptr, history = nullptr, input = nullptr;
    };
    enum class Input { RichEdit, AfxFirst, AfxSecond, AfxNeither, None };
    struct Spec {
        std::wstring title = L"与 张三 交谈中";
        bool container = false;
        bool history = true;
        std::string historyText;
        Input input = Input::AfxFirst;
        DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
        DWORD exStyle = 0;
        RECT rect{100, 120, 600, 520};
        bool maximize = false;
    };

    Chat Open(const Spec& spec) {
        Chat chat;
        Run([&] {
            RegisterClasses();
            HINSTANCE instance = ::GetModuleHandleW(nullptr);
            chat.top = ::CreateWindowExW(spec.exStyle, kChatClass, spec.title.c_str(), spec.style, spec.rect.left,
                                         spec.rect.top, spec.rect.right - spec.rect.left,
                                         spec.rect.bottom - spec.rect.top, nullptr, nullptr, instance, nullptr);
            if (spec.exStyle & WS_EX_LAYERED) ::SetLayeredWindowAttributes(chat.top, 0, 255, LWA_ALPHA);
            auto child = [&](HWND parent, const wchar_t* cls) {
                return ::CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, parent, nullptr, instance,
                                         nullptr);
            };
            HWND box = chat.top;
            if (spec.container) box = chat.container = child(chat.top, L"#32770");
            if (spec.history) {
                chat.history = ::CreateWindowExA(0, "RichEdit20A", spec.historyText.c_str(), WS_CHILD | WS_VISIBLE, 0,
                                                 0, 50, 50, box, nullptr, instance, nullptr);
            }
            switch (spec.input) {
            case Input::RichEdit: chat.input = child(box, L"RICHEDIT"); break;
            case Input::AfxFirst: chat.input = child(child(box, L"AfxWnd42"), L"RichEdit20A"); break;
            case Input::AfxSecond:
                child(box, L"AfxWnd42");
                chat.input = child(child(box, L"AfxWnd42"), L"RichEdit20A");
                break;
            case Input::AfxNeither:
                child(box, L"AfxWnd42");
                child(box, L"AfxWnd42");
                break;
            case Input::None: break;
            }
            ::ShowWindow(chat.top, spec.maximize ? SW_SHOWMAXIMIZED : SW_SHOWNOACTIVATE);
            windows_.push_back(chat.top);
        });
        return chat;
    }

    void Hang(std::chrono::milliseconds duration) {
        Run([duration] { std::this_thread::sleep_for(duration); }, false);
    }

private:
    std::thread thread_;
    DWORD id_ = 0;
    std::vector<HWND> windows_;
};

// Answers the capture-failure box from a second thread and keeps its texts.
class FailureBoxWatcher {
public:
    FailureBoxWatcher() {
        thread_ = std::thread([this] {
            while (!stop_) {
                HWND box = ::FindWindowW(L"#32770", L"错误啦~");
                if (box && ::IsWindowVisible(box)) {
                    wchar_t text[512] = L"";
                    ::GetDlgItemTextW(box, 0xFFFF, text, 512);
                    {
                        std::lock_guard lock(mutex_);
                        texts_.push_back(text);
                    }
                    ::SendMessageW(box, WM_COMMAND, IDOK, 0);
                    while (::IsWindow(box) && !stop_) std::this_thread::sleep_for(10ms);
                }
                std::this_thread::sleep_for(10ms);
            }
        });
    }
    ~FailureBoxWatcher() {
        stop_ = true;
        thread_.join();
    }
    std::vector<std::wstring> Texts() {
        std::lock_guard lock(mutex_);
        return texts_;
    }

private:
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::wstring> texts_;
    std::thread thread_;
};

RECT Rect(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}
bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
DWORD Style(HWND hwnd) { return static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE)); }
DWORD ExStyle(HWND hwnd) { return static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_EXSTYLE)); }

// frmMain without its own window: host, conversation area, notice and tabs.
class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        HINSTANCE instance = ::GetModuleHandleW(nullptr);
        host_ = ::CreateWindowExW(0, L"Static", L"host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 700, 500, nullptr,
                                  nullptr, instance, nullptr);
        main_.picWin = ::CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_CLIPCHILDREN, 2, 30, 600, 400, host_, nullptr,
                                         instance, nullptr);
        main_.fraMsg = ::CreateWindowExW(0, L"Static", L"notice", WS_CHILD | WS_VISIBLE, 10, 10, 100, 40, host_,
                                         nullptr, instance, nullptr);
        ASSERT_TRUE(main_.btnTab.CreateHost(host_, 0, 0, 700, 500));
        main_.btnTab.events.Changed = [this](int& index) { main_.btnTab_Changed(index); };
        SetReleaseGuardContainer(main_.picWin);
    }
    void TearDown() override {
        while (main_.Chats().WinList() && main_.Chats().Count() > 0) {
            const int before = main_.Chats().Count();
            main_.PopWin(0);
            if (main_.Chats().Count() == before) break;
        }
        ReleaseGuardClear();
        SetReleaseGuardContainer(nullptr);
        ::DestroyWindow(host_);
    }

    // A capture that is not in within the short wait finishes later: the
    // checks that follow look at it once it has.
    bool Take(const PeerThread::Chat& chat, int code, const std::wstring& tab = L"张三") {
        const bool taking = main_.TakeWin(chat.top, tab, L"caption of " + tab, false, code);
        Settle();
        return taking;
    }
    LinkPtr Last() { return main_.Chats().WinList()->getNode(main_.Chats().Count()); }
    // Every request on the peer's windows carried out, and its result in.
    static void Settle() { win32::PeerLanes::Program().WaitIdle(10000); }

    PeerThread peer_;
    frmMain main_;
    HWND host_ = nullptr;
};

TEST_F(CaptureTest, FindsTheHistoryAndInputBoxForEveryKind) {
    using In = PeerThread::Input;
    struct Case {
        const char* name;
        bool container;
        In input;
        int code;
        int storedCode;
        bool inputExpected;  // otherwise sayHwnd is the window itself
    };
    const Case cases[] = {
        {"RICHEDIT input, code 0", false, In::RichEdit, 0, 0, true},
        {"code 2 without a dialog child settles to 4", false, In::AfxFirst, 2, 4, true},
        {"code 2 with a dialog child settles to 3", true, In::AfxFirst, 2, 3, true},
        {"input in the second AfxWnd42", false, In::AfxSecond, 4, 4, true},
        {"neither AfxWnd42 holds one", true, In::AfxNeither, 3, 3, false},
        {"code 0 without RICHEDIT", false, In::AfxFirst, 0, 0, false},
        {"QQ2009 never searches", false, In::AfxFirst, 5, 5, false},
        {"Baidu Hi never searches", false, In::RichEdit, 6, 6, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PeerThread::Spec spec;
        spec.container = c.container;
        spec.input = c.input;
        spec.historyText = "hello\r\nworld";
        const auto chat = peer_.Open(spec);
        ASSERT_TRUE(Take(chat, c.code));
        const LinkPtr node = Last();
        EXPECT_EQ(ToHwnd(node->hWnd), chat.top);
        EXPECT_EQ(node->version, c.storedCode);
        EXPECT_EQ(ToHwnd(node->chatHwnd), chat.history);
        EXPECT_EQ(ToHwnd(node->sayHwnd), c.inputExpected ? chat.input : chat.top);
        EXPECT_EQ(node->Msg, 13);  // 12 characters and the terminating zero
        EXPECT_EQ(node->Title, L"张三");
        EXPECT_EQ(node->Caption, L"caption of 张三");
    }
    EXPECT_EQ(main_.Chats().Count(), 8);
    EXPECT_EQ(main_.btnTab.Count(), 8);
    EXPECT_EQ(main_.btnTab.Selected(), 7);
    EXPECT_EQ(main_.Chats().CurIndex(), 8);
}

TEST_F(CaptureTest, NoHistoryGivesAnEmptyBaselineAndTheCodeIsSettledInPlace) {
    PeerThread::Spec spec;
    spec.history = false;
    const auto chat = peer_.Open(spec);
    ASSERT_TRUE(Take(chat, kKindClassicUnsettled));
    EXPECT_EQ(Last()->version, kKindClassic);
    EXPECT_EQ(Last()->chatHwnd, 0u);
    EXPECT_EQ(Last()->Msg, 1);
}

TEST_F(CaptureTest, StyleArithmeticRestoreAndGivingBack) {
    PeerThread::Spec classic;
    classic.exStyle = WS_EX_LAYERED;
    classic.rect = {40, 50, 540, 450};
    const auto a = peer_.Open(classic);
    PeerThread::Spec qq2009;
    qq2009.style = 0x960F0000;
    qq2009.exStyle = 0x300;
    qq2009.rect = {60, 70, 560, 470};
    const auto b = peer_.Open(qq2009);
    PeerThread::Spec maximized;
    maximized.rect = {80, 90, 480, 390};
    maximized.maximize = true;
    const auto c = peer_.Open(maximized);
    ASSERT_TRUE(::IsZoomed(c.top));

    const DWORD styleA = Style(a.top), styleB = Style(b.top), exB = ExStyle(b.top);
    const DWORD styleC = Style(c.top) & ~WS_MAXIMIZE;
    ASSERT_TRUE(Take(a, 4, L"A"));
    ASSERT_TRUE(Take(b, 5, L"B"));
    ASSERT_TRUE(Take(c, 4, L"C"));

    for (HWND w : {a.top, b.top, c.top}) EXPECT_EQ(::GetAncestor(w, GA_PARENT), main_.picWin);
    EXPECT_EQ(ReleaseGuardCount(), 3);
    EXPECT_EQ(Style(a.top), (styleA & 0x3FFFFFFFu) | 0x40000000u);
    EXPECT_EQ(ExStyle(a.top) & WS_EX_LAYERED, 0u);
    EXPECT_EQ(Style(b.top), (styleB & 0x3DBFFFFFu) | 0x40400000u);
    EXPECT_EQ(RecordCount(c.top, WM_SYSCOMMAND), 1);

    // The maximised window was restored first: its record holds the normal rectangle.
    const LinkPtr nodeC = Last();
    EXPECT_EQ(nodeC->x, 80);
    EXPECT_EQ(nodeC->Y, 90);
    EXPECT_EQ(nodeC->orgW, 400);
    EXPECT_EQ(nodeC->orgH, 300);

    // Out of range (a click off every tab gives -1): nothing is released.
    main_.PopWin(-1);
    main_.PopWin(3);
    EXPECT_EQ(main_.Chats().Count(), 3);

    main_.PopWin(1);  // B
    EXPECT_EQ(::GetAncestor(b.top, GA_PARENT), ::GetDesktopWindow());
    EXPECT_EQ(::GetWindow(b.top, GW_OWNER), nullptr);
    EXPECT_EQ(Style(b.top), styleB);
    EXPECT_EQ(ExStyle(b.top), exB);
    EXPECT_TRUE(SameRect(Rect(b.top), RECT{60, 70, 560, 470}));
    EXPECT_EQ(main_.Chats().Count(), 2);
    EXPECT_EQ(main_.btnTab.Count(), 2);
    EXPECT_EQ(main_.btnTab.GetItemText(1), L"C");
    EXPECT_EQ(ReleaseGuardCount(), 2);

    main_.PopWin(0);  // A: WS_EX_LAYERED stays cleared
    EXPECT_EQ(Style(a.top), styleA);
    EXPECT_EQ(ExStyle(a.top) & WS_EX_LAYERED, 0u);
    EXPECT_TRUE(SameRect(Rect(a.top), RECT{40, 50, 540, 450}));

    main_.PopWin(0);  // C comes back restored
    EXPECT_EQ(Style(c.top), styleC);
    EXPECT_FALSE(::IsZoomed(c.top));
    EXPECT_TRUE(SameRect(Rect(c.top), RECT{80, 90, 480, 390}));
    EXPECT_EQ(main_.Chats().Count(), 0);
    EXPECT_EQ(main_.btnTab.Count(), 0);
    EXPECT_EQ(main_.Chats().CurIndex(), -1);
    EXPECT_EQ(ReleaseGuardCount(), 0);
}

TEST_F(CaptureTest, AFailedCaptureIsUndoneAndReported) {
    PeerThread::Spec spec;
    spec.exStyle = WS_EX_LAYERED;
    spec.title = L"与 李四 交谈中";
    const auto chat = peer_.Open(spec);
    const DWORD style = Style(chat.top), exStyle = ExStyle(chat.top);
    const RECT rect = Rect(chat.top);

    // A window cannot become its own child: SetParent fails after the
    // style, the list and the guard table have been changed.
    main_.picWin = chat.top;
    FailureBoxWatcher watcher;
    int code = 2;
    main_.TakeWin(chat.top, L"李四", L"与 李四 交谈中", false, code);  // at once or on its way
    Settle();

    EXPECT_EQ(main_.Chats().Count(), 0);
    EXPECT_EQ(main_.btnTab.Count(), 0);
    EXPECT_EQ(ReleaseGuardCount(), 0);
    EXPECT_EQ(::GetAncestor(chat.top, GA_PARENT), ::GetDesktopWindow());
    EXPECT_EQ(Style(chat.top), style);
    EXPECT_EQ(ExStyle(chat.top), exStyle);
    EXPECT_TRUE(SameRect(Rect(chat.top), rect));
    ASSERT_EQ(watcher.Texts().size(), 1u);
    EXPECT_EQ(watcher.Texts()[0], L"将QQ窗口收入Varnu时出错。\r\n窗口名：与 李四 交谈中");

    // A window that has gone is not a failure: nothing is shown.
    HWND gone = chat.top;
    peer_.Run([gone] { ::DestroyWindow(gone); });
    EXPECT_FALSE(main_.TakeWin(gone, L"李四", L"", false, code));
    EXPECT_EQ(watcher.Texts().size(), 1u);
}

TEST_F(CaptureTest, CloseTabReleasesClosesAndRespectsTheLock) {
    PeerThread::Spec spec;
    spec.rect = {30, 40, 430, 340};
    const auto first = peer_.Open(spec);
    const auto second = peer_.Open(spec);
    const DWORD style = Style(first.top);
    ASSERT_TRUE(Take(first, 4, L"一"));
    ASSERT_TRUE(Take(second, 4, L"二"));

    main_.Chats().WinList()->getNode(1)->Locked = true;
    main_.CloseTab(0);
    EXPECT_EQ(RecordCount(first.top, WM_CLOSE), 0);
    EXPECT_EQ(::GetAncestor(first.top, GA_PARENT), main_.picWin);
    EXPECT_EQ(main_.btnTab.Count(), 2);

    main_.CloseTab(-1);  // a middle click off every tab
    EXPECT_EQ(main_.btnTab.Count(), 2);

    main_.CloseTab(1);
    Settle();
    EXPECT_EQ(RecordCount(second.top, WM_CLOSE), 1);
    EXPECT_EQ(::GetAncestor(second.top, GA_PARENT), ::GetDesktopWindow());
    EXPECT_EQ(Style(second.top), style);
    EXPECT_TRUE(SameRect(Rect(second.top), RECT{30, 40, 430, 340}));
    EXPECT_EQ(main_.btnTab.Count(), 1);
    EXPECT_EQ(main_.Chats().Count(), 1);
    EXPECT_TRUE(::IsWindowVisible(main_.picWin) || !::IsWindowVisible(host_));
}

// The tab goes at once; the window goes back and is asked to close once its
// messenger answers.
TEST_F(CaptureTest, CloseTabDoesNotWaitForAHungMessenger) {
    PeerThread::Spec spec;
    spec.rect = {30, 40, 430, 340};
    const auto chat = peer_.Open(spec);
    ASSERT_TRUE(Take(chat, 4));
    // Give the peer a moment to settle, then let it stop answering.
    peer_.Hang(3s);
    std::this_thread::sleep_for(100ms);
    const auto start = std::chrono::steady_clock::now();
    main_.CloseTab(0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
    EXPECT_EQ(main_.Chats().Count(), 0);
    EXPECT_EQ(main_.btnTab.Count(), 0);
    Settle();
    EXPECT_EQ(::GetAncestor(chat.top, GA_PARENT), ::GetDesktopWindow());
    EXPECT_TRUE(SameRect(Rect(chat.top), RECT{30, 40, 430, 340}));
    EXPECT_EQ(RecordCount(chat.top, WM_CLOSE), 1);
    EXPECT_EQ(ReleaseGuardCount(), 0);
}

TEST_F(CaptureTest, CheckNewWindowTakesOnlyFreeWindowsNotGivenBackOnPurpose) {
    HWND owner = nullptr, owned = nullptr, free = nullptr, broken = nullptr;
    peer_.Run([&] {
        HINSTANCE instance = ::GetModuleHandleW(nullptr);
        auto dialog = [&](const wchar_t* title, HWND ownerWindow) {
            return ::CreateWindowExW(0, L"#32770", title, WS_POPUP | WS_CAPTION | WS_VISIBLE, 10, 10, 300, 200,
                                     ownerWindow, nullptr, instance, nullptr);
        };
        owner = dialog(L"owner", nullptr);
        owned = dialog(L"与 王五 交谈中", owner);
        free = dialog(L"与 赵六 交谈中", nullptr);
        broken = dialog(L"交谈中", nullptr);  // matches, but too short to cut a name from
    });
    EXPECT_FALSE(main_.CheckNewWindow(owned));

    ASSERT_TRUE(main_.CheckNewWindow(free));
    EXPECT_EQ(Last()->Title, L"赵六");
    EXPECT_EQ(Last()->Caption, L"与 赵六 交谈中");
    EXPECT_EQ(Last()->version, kKindClassic);  // code 2 settled without a dialog child
    // Already inside: a second notice finds a parent and does nothing.
    EXPECT_FALSE(main_.CheckNewWindow(free));
    EXPECT_EQ(main_.Chats().Count(), 1);

    EXPECT_FALSE(main_.CheckNewWindow(broken));
    EXPECT_EQ(main_.Chats().Count(), 1);
    ASSERT_NE(MsgBoxWindow(), nullptr);
    wchar_t text[256] = L"";
    std::wstring shown;
    for (HWND child = ::GetWindow(MsgBoxWindow(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        ::GetWindowTextW(child, text, 256);
        shown += text;
    }
    EXPECT_EQ(shown.rfind(L"WndProc\r\n", 0), 0u) << testing::PrintToString(win32::WideToUtf8(shown));
    CloseMsgBox();

    // Given back by the user, it is not taken again while it lives.
    main_.PopWin(0);
    Settle();
    EXPECT_FALSE(main_.CheckNewWindow(free));
    EXPECT_EQ(main_.Chats().Count(), 0);
    peer_.Run([&] {
        for (HWND w : {owned, owner, free, broken}) ::DestroyWindow(w);
    });
}

// ScanWindows restarts after every capture; a window that cannot be taken
// stays top-level and must be tried once, not for ever.
TEST_F(CaptureTest, ScanTriesAWindowThatCannotBeTakenOnlyOnce) {
    HWND dialogs[2] = {};
    peer_.Run([&] {
        const wchar_t* titles[] = {L"与 甲 交谈中", L"开发组 － 群"};
        for (int i = 0; i < 2; ++i) {
            dialogs[i] = ::CreateWindowExW(0, L"#32770", titles[i], WS_POPUP | WS_CAPTION | WS_VISIBLE, 10 + i * 20, 10,
                                           300, 200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        }
    });
    // An invalid conversation area makes every SetParent fail.
    main_.picWin = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x7FF0));
    FailureBoxWatcher watcher;
    main_.ScanWindows();
    Settle();  // a capture that fails late reports as one that fails at once
    const auto texts = watcher.Texts();
    int first = 0, second = 0;
    for (const auto& t : texts) {
        first += t.find(L"与 甲 交谈中") != std::wstring::npos;
        second += t.find(L"开发组 － 群") != std::wstring::npos;
    }
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(main_.Chats().Count(), 0);
    EXPECT_EQ(main_.btnTab.Count(), 0);
    peer_.Run([&] {
        for (HWND d : dialogs) ::DestroyWindow(d);
    });
}

// --- crash safety -------------------------------------------------------------

// A fault on another thread gives the windows back while our thread goes on
// with the layout check, whose moves are queued on the messenger's thread: no
// move of ours may be carried out after the give-back.
TEST_F(CaptureTest, AFaultsGiveBackIsNotUndoneByTheLayoutCheck) {
    PeerThread::Spec spec;
    spec.rect = {200, 150, 660, 510};
    const auto chat = peer_.Open(spec);
    ASSERT_TRUE(Take(chat, 4));
    ASSERT_EQ(main_.Chats().CurNode(), Last());
    g_moveDelayMs = 60;
    std::atomic<bool> done{false};
    std::thread fault([&] {
        ReleaseAllForEmergency(true);
        done = true;
    });
    while (!done) {  // the check's ticks, until the process would end
        main_.AdjustQQWindow();
        std::this_thread::sleep_for(100ms);
    }
    fault.join();
    main_.AdjustQQWindow();
    g_moveDelayMs = 0;
    peer_.Run([] {});  // every request queued before has been carried out
    EXPECT_EQ(::GetAncestor(chat.top, GA_PARENT), ::GetDesktopWindow());
    const RECT r = Rect(chat.top);
    EXPECT_TRUE(SameRect(r, spec.rect)) << r.left << "," << r.top << " " << r.right << "," << r.bottom;
}

// The window the release guard treats as ours, as the main window's
// conversation area is.
HWND GuardedContainer() {
    HWND container = ::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                       ::GetModuleHandleW(nullptr), nullptr);
    SetReleaseGuardContainer(container);
    return container;
}

// Where the guard's windows stand on the desktop before they are put inside.
PeerThread::Spec AtTheirPlace() {
    PeerThread::Spec spec;
    spec.rect = {20, 30, 320, 230};
    return spec;
}

// Put inside as a capture puts it, and guarded with its place on the desktop.
bool PutInside(HWND container, HWND window, DWORD style) {
    ::SetWindowLongW(window, GWL_STYLE, static_cast<LONG>((style & 0x3FFFFFFF) | WS_CHILD));
    ::SetParent(window, container);
    return ReleaseGuardAdd({window, 20, 30, 300, 200, style});
}

TEST(ReleaseGuard, GivesBackOnlyWhatIsStillInsideAndOnlyOnce) {
    PeerThread peer;
    HWND container = GuardedContainer();
    const auto inside = peer.Open(AtTheirPlace());
    const auto movedAway = peer.Open(AtTheirPlace());
    const DWORD style = Style(inside.top);
    for (HWND w : {inside.top, movedAway.top}) EXPECT_TRUE(PutInside(container, w, style));
    EXPECT_TRUE(ReleaseGuardAdd({inside.top, 20, 30, 300, 200, style}));  // again: still one entry
    EXPECT_EQ(ReleaseGuardCount(), 2);
    // A window that left our container by other means is not ours to move.
    ::SetParent(movedAway.top, nullptr);
    ::SetWindowLongW(movedAway.top, GWL_STYLE, static_cast<LONG>(style));
    ::MoveWindow(movedAway.top, 5, 5, 250, 150, TRUE);

    EXPECT_EQ(ReleaseAllForEmergency(), 1);
    EXPECT_EQ(::GetAncestor(inside.top, GA_PARENT), ::GetDesktopWindow());
    EXPECT_EQ(Style(inside.top), style);
    EXPECT_TRUE(SameRect(Rect(inside.top), RECT{20, 30, 320, 230}));
    const RECT away = Rect(movedAway.top);
    EXPECT_TRUE(SameRect(away, RECT{5, 5, 255, 155}));
    EXPECT_EQ(ReleaseGuardCount(), 0);
    EXPECT_EQ(ReleaseAllForEmergency(), 0);

    EXPECT_TRUE(ReleaseGuardAdd({inside.top, 20, 30, 300, 200, style}));
    ReleaseGuardRemove(inside.top);
    EXPECT_EQ(ReleaseGuardCount(), 0);
    SetReleaseGuardContainer(nullptr);
    ::DestroyWindow(container);
}

// However many windows are inside, each is guarded; and a fault gives back
// what it can within its deadline, whatever one hung messenger does.
TEST(ReleaseGuard, HoldsAnyNumberAndAHungMessengerCannotHoldTheFaultPath) {
    PeerThread healthy, hung;
    HWND container = GuardedContainer();
    const auto a = healthy.Open(AtTheirPlace());
    const auto b = hung.Open(AtTheirPlace());
    const DWORD style = Style(a.top);
    for (HWND w : {a.top, b.top}) ASSERT_TRUE(PutInside(container, w, style));
    // Handles of windows that are long gone fill the table past any fixed size.
    for (ULONG_PTR fake = 0x7F000000; fake < 0x7F000000 + 2 * 300; fake += 2)
        ASSERT_TRUE(ReleaseGuardAdd({reinterpret_cast<HWND>(fake), 0, 0, 10, 10, style}));
    EXPECT_EQ(ReleaseGuardCount(), 302);

    hung.Hang(3s);
    std::this_thread::sleep_for(100ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReleaseAllForEmergency(false, 500), 2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
    EXPECT_EQ(::GetAncestor(a.top, GA_PARENT), ::GetDesktopWindow());
    EXPECT_TRUE(SameRect(Rect(a.top), AtTheirPlace().rect));
    // Its worker goes on, and finishes once the messenger answers.
    hung.Run([] {});
    for (int i = 0; i < 100 && ::GetAncestor(b.top, GA_PARENT) != ::GetDesktopWindow(); ++i)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(::GetAncestor(b.top, GA_PARENT), ::GetDesktopWindow());
    EXPECT_EQ(ReleaseGuardCount(), 0);
    SetReleaseGuardContainer(nullptr);
    ::DestroyWindow(container);
}

// The ways this process can die. Each runs in a child process (a death
// test) that captures a window of this process; the window must be back on
// the desktop, unharmed, after the child has gone.
enum class Death { Terminate, Abort, AccessViolationOnAThread, EscapingException };

[[noreturn]] void CaptureAndDie(HWND window, Death how) {
    InstallReleaseGuard();
    HWND container = ::CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                                       ::GetModuleHandleW(nullptr), nullptr);
    SetReleaseGuardContainer(container);
    RECT r = Rect(window);
    const DWORD style = Style(window);
    ::SetWindowLongW(window, GWL_STYLE, static_cast<LONG>((style & 0x3FFFFFFF) | WS_CHILD));
    ::SetParent(window, container);
    ::MoveWindow(window, -8, -26, 300, 200, TRUE);
    if (!ReleaseGuardAdd({window, r.left, r.top, r.right - r.left, r.bottom - r.top, style})) std::_Exit(0);
    switch (how) {
    case Death::Terminate: std::terminate();
    case Death::Abort: std::abort();
    case Death::AccessViolationOnAThread: {
        std::thread([] {
            volatile int* nowhere = nullptr;
            *nowhere = 1;
        }).join();
        break;
    }
    case Death::EscapingException: {
        std::thread([] { throw std::runtime_error("escaped"); }).join();
        break;
    }
    }
    std::_Exit(0);
}

class ReleaseGuardDeath : public ::testing::TestWithParam<Death> {};

TEST_P(ReleaseGuardDeath, GivesTheWindowBackBeforeTheProcessEnds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    PeerThread peer;
    PeerThread::Spec spec;
    spec.rect = {110, 120, 510, 420};
    const auto chat = peer.Open(spec);
    const DWORD style = Style(chat.top);
    // The child process inherits nothing but the handle's value, which is
    // valid across processes.
    // The death-test child runs this body again up to the statement; it
    // must keep the parent's window, not make its own.
    const auto handle = reinterpret_cast<ULONG_PTR>(chat.top);
    wchar_t inherited[32] = L"";
    if (!::GetEnvironmentVariableW(L"VARNU_TEST_WINDOW", inherited, 32))
        ::SetEnvironmentVariableW(L"VARNU_TEST_WINDOW", std::to_wstring(handle).c_str());
    const Death how = GetParam();
    EXPECT_DEATH(
        {
            wchar_t value[32] = L"";
            ::GetEnvironmentVariableW(L"VARNU_TEST_WINDOW", value, 32);
            CaptureAndDie(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::wcstoull(value, nullptr, 10))), how);
        },
        "");
    ::SetEnvironmentVariableW(L"VARNU_TEST_WINDOW", nullptr);
    ASSERT_TRUE(::IsWindow(chat.top));
    EXPECT_EQ(::GetAncestor(chat.top, GA_PARENT), ::GetDesktopWindow());
    EXPECT_EQ(Style(chat.top), style);
    EXPECT_TRUE(SameRect(Rect(chat.top), RECT{110, 120, 510, 420}));
}

INSTANTIATE_TEST_SUITE_P(Ways, ReleaseGuardDeath,
                         ::testing::Values(Death::Terminate, Death::Abort, Death::AccessViolationOnAThread,
                                           Death::EscapingException));

}  // namespace
