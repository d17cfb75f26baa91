// The lanes against real windows of other threads: each peer thread has its
// own, a stuck one holds up nobody else, results come back in order, and
// while a lane is stuck its placements do not pile up.
#include "win32/peer_lanes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include "win32/msgbox.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A window on a thread of its own, answering messages until asked to sleep.
class Peer {
public:
    Peer() {
        std::promise<HWND> made;
        auto window = made.get_future();
        thread_ = std::thread([this, &made] {
            made.set_value(::CreateWindowExW(0, L"Static", L"peer", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                             ::GetModuleHandleW(nullptr), nullptr));
            MSG msg;
            while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
                if (msg.message == WM_APP) {
                    ::Sleep(static_cast<DWORD>(msg.wParam));
                    continue;
                }
                ::DispatchMessageW(&msg);
            }
            ::DestroyWindow(window_);
        });
        window_ = window.get();
    }
    ~Peer() {
        ::PostMessageW(window_, WM_QUIT, 0, 0);
        thread_.join();
    }
    HWND Window() const { return window_; }
    void Hang(DWORD ms) const { ::PostMessageW(window_, WM_APP, ms, 0); }

private:
    std::thread thread_;
    HWND window_ = nullptr;
};

win32::LaneRequest Request(HWND window, std::function<void()> work, std::function<void(bool)> done = {}) {
    win32::LaneRequest r;
    r.window = window;
    r.kind = win32::lanes::Kind::Read;
    r.work = std::move(work);
    r.done = std::move(done);
    return r;
}

// Every test leaves the lanes idle for the next.
void Settle() { win32::PeerLanes::Program().WaitIdle(10000); }

TEST(PeerLanes, AStuckPeerHoldsUpOnlyItsOwnLaneAndResultsKeepTheirOrder) {
    auto& lanes = win32::PeerLanes::Program();
    Peer healthy, hung;
    hung.Hang(1500);
    std::this_thread::sleep_for(50ms);
    // Asked in order on one lane: the results come back in that order, also
    // when the last one is waited for first.
    std::vector<int> order;
    std::atomic<bool> hungDone{false};
    lanes.Post(Request(hung.Window(), [&] {
        win32::PeerAnswers(hung.Window(), 5000);
        hungDone = true;
    }));
    const auto start = Clock::now();
    lanes.Post(Request(
        healthy.Window(), [] { win32::PeerAnswers(nullptr, 0); }, [&](bool) { order.push_back(1); }));
    const auto last = lanes.Post(Request(
        healthy.Window(), [&] { win32::PeerAnswers(healthy.Window(), 1000); },
        [&](bool ran) { order.push_back(ran ? 2 : -2); }));
    EXPECT_TRUE(lanes.Wait(last, 1000));
    EXPECT_LT(Clock::now() - start, 1000ms) << "the healthy peer's lane waited for the hung one";
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_FALSE(hungDone);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(lanes.Stuck(::GetWindowThreadProcessId(hung.Window(), nullptr), 200));
    EXPECT_FALSE(lanes.Stuck(::GetWindowThreadProcessId(healthy.Window(), nullptr), 200));
    Settle();
    EXPECT_TRUE(hungDone);
}

TEST(PeerLanes, WhileALaneIsStuckTheLastPlacementWinsAndAGiveBackGoesFirst) {
    auto& lanes = win32::PeerLanes::Program();
    Peer peer;
    peer.Hang(800);
    std::this_thread::sleep_for(50ms);
    // The lane is held by a request the sleeping peer must answer.
    lanes.Post(Request(peer.Window(), [&] { win32::PeerAnswers(peer.Window(), 5000); }));
    std::vector<int> dropped, ran;
    for (int i = 0; i < 5; ++i) {
        win32::LaneRequest place;
        place.window = peer.Window();
        place.kind = win32::lanes::Kind::Place;
        place.placement.x = 10 * i;
        place.placement.y = 0;
        place.expectedParent = nullptr;  // a top-level window: nothing is moved
        place.done = [&, i](bool r) { (r ? ran : dropped).push_back(i); };
        lanes.Post(std::move(place));
    }
    std::atomic<bool> gaveBack{false};
    win32::LaneRequest back = Request(peer.Window(), [&] { gaveBack = true; });
    back.kind = win32::lanes::Kind::GiveBack;
    lanes.Post(std::move(back));
    Settle();
    EXPECT_EQ(dropped, (std::vector<int>{0, 1, 2, 3, 4})) << "the give-back made them pointless";
    EXPECT_TRUE(ran.empty());
    EXPECT_TRUE(gaveBack);
}

TEST(PeerLanes, AFailingResultHandlerIsReportedAndLaterResultsStillArrive) {
    auto& lanes = win32::PeerLanes::Program();
    Peer peer;
    bool later = false;
    lanes.Post(Request(
        peer.Window(), [] {}, [](bool) { throw std::runtime_error("no tab"); }));
    const auto last = lanes.Post(Request(
        peer.Window(), [] {}, [&](bool) { later = true; }));
    EXPECT_TRUE(lanes.Wait(last, 5000));
    EXPECT_TRUE(later);
    HWND label = ::FindWindowExW(varnu::MsgBoxWindow(), nullptr, L"Static", nullptr);
    wchar_t text[128] = L"";
    ::GetWindowTextW(label, text, 128);
    EXPECT_STREQ(text, L"PeerLanes: read result\r\nno tab") << "reported, not swallowed";
    varnu::CloseMsgBox();
    Settle();
}

}  // namespace
