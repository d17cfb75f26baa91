// Cost of one new-message tick with 1, 10 and 30 conversations whose
// histories hold 10 KB, 100 KB and 1 MB: the steady tick (nothing new, only
// the length asked) against the same tick reading every whole history.
//
// Two sets of history controls: the messenger simulator's (another process),
// and plain "RichEdit20A" controls on another thread of this process, which
// answer the length query the way the control itself does. The simulator
// works out an exact ANSI byte count on every length query by copying its
// whole text, so there the query itself grows with the history.
#include <windows.h>
#include <richedit.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "harness.h"
#include "main/main_window.h"
#include "main/new_message.h"
#include "win32/peer_lanes.h"
#include "win32/strconv.h"

namespace {

using Clock = std::chrono::steady_clock;
using varnu::MessageCheckTarget;

constexpr int kMaxConversations = 30;
constexpr size_t kMegabyte = 1024 * 1024;

// Chat-like ASCII lines up to `bytes`.
std::string MakeHistory(size_t bytes) {
    std::wstring text;
    text.reserve(bytes + 64);
    for (int n = 0; text.size() < bytes; ++n) {
        text += L"Peer 10:" + std::to_wstring(10 + n % 50) + L":00\r\n";
        text += L"  message number " + std::to_wstring(n) + L" with a few words in it\r\n";
    }
    text.resize(bytes);
    return win32::WideToAnsi(text);
}

// Into a control of another thread or process, in pieces: one message may
// carry less than a megabyte across processes under Wine. No SMTO_ABORTIFHUNG
// here: a piece that keeps the control busy for seconds would make the next
// one look like a message to a hung program.
bool Fill(HWND history, const std::string& text) {
    constexpr size_t kPiece = 256 * 1024;
    for (size_t at = 0; at < text.size(); at += kPiece) {
        const std::string piece = text.substr(at, kPiece);
        DWORD_PTR result = 0;
        if (at == 0) {
            if (!::SendMessageTimeoutA(history, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(piece.c_str()), SMTO_NORMAL,
                                       120000, &result))
                return false;
        } else {
            ::SendMessageTimeoutA(history, EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF, SMTO_NORMAL, 120000, &result);
            if (!::SendMessageTimeoutA(history, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()),
                                       SMTO_NORMAL, 120000, &result))
                return false;
        }
    }
    DWORD_PTR settled = 0;
    ::SendMessageTimeoutW(history, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &settled);
    std::wstring back;
    // Line breaks may come back in another form; a cut at a text limit shows.
    return varnu::ReadHistoryText(history, back, 120000) && back.size() * 2 > text.size();
}

double MillisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Mean of `reps` ticks after one that settles the lengths, in milliseconds:
// each from the requests on the lanes to their results handled.
double TimeTicks(const MessageCheckTarget& target, int reps) {
    varnu::NewMessageCheck check{[&] { return target; }};
    auto tick = [&] {
        check.Tick();
        win32::PeerLanes::Program().WaitIdle(120000);
    };
    tick();
    const auto start = Clock::now();
    for (int r = 0; r < reps; ++r) tick();
    return MillisSince(start) / reps;
}

