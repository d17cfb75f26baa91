#pragma once
// modSubclass: lets objects of this program receive chosen messages of chosen
// windows of this process without owning their window procedures. The first
// hook on a window installs one shared procedure; the last unhook (or the
// window's destruction) gives the previous procedure back. The whole registry
// lives in window properties of the hooked windows.
#include <windows.h>

#include <cstdint>
#include <string>

namespace varnu {

// Implemented by objects that want messages. MsgResponse is asked for each
// dispatched message (CurrentMessage() tells which):
//   0  the window's previous procedure is not called;
//   1  it is called after the handlers, and its result is the message's;
//   2  it is called before the handlers, whose result is the message's.
// It is asked before the object's handler runs, so a handler may unhook or
// even destroy its own object.
class ISubclass {
public:
    virtual std::int32_t MsgResponse() noexcept = 0;
    virtual void SetMsgResponse(std::int32_t response) = 0;
    // Raised whenever a message you have subclassed is sent.
    virtual LRESULT WindowProc(HWND hWnd, UINT iMsg, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~ISubclass() = default;
};

// An error of HookMessage, handed back as a value (number 0: none).
struct SubclassError {
    std::int32_t number = 0;
    std::wstring source;
    std::wstring description;
    explicit operator bool() const noexcept { return number != 0; }
};

// Registers `object` for message `message` of `window`. The object is not
// owned: it must unhook itself before it goes away. A failed hook leaves the
// registry as it was.
[[nodiscard]] SubclassError HookMessage(ISubclass* object, HWND window, UINT message) noexcept;
// Removes a registration; does nothing when there is none.
void UnhookMessage(ISubclass* object, HWND window, UINT message) noexcept;
// The window's procedure from before the service's: for a hooked object that
// answers with response 0 and passes the message on itself, when it chooses.
LRESULT CallPreviousProc(HWND hWnd, UINT iMsg, WPARAM wParam, LPARAM lParam) noexcept;
// The window procedure installed on hooked windows.
LRESULT CALLBACK SubclassDispatchProc(HWND hWnd, UINT iMsg, WPARAM wParam, LPARAM lParam) noexcept;
// The window belongs to this process.
bool IsLocalWindow(HWND window) noexcept;
// The message being dispatched, for the handlers' MsgResponse.
UINT CurrentMessage() noexcept;

}  // namespace varnu
