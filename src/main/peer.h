#pragma once
// Calls on the messenger's windows. SetParent, SetWindowLong and SetWindowPos
// on a window of another thread wait for that thread, so a busy or hung
// messenger would hold our user-interface thread for as long as it hangs.
// What may wait runs on a worker that we wait for a bounded time; a worker
// that is still waiting then finishes on its own when the messenger wakes.
#include <windows.h>

#include <functional>

namespace varnu {

// A message sent with a bound. SMTO_NORMAL keeps our thread answering the
// messages sent to it meanwhile (the peer may talk back to its parent, us).
bool SendToPeer(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT timeoutMs) noexcept;

// Runs `work` on a worker and waits at most `timeoutMs` for it, answering
// only the messages sent to this thread meanwhile. True when it finished in
// time. Otherwise it goes on alone: it must hold copies, nothing of ours.
bool RunBounded(std::function<void()> work, DWORD timeoutMs);

// Workers of RunBounded that have not finished yet.
int PeerWorkInFlight() noexcept;

// Handles every message of this thread until no worker is in flight or
// `timeoutMs` has passed. True when none is left.
bool WaitForPeerWork(DWORD timeoutMs);

// Once the thread of `peer` answers again, posts `message` with the peer's
// handle as wParam to `notify`. Gives up when either window goes.
void NotifyWhenAnswering(HWND peer, HWND notify, UINT message);

}  // namespace varnu
