// Cost of the window check's look at every captured window (one IsWindow per
// record, then the decision which tabs go) with 50 tabs whose windows belong
// to the messenger simulator, against the look at the selected window alone.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "main/core/tab_actions.h"
#include "main/main_window.h"
#include "main/watch.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTabs = 50;
constexpr int kTicks = 20000;

template <class Tick>
double MicrosPerTick(Tick&& tick) {
    tick();
    const auto start = Clock::now();
    for (int i = 0; i < kTicks; ++i) tick();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kTicks;
}

int Run() {
    e2e::Simulator messenger;
    varnu::LinkPtr list = varnu::MakeWinList();
    for (int k = 0; k < kTabs; ++k) {
        const e2e::SimWindow w = messenger.Open(sim::Kind::Classic, L"与 Peer" + std::to_wstring(k) + L" 交谈中");
        if (!w) {
            std::fprintf(stderr, "could not open conversation %d\n", k);
            return 1;
        }
        auto node = std::make_shared<varnu::clsLink>();
        node->hWnd = varnu::ToId(w.top);
        list->insertNode(node);
    }
    const HWND selected = varnu::ToHwnd(list->getNode(kTabs / 2)->hWnd);

    int kept = 0;
    const double all = MicrosPerTick([&] {
        kept += varnu::FindVanishedTabs(varnu::RecordWindowsAlive(list), kTabs / 2 - 1).any() ? 0 : 1;
    });
    const double one = MicrosPerTick([&] { kept += ::IsWindow(selected) ? 1 : 0; });
    std::printf("window check with %d tabs (windows of another process), mean of %d ticks:\n", kTabs, kTicks);
    std::printf("  every record: %8.2f us per tick (%.3f us per record)\n", all, all / kTabs);
    std::printf("  selected one: %8.2f us per tick\n", one);
    std::printf("  share of the 100 ms tick interval: %.4f %%\n", all / 1000.0);
    return kept > 0 ? 0 : 1;
}

}  // namespace

int main() { return e2e::RunBenchmark(Run); }
