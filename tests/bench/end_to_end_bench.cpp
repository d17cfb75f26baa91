// Varnu.exe against the messenger simulator, measured from outside as a user
// would feel it, beside the bare cost of the same cross-process calls made by
// this process in the same run (the limit nothing can beat):
//   capture latency of a conversation opened while Varnu runs;
//   how soon the tab row agrees with the windows after a burst of openings
//   and closings;
//   start-up (main window visible, all tabs) and exit with 0, 10 and 50 open;
//   idle CPU of Varnu and of the Wine server, messages and moves per idle second;
//   working set and GDI/USER objects with 0 and 50 tabs and after 200 cycles;
//   with 50 tabs, both ways of measuring the histories (inside the messenger
//   by the hook library, and from outside with chk_InMessenger=0): idle CPU of
//   Varnu, the Wine server and the messenger, messages per second, and the
//   latency of a new message (appended -> its tab marked).
// CPU times come from /proc (this runs under Wine); VARNU_BENCH_IDLE_SECONDS
// shortens the idle windows (default 20).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "harness.h"
#include "win32/strconv.h"

namespace {

using namespace e2e;
using Clock = std::chrono::steady_clock;

constexpr UINT kMnuClose = 112;  // the tab menu's "关闭", on tab MenuTab (0)
constexpr Millis kWait = 30000ms;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Figures {
    std::vector<double> ms;
    void Add(double v) { ms.push_back(v); }
    double Median() const {
        if (ms.empty()) return 0;
        std::vector<double> s = ms;
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    }
    double Max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
    double Mean() const {
        double sum = 0;
        for (double v : ms) sum += v;
        return ms.empty() ? 0 : sum / ms.size();
    }
};

void Print(const char* what, const Figures& f, double limit = 0) {
    std::printf("  %-44s median %8.1f ms  max %8.1f ms", what, f.Median(), f.Max());
    if (limit > 0) std::printf("  (%.1fx the bare calls)", f.Median() / limit);
    std::printf("\n");
}

// Waits with a 1 ms poll, so the figure is not the poll's grain.
bool WaitFine(const std::function<bool()>& done, Millis timeout = kWait) { return WaitUntil(done, timeout, 1ms); }

// ---------------------------------------------------------------------------
// The bare calls: what taking in and giving back costs at least, made by this
// process on a simulator window (restore, read place, style and controls,
// history length and text, restyle, re-parent, fit; and back).

struct Bare {
    double capture = 0, release = 0, roundTrip = 0;  // ms per window
};

Bare MeasureBare(Simulator& messenger, int windows) {
    HWND host =
        ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 700, 560, nullptr, nullptr, nullptr, nullptr);
    Bare bare;
    int done = 0;
    for (int k = 0; k < windows; ++k) {
        const SimWindow w = messenger.Open(sim::Kind::Classic, L"与 Bare" + std::to_wstring(k) + L" 交谈中");
        if (!w) continue;
        DWORD_PTR r = 0;
        auto start = Clock::now();
        for (int i = 0; i < 100; ++i) ::SendMessageTimeoutW(w.history, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 2000, &r);
        bare.roundTrip += MsSince(start) / 100;

        start = Clock::now();
        ::SendMessageTimeoutW(w.top, WM_SYSCOMMAND, SC_RESTORE, 0, SMTO_NORMAL, 2000, &r);
        RECT rect{};
        ::GetWindowRect(w.top, &rect);
        const LONG_PTR style = ::GetWindowLongPtrW(w.top, GWL_STYLE);
        const LONG_PTR exStyle = ::GetWindowLongPtrW(w.top, GWL_EXSTYLE);
        (void)AnsiControlText(w.history);
        (void)Caption(w.top);
        ::FindWindowExW(w.top, nullptr, L"RichEdit20A", nullptr);
        ::SetWindowLongPtrW(w.top, GWL_STYLE, (style & 0x3FFFFFFF) | WS_CHILD);
        ::SetWindowLongPtrW(w.top, GWL_EXSTYLE, exStyle & ~WS_EX_LAYERED);
        ::SetParent(w.top, host);
        ::MoveWindow(w.top, -8, -26, 680, 540, TRUE);
        ::SetWindowPos(w.top, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
        bare.capture += MsSince(start);

        start = Clock::now();
        ::SetParent(w.top, nullptr);
        ::MoveWindow(w.top, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
        ::SetWindowLongPtrW(w.top, GWL_STYLE, style);
        ::SetWindowLongPtrW(w.top, GWLP_HWNDPARENT, 0);
        bare.release += MsSince(start);
        messenger.Destroy(w.top);
        ++done;
    }
    ::DestroyWindow(host);
    if (done > 0) bare.capture /= done, bare.release /= done, bare.roundTrip /= done;
    return bare;
}

// ---------------------------------------------------------------------------
// /proc, seen through Wine's Z: drive.

std::string ProcFile(const std::string& pid, const char* name) {
    return ReadFileBytes(L"Z:\\proc\\" + std::wstring(pid.begin(), pid.end()) + L"\\" +
                         std::wstring(name, name + std::char_traits<char>::length(name)));
}

// The Unix process whose command line (or, with `inEnviron`, environment)
// holds every one of `needles`.
std::string FindUnixProcess(const std::vector<std::string>& needles, const std::string& inEnviron = {}) {
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(L"Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    std::string result;
    do {
        std::wstring name = found.cFileName;
        if (name.empty() || !std::all_of(name.begin(), name.end(), iswdigit)) continue;
        const std::string pid(name.begin(), name.end());
        std::string line = ProcFile(pid, "cmdline");
        std::transform(line.begin(), line.end(), line.begin(), ::tolower);
        if (!std::all_of(needles.begin(), needles.end(),
                         [&](const std::string& n) { return line.find(n) != std::string::npos; }))
            continue;
        if (!inEnviron.empty() && ProcFile(pid, "environ").find(inEnviron) == std::string::npos) continue;
        result = pid;
    } while (result.empty() && ::FindNextFileW(search, &found));
    ::FindClose(search);
    return result;
}

// utime + stime in clock ticks (fields 14 and 15 of /proc/<pid>/stat).
long long CpuTicks(const std::string& pid) {
    if (pid.empty()) return -1;
    const std::string stat = ProcFile(pid, "stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::vector<std::string> fields;
    size_t at = close + 2;
    while (at < stat.size() && fields.size() < 13) {
        const size_t blank = stat.find(' ', at);
        fields.push_back(stat.substr(at, blank - at));
        at = blank == std::string::npos ? stat.size() : blank + 1;
    }
    return fields.size() < 13 ? -1 : std::atoll(fields[11].c_str()) + std::atoll(fields[12].c_str());
}

struct Processes {
    std::string varnu, wineserver, messenger;
};

Processes FindProcesses(const ProgramFolder& folder) {
    Processes p;
    std::string leaf = win32::WideToUtf8(folder.Path().substr(folder.Path().find_last_of(L'\\') + 1));
    std::transform(leaf.begin(), leaf.end(), leaf.begin(), ::tolower);
    p.varnu = FindUnixProcess({leaf, "varnu.exe"});
    wchar_t prefix[1024] = L"";
    if (::GetEnvironmentVariableW(L"WINEPREFIX", prefix, 1024) > 0) {
        const std::string ours = "WINEPREFIX=" + win32::WideToUtf8(prefix);
        p.wineserver = FindUnixProcess({"wineserver"}, ours);
        p.messenger = FindUnixProcess({"messengersim.exe"}, ours);
    }
    return p;
}

// Percent of a core a process used since `before` ticks, over `seconds`.
double CpuPercent(long long before, const std::string& pid, double seconds) {
    const long long after = CpuTicks(pid);
    const double ticks = 100;  // USER_HZ, the unit of /proc/<pid>/stat times on Linux
    return before < 0 || after < 0 ? -1.0 : (after - before) / ticks / seconds * 100;
}

// ---------------------------------------------------------------------------

struct Session {
    ProgramFolder folder;
    std::unique_ptr<VarnuApp> app;
    HWND main = nullptr;

    explicit Session(std::wstring_view moreSettings = {}) {
        folder.WriteIni(std::wstring(kQuietSettings) + std::wstring(moreSettings));
        app = std::make_unique<VarnuApp>(folder);
    }
    int Tabs() const { return RemoteTabs(app->TabWindow()).Count(); }
};

// Closes the one tab by its menu command once the capture has finished (its
// tab is there) and waits for the window to be gone.
void CloseOnlyTab(Session& s, const SimWindow& w) {
    WaitUntil([&] { return s.Tabs() == 1; }, kWait);
    ::PostMessageW(s.app->MainWindow(), WM_COMMAND, kMnuClose, 0);
    WaitUntil([&] { return !::IsWindow(w.top) && s.Tabs() == 0; }, kWait);
}

int TakenCount(const std::vector<SimWindow>& windows, HWND main) {
    return static_cast<int>(
        std::count_if(windows.begin(), windows.end(), [&](const SimWindow& w) { return IsTakenInto(w.top, main); }));
}

void StartupAndExit(Simulator& messenger, const Bare& bare) {
    std::printf("start-up and exit (3 runs each):\n");
    std::vector<SimWindow> open;
    double emptyStart = 0;
    for (int n : {0, 10, 50}) {
        while (static_cast<int>(open.size()) < n)
            open.push_back(messenger.Open(sim::Kind::Classic, L"与 Peer" + std::to_wstring(open.size()) + L" 交谈中"));
        Figures visible, allTabs, hidden, givenBack, ended;
        for (int run = 0; run < 3; ++run) {
            const auto start = Clock::now();
            Session s;
            HWND main = nullptr;
            WaitFine([&] {
                main = ::FindWindowW(L"VarnuMainWindow", nullptr);
                return main && ::IsWindowVisible(main);
            });
            visible.Add(MsSince(start));
            WaitFine([&] { return TakenCount(open, main) == n; });
            allTabs.Add(MsSince(start));

            const auto exit = Clock::now();
            ::PostMessageW(main, WM_CLOSE, 0, 0);
            // Gone for the user: hidden, or moved off every screen.
            WaitFine([&] {
                return !::IsWindowVisible(main) || WindowRect(main).right <= ::GetSystemMetrics(SM_XVIRTUALSCREEN);
            });
            hidden.Add(MsSince(exit));
            WaitFine([&] {
                return std::all_of(open.begin(), open.end(), [](const SimWindow& w) { return !Parent(w.top); });
            });
            givenBack.Add(MsSince(exit));
            s.app->WaitForExit(kWait);
            ended.Add(MsSince(exit));
        }
        std::printf(" %d open:\n", n);
        Print("main window visible", visible);
        Print("all tabs", allTabs);
        if (n == 0) emptyStart = allTabs.Median();
        if (n > 0) {
            const double perWindow = (allTabs.Median() - emptyStart) / n;
            std::printf("  %-44s %8.1f ms  (%.1fx the bare calls)\n", "capture per window, beyond the empty start",
                        perWindow, perWindow / bare.capture);
            std::printf("  %-44s %8.1fx\n", "visible, against the empty start", visible.Median() / emptyStart);
        }
        Print("exit: main window gone", hidden);
        Print("exit: all given back", givenBack, n > 0 ? bare.release * n : 0);
        Print("exit: process ended", ended);
    }
    for (const SimWindow& w : open) messenger.Destroy(w.top);
}

void CaptureLatency(Simulator& messenger, const Bare& bare) {
    Session s;
    HWND main = s.app->WaitForMainWindow(kWait);
    Figures latency;
    for (int k = 0; k < 20 && main; ++k) {
        const SimWindow w = messenger.Open(sim::Kind::Classic, L"与 New" + std::to_wstring(k) + L" 交谈中");
        const auto shown = Clock::now();
        if (WaitFine([&] { return IsTakenInto(w.top, main); })) latency.Add(MsSince(shown));
        CloseOnlyTab(s, w);
    }
    std::printf("capture latency, shown -> inside (20 windows, Varnu running):\n");
    Print("latency", latency, bare.capture);
}

// One messenger opens a conversation every 40 ms, 150 in all, and closes
// every other one again 40 ms after it opened: how long after the burst
// every open conversation is inside with one tab each, and no tab is left
// without its window.
void Churn(Simulator& messenger) {
    Session s;
    HWND main = s.app->WaitForMainWindow(kWait);
    if (!main) return;
    std::vector<SimWindow> kept;
    SimWindow closing;
    for (int k = 0; k < 150; ++k) {
        const SimWindow w = messenger.Open(sim::Kind::Classic, L"与 Churn" + std::to_wstring(k) + L" 交谈中");
        if (closing) messenger.Destroy(closing.top);
        closing = SimWindow{};
        if (k % 2 == 1)
            closing = w;
        else
            kept.push_back(w);
        Pause(40ms);
    }
    if (closing) messenger.Destroy(closing.top);
    const auto end = Clock::now();
    const auto settled = [&] {
        return TakenCount(kept, main) == static_cast<int>(kept.size()) && s.Tabs() == static_cast<int>(kept.size());
    };
    WaitUntil(settled, 1000ms, 1ms);
    const int outsideAfter1s = static_cast<int>(kept.size()) - TakenCount(kept, main);
    const int tabsAfter1s = s.Tabs();
    const bool done = WaitFine(settled);
    std::printf("churn: 150 conversations opened every 40 ms, every other one closed again:\n");
    std::printf("  1 s after the burst: %d of %zu open ones outside, %d tabs for %zu windows\n", outsideAfter1s,
                kept.size(), tabsAfter1s, kept.size());
    std::printf("  %-44s %8.1f ms%s\n", "all inside with one tab each after the burst", MsSince(end),
                done ? "" : "  (not within 30 s)");
    for (const SimWindow& w : kept) messenger.Destroy(w.top);
    WaitUntil([&] { return s.Tabs() == 0; }, kWait);
}

struct Usage {
    double workingSetMb = 0;
    DWORD gdi = 0, user = 0;
};
Usage UsageOf(HANDLE process) {
    Usage u;
    PROCESS_MEMORY_COUNTERS counters{};
    if (::GetProcessMemoryInfo(process, &counters, sizeof(counters)))
        u.workingSetMb = counters.WorkingSetSize / 1048576.0;
    u.gdi = ::GetGuiResources(process, GR_GDIOBJECTS);
    u.user = ::GetGuiResources(process, GR_USEROBJECTS);
    return u;
}
void PrintUsage(const char* when, const Usage& u) {
    std::printf("  %-36s working set %7.2f MB", when, u.workingSetMb);
    // Wine does not count GUI objects (GetGuiResources answers 0).
    if (u.gdi == 0 && u.user == 0)
        std::printf("  GDI/USER objects: not counted here\n");
    else
        std::printf("  GDI %5lu  USER %5lu\n", static_cast<unsigned long>(u.gdi), static_cast<unsigned long>(u.user));
}

void IdleAndResources(Simulator& messenger, int idleSeconds) {
    // What the simulated windows get without Varnu (Wine itself asks too).
    const auto before = messenger.Traffic(sim::Traffic::SentByOthers);
    ::Sleep(5000);
    std::printf("without Varnu: %.1f messages per second to the messenger\n",
                (messenger.Traffic(sim::Traffic::SentByOthers) - before) / 5.0);
    Session s;
    HWND main = s.app->WaitForMainWindow(kWait);
    if (!main) return;
    Pause(1000ms);
    const Processes procs = FindProcesses(s.folder);
    std::printf("idle over %d s (Unix pids: Varnu %s, wineserver %s):\n", idleSeconds,
                procs.varnu.empty() ? "?" : procs.varnu.c_str(),
                procs.wineserver.empty() ? "?" : procs.wineserver.c_str());
    std::printf("resources:\n");
    PrintUsage("0 tabs", UsageOf(s.app->Proc().Handle()));

    std::vector<SimWindow> open;
    for (int n : {0, 10, 50}) {
        while (static_cast<int>(open.size()) < n)
            open.push_back(messenger.Open(sim::Kind::Classic, L"与 Idle" + std::to_wstring(open.size()) + L" 交谈中"));
        WaitUntil([&] { return TakenCount(open, main) == n; }, kWait);
        Pause(1000ms);
        const long long v0 = CpuTicks(procs.varnu), w0 = CpuTicks(procs.wineserver);
        const auto sent0 = messenger.Traffic(sim::Traffic::SentByOthers);
        const auto moved0 = messenger.Traffic(sim::Traffic::Moved);
        const auto painted0 = messenger.Traffic(sim::Traffic::Painted);
        const auto start = Clock::now();
        ::Sleep(static_cast<DWORD>(idleSeconds) * 1000);
        const double seconds = MsSince(start) / 1000;
        // The three queries themselves are one message each to the control window, not counted.
        const double sent = (messenger.Traffic(sim::Traffic::SentByOthers) - sent0) / seconds;
        const double moved = (messenger.Traffic(sim::Traffic::Moved) - moved0) / seconds;
        const double painted = (messenger.Traffic(sim::Traffic::Painted) - painted0) / seconds;
        auto percent = [&](long long before, const std::string& pid) { return CpuPercent(before, pid, seconds); };
        std::printf(
            "  %2d tabs: Varnu %5.1f %% of a core, wineserver %5.1f %%; per second to the messenger:"
            " %6.1f messages, %5.1f moves, %5.1f repaints\n",
            n, percent(v0, procs.varnu), percent(w0, procs.wineserver), sent, moved, painted);
        if (n == 50) PrintUsage("50 tabs", UsageOf(s.app->Proc().Handle()));
    }
    for (const SimWindow& w : open) messenger.Destroy(w.top);
    WaitUntil([&] { return s.Tabs() == 0; }, kWait);

    for (int k = 0; k < 200; ++k) {
        const SimWindow w = messenger.Open(sim::Kind::Classic, L"与 Cycle" + std::to_wstring(k) + L" 交谈中");
        WaitFine([&] { return IsTakenInto(w.top, main); });
        CloseOnlyTab(s, w);
        if (k == 99) PrintUsage("0 tabs after 100 capture/release", UsageOf(s.app->Proc().Handle()));
    }
    Pause(500ms);
    PrintUsage("0 tabs after 200 capture/release", UsageOf(s.app->Proc().Handle()));
}

// A message appended to each conversation that is not on show, one at a
// time: from the moment the messenger has it to the moment its tab carries
// the mark.
Figures NewMessageLatency(Session& s, Simulator& messenger, const std::vector<SimWindow>& open,
                          const std::vector<std::wstring>& names) {
    Figures latency;
    RemoteTabs tabs(s.app->TabWindow());
    const std::vector<std::wstring> captions = tabs.Captions();
    const int selected = tabs.Selected();
    for (int tab = 0, done = 0; tab < static_cast<int>(captions.size()); ++tab) {
        const auto named = std::find(names.begin(), names.end(), captions[tab]);
        if (tab == selected || named == names.end()) continue;
        const SimWindow& w = open[named - names.begin()];
        // Spread over the poll's period: one message right after another
        // would always land at the same point of it.
        Pause(Millis((done * 37) % 100));
        const auto start = Clock::now();
        if (!messenger.AppendHistory(w.top, L"\r\n" + *named + L" 10:00:00\r\n你好")) continue;
        const auto marked = [&] {
            const std::optional<std::wstring> caption = tabs.Caption(tab);
            return caption && *caption != captions[tab];
        };
        if (WaitUntil(marked, kWait, 2ms)) latency.Add(MsSince(start));
        ++done;
    }
    return latency;
}

// The same 50 tabs, their lengths measured inside the messenger and then
// from outside, in one run.
void BothWays(Simulator& messenger, int idleSeconds) {
    std::printf("both ways of measuring the histories, 50 tabs, idle over %d s:\n", idleSeconds);
    for (const bool inside : {true, false}) {
        Session s(inside ? L"" : L"chk_InMessenger=0\r\n");
        HWND main = s.app->WaitForMainWindow(kWait);
        if (!main) return;
        std::vector<SimWindow> open;
        std::vector<std::wstring> names;
        for (int k = 0; k < 50; ++k) {
            names.push_back(L"Way" + std::to_wstring(k));
            open.push_back(messenger.Open(sim::Kind::Classic, L"与 " + names.back() + L" 交谈中"));
        }
        WaitUntil([&] { return TakenCount(open, main) == 50; }, kWait);
        // Parked off the window: with 50 tabs a pointer resting on Varnu's
        // window costs it about as much as either way of measuring does.
        ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1);
        // Long enough for every messenger thread to have answered (or not).
        Pause(2000ms);
        const Processes procs = FindProcesses(s.folder);
        const long long v0 = CpuTicks(procs.varnu), w0 = CpuTicks(procs.wineserver), m0 = CpuTicks(procs.messenger);
        const auto sent0 = messenger.Traffic(sim::Traffic::SentByOthers);
        const auto start = Clock::now();
        ::Sleep(static_cast<DWORD>(idleSeconds) * 1000);
        const double seconds = MsSince(start) / 1000;
        const double sent = (messenger.Traffic(sim::Traffic::SentByOthers) - sent0) / seconds;
        std::printf(
            " %s:\n  idle: Varnu %5.1f %% of a core, wineserver %5.1f %%, messenger %5.1f %%;"
            " %6.1f messages per second sent to the messenger\n",
            inside ? "inside the messenger (the default)" : "from outside (chk_InMessenger=0)",
            CpuPercent(v0, procs.varnu, seconds), CpuPercent(w0, procs.wineserver, seconds),
            CpuPercent(m0, procs.messenger, seconds), sent);
        const Figures latency = NewMessageLatency(s, messenger, open, names);
        std::printf("  %-44s median %8.1f ms  mean %8.1f ms  max %8.1f ms\n", "new message -> tab marked (49 tabs)",
                    latency.Median(), latency.Mean(), latency.Max());
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        s.app->WaitForExit(kWait);
        for (const SimWindow& w : open) messenger.Destroy(w.top);
    }
}

int Run() {
    const char* idle = std::getenv("VARNU_BENCH_IDLE_SECONDS");
    const int idleSeconds = idle && std::atoi(idle) > 0 ? std::atoi(idle) : 20;
    Simulator messenger;
    const Bare bare = MeasureBare(messenger, 20);
    std::printf("bare cross-process calls made by this process (the limit), per window:\n");
    std::printf("  one round trip %.3f ms, capture sequence %.2f ms, give-back sequence %.2f ms\n", bare.roundTrip,
                bare.capture, bare.release);
    // VARNU_BENCH_ONLY=capture, =churn, =startup or =ways measures only that (a quick look while tuning).
    const char* onlyVar = std::getenv("VARNU_BENCH_ONLY");
    const std::string only = onlyVar ? onlyVar : "";
    if (only == "ways") {
        BothWays(messenger, idleSeconds);
        return 0;
    }
    if (only != "startup" && only != "churn") CaptureLatency(messenger, bare);
    if (only == "capture") return 0;
    if (only.empty() || only == "churn") Churn(messenger);
    if (only == "churn") return 0;
    StartupAndExit(messenger, bare);
    if (only == "startup") return 0;
    IdleAndResources(messenger, idleSeconds);
    BothWays(messenger, idleSeconds);
    return 0;
}

}  // namespace

int main() { return e2e::RunBenchmark(Run); }
