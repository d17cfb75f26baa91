#pragma once
// Work on other programs' windows, off the user-interface thread.
//
// Moving, sizing, re-parenting or focusing a window of another thread, or
// sending it a message, waits for that thread; a hung messenger would hold
// whoever makes the call for as long as it hangs. So every such call is a
// request on a lane: one lane per peer thread, with a worker that owns no
// window and carries the lane's requests out in order. A stuck peer holds
// only its own lane. The user-interface thread queues requests and hears of
// each one once it has run, through a message to a window of its own, in
// the request's `done`; it never waits on a peer, except for a short wait
// (Wait) where a result is wanted at once and a late one is acceptable too.
//
// While a lane is stuck, a newer request replaces an older one that has
// become pointless (win32/core/lane_rules.h): the last placement of a window
// wins, and a give-back is never overtaken by an older move.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>

#include "win32/core/lane_rules.h"

namespace win32 {

struct LaneRequest {
    // The window the request is about; its thread chooses the lane.
    HWND window = nullptr;
    lanes::Kind kind = lanes::Kind::Read;
    // Runs on the lane's worker. Holds copies, nothing of the caller's: it
    // may run long after the caller has gone.
    std::function<void()> work;
    // Runs on the thread that owns the lanes: after `work` with true, or with
    // false when the request was dropped in favour of a newer one. It may come
    // after its poster has gone: a `done` that needs the poster checks that
    // it is still there.
    std::function<void(bool ran)> done;
    // Place requests carry no `work`: the lane carries out the placement,
    // merged with one still waiting, while the window is a child of
    // `expectedParent`.
    lanes::Placement placement;
    HWND expectedParent = nullptr;
};

struct LaneJob;
using LaneTicket = std::shared_ptr<LaneJob>;

class PeerLanes {
public:
    // The program's lanes. Made by the first call, which must come from the
    // user-interface thread: results are delivered there.
    static PeerLanes& Program();

    // Queues `request` on the lane of its window's thread. A request for a
    // window of the calling thread, or of none, runs at once.
    LaneTicket Post(LaneRequest request);

    // Waits at most `ms` for the request to have run, answering only the
    // messages other threads send us meanwhile; when it has, its `done` runs
    // now, after those of every request that finished before it. Returns
    // whether it ran.
    bool Wait(const LaneTicket& ticket, DWORD ms);

    // Whether the lane of `thread` has been on one request for `ms` or more:
    // its peer is likely hung, and waiting for the lane gains nothing.
    bool Stuck(DWORD thread, DWORD ms) const;
    // Whether a request of `kind` about `window` waits or runs.
    bool Pending(HWND window, lanes::Kind kind) const;
    // Requests waiting or running, over every lane.
    std::size_t InFlight() const;

    // Handles this thread's messages until no lane has work left or `ms` has
    // passed; true when none is left.
    bool WaitIdle(DWORD ms);

    // The way down after a fault: nothing new is started any more, and the
    // requests under way (except one on the calling thread) are given at
    // most `ms` to finish. Nothing at all when the lanes were never made.
    static void HaltProgram(DWORD ms) noexcept;
    // After a halt, for a new session: requests run again.
    void Resume() noexcept;
    bool Halted() const noexcept;

    // Delivers the results that have arrived (the reply window's work; also
    // for tests that pump no messages).
    void Deliver();

    struct State;

private:
    PeerLanes();
    std::shared_ptr<State> state_;
};

// For work on a lane. Whether the window's thread answers a null message
// within `ms`.
bool PeerAnswers(HWND window, UINT ms) noexcept;

// For work on a lane, before calls that wait for the window's thread without
// a bound (re-parenting, restyling): asks it again and again until it
// answers, and returns true then; false once the window is gone, `cancelled`
// is set or the lanes are halted. While it asks, nothing of ours waits at
// the peer: under Wine, a move still waiting at a hung program has been seen
// to hold up the re-parenting of other programs' windows.
bool AwaitPeer(HWND window, const std::atomic<bool>* cancelled = nullptr) noexcept;

// Moves the keyboard focus to `target` without waiting: at once when only
// windows of this thread are involved, otherwise on the lane of the other
// thread involved (the one that gives the focus up, or else the one that
// takes it). Only the latest request counts.
void MoveFocus(HWND target);

}  // namespace win32
