// Cost of one window check with 50 tabs whose windows belong to the messenger
// simulator: the look at every record (IsWindow each, then the decision which
// tabs go) against the look at the selected window alone.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "harness.h"
#include "main/core/tab_actions.h"
#include "main/main_window.h"
#include "main/watch.h"

namespace {

constexpr int kTabs = 50;
constexpr int kTicks = 20000;

template <class Tick>
double MicrosPerTick(Tick&& tick) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kTicks; ++i) tick();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / kTicks;
}

int Run() {
    e2e::Simulator messenger;
    varnu::LinkPtr list = varnu::MakeWinList();
    for (int k = 0; k < kTabs; ++k) {
        auto node = std::make_shared<varnu::clsLink>();
        node->hWnd = varnu::ToId(messenger.Open(sim::Kind::Classic, L"与 Peer" + std::to_wstring(k) + L" 交谈中").top);
        if (!node->hWnd) return 1;
        list->insertNode(node);
    }
    const HWND selected = varnu::ToHwnd(list->getNode(kTabs / 2)->hWnd);
    int gone = 0;
    const double all =
        MicrosPerTick([&] { gone += varnu::FindVanishedTabs(varnu::RecordWindowsAlive(list), 0).any(); });
    const double one = MicrosPerTick([&] { gone += !::IsWindow(selected); });
    std::printf("window check, %d tabs of another process, mean of %d ticks:\n", kTabs, kTicks);
    std::printf("  every record: %8.2f us per tick (%.2f us per record)\n", all, all / kTabs);
    std::printf("  selected one: %8.2f us per tick\n", one);
    return gone == 0 ? 0 : 1;
}

}  // namespace

int main() { return e2e::RunBenchmark(Run); }
