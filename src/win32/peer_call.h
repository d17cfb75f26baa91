#pragma once
// Messages to other programs' windows, sent by a worker thread so that the
// caller's wait has a hard bound whatever the peer does.
#include <windows.h>

#include <optional>
#include <string>

namespace win32 {

// SendMessageTimeout (wide or ANSI) from the worker, waited for at most
// `timeoutMs` plus a little. Empty when the peer did not answer in time, and
// at once while the worker is still stuck on an earlier peer (a peer that
// holds on to a message past its timeout would otherwise hold every later
// call too). A window of the calling thread gets the message directly.
// Never sends anything that points into the caller's memory.
std::optional<LRESULT> PeerSend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT timeoutMs, bool ansi);

// WM_GETTEXT in the wide form into a buffer of `chars` UTF-16 units owned
// by the call; the units the peer left in it (all of them, NULs included).
// Empty as for PeerSend.
std::optional<std::wstring> PeerGetTextWide(HWND hwnd, size_t chars, UINT timeoutMs);

}  // namespace win32
