#pragma once
// Base for the program's own windows: `this` is stored at WM_NCCREATE and
// cleared at WM_NCDESTROY; messages go to a member HandleMessage.
#include <windows.h>

namespace win32 {

// Registers a window class of this program once per process; true when it
// exists afterwards. The brush, if any, lives as long as the class.
bool RegisterPlainClass(const wchar_t* className, WNDPROC proc, HBRUSH background = nullptr, bool arrow = true,
                        UINT style = 0, HICON icon = nullptr, HICON smallIcon = nullptr);

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const noexcept { return hwnd_; }

    // Registers `className` once per process with this class's procedure.
    static bool RegisterWindowClass(const wchar_t* className, UINT style = 0, HBRUSH background = nullptr,
                                    HICON icon = nullptr, HICON smallIcon = nullptr);

protected:
    HWND CreateWindowFor(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y,
                         int cx, int cy, HWND parent, HMENU menu = nullptr);

    // An error that escapes is reported at the window procedure (Sh, naming
    // the window's class and the message), and the message then goes to
    // DefWindowProc.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
        return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
    }
    // The paint messages of a window that draws its whole client area itself:
    // no erase (the picture covers it), WM_PAINT between BeginPaint and
    // EndPaint, WM_PRINTCLIENT into the device context it brings.
    template <class Paint>
    LRESULT PaintMessage(UINT msg, WPARAM wParam, Paint&& paint) {
        if (msg == WM_ERASEBKGND) return 1;
        if (msg == WM_PRINTCLIENT) {
            paint(reinterpret_cast<HDC>(wParam));
            return 0;
        }
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd_, &ps);
        paint(dc);
        ::EndPaint(hwnd_, &ps);
        return 0;
    }
    // Called after WM_NCDESTROY, when the handle is no longer valid.
    virtual void OnFinalMessage() noexcept {}

private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    HWND hwnd_ = nullptr;
};

}  // namespace win32