// Rich edit controls owned by a thread of their own that only answers messages.
class HistoryThread {
public:
    HistoryThread() {
        worker_ = std::thread([this] {
            ::LoadLibraryW(L"riched20.dll");
            for (int k = 0; k < kMaxConversations; ++k) {
                HWND h = ::CreateWindowExA(0, "RichEdit20A", "", WS_POPUP | ES_MULTILINE | ES_READONLY, 0, 0, 300, 200,
                                           nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
                if (h) ::SendMessageW(h, EM_EXLIMITTEXT, 0, 16 * kMegabyte);
                windows_.push_back(h);
            }
            threadId_ = ::GetCurrentThreadId();
            ready_ = true;
            MSG msg;
            while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
            for (HWND h : windows_) ::DestroyWindow(h);
        });
        while (!ready_) ::Sleep(5);
    }
    ~HistoryThread() {
        ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        worker_.join();
    }
    const std::vector<HWND>& Windows() const { return windows_; }

private:
    std::thread worker_;
    std::vector<HWND> windows_;
    DWORD threadId_ = 0;
    std::atomic<bool> ready_{false};
};

// Prints one table; false when the histories could not be filled.
bool RunSeries(const char* name, const std::vector<HWND>& histories) {
    const std::pair<const char*, size_t> sizes[] = {{"10 KB", 10 * 1024}, {"100 KB", 100 * 1024}, {"1 MB", kMegabyte}};
    const int counts[] = {1, 10, 30};
    std::map<std::pair<int, size_t>, std::pair<double, double>> results;  // steady, full
    bool mainActive = true;
    int curIndex = -1;

    std::printf("\n== %s\n%-8s %-14s %14s %14s %9s\n", name, "history", "conversations", "steady ms", "full-read ms",
                "full/steady");
    for (const auto& [label, bytes] : sizes) {
        const std::string text = MakeHistory(bytes);
        for (HWND h : histories) {
            if (!Fill(h, text)) {
                std::fprintf(stderr, "could not fill a history with %s\n", label);
                return false;
            }
        }
        for (int n : counts) {
            MessageCheckTarget target;
            target.list = varnu::MakeWinList();
            for (int k = 0; k < n; ++k) {
                auto node = std::make_shared<varnu::clsLink>();
                node->chatHwnd = varnu::ToId(histories[static_cast<size_t>(k)]);
                node->Title = L"Peer" + std::to_wstring(k);
                target.list->insertNode(node);
            }
            target.curIndex = &curIndex;
            target.mainActive = &mainActive;
            target.settings.tray_MsgTip = 0;
            target.timeoutMs = 120000;  // a slow read is measured, not skipped

            target.lengthFirst = true;
            const double steady = TimeTicks(target, bytes >= kMegabyte && n >= 10 ? 10 : 30);
            target.lengthFirst = false;
            const int fullReps = bytes >= kMegabyte ? (n >= 10 ? 1 : 3) : (n >= 10 ? 2 : 8);
            const double full = TimeTicks(target, fullReps);
            results[{n, bytes}] = {steady, full};
            std::printf("%-8s %-14d %14.3f %14.3f %9.1f\n", label, n, steady, full, full / steady);
            std::fflush(stdout);
        }
    }

    std::printf("targets: steady tick at 1 MB <= 2 x at 10 KB; full-read tick >= 50 x steady at 1 MB\n");
    for (int n : counts) {
        const double small = results[{n, 10 * 1024}].first;
        const auto [steady, full] = results[{n, kMegabyte}];
        std::printf("%2d conversations: steady 1 MB / 10 KB = %.2f (%s), full / steady at 1 MB = %.0f (%s)\n", n,
                    steady / small, steady <= 2 * small ? "met" : "missed", full / steady,
                    full >= 50 * steady ? "met" : "missed");
    }
    std::fflush(stdout);
    return true;
}

int Run() {
    bool ok = true;
    {
        HistoryThread thread;
        ok = RunSeries("RichEdit20A histories on another thread", thread.Windows()) && ok;
    }
    {
        e2e::Simulator messenger;
        std::vector<HWND> histories;
        for (int k = 0; k < kMaxConversations; ++k) {
            const e2e::SimWindow w = messenger.Open(sim::Kind::Classic, L"与 Peer" + std::to_wstring(k) + L" 交谈中");
            if (!w || !w.history) {
                std::fprintf(stderr, "could not open conversation %d\n", k);
                return 1;
            }
            // A rich edit holds 32 K characters unless told otherwise; the
            // message carries no pointer, so it may cross to the simulator.
            DWORD_PTR ignored = 0;
            ::SendMessageTimeoutW(w.history, EM_EXLIMITTEXT, 0, 16 * kMegabyte, SMTO_ABORTIFHUNG, 5000, &ignored);
            histories.push_back(w.history);
        }
        ok = RunSeries("the messenger simulator's histories (another process)", histories) && ok;
    }
    return ok ? 0 : 1;
}

}  // namespace

int main() { return e2e::RunBenchmark(Run); }
