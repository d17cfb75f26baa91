#include "win32/window.h"

#include "win32/msgbox.h"

namespace win32 {

Window::~Window() {
    if (hwnd_ && ::IsWindow(hwnd_)) {
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        HWND hwnd = hwnd_;
        hwnd_ = nullptr;
        ::DestroyWindow(hwnd);
    }
}

bool RegisterPlainClass(const wchar_t* className, WNDPROC proc, HBRUSH background, bool arrow, UINT style, HICON icon,
                        HICON smallIcon) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (::GetClassInfoExW(instance, className, &wc)) {
        // The class keeps the brush it was made with; a new one (not a
        // system colour index) is not needed.
        if (background && ::GetObjectType(background) == OBJ_BRUSH) ::DeleteObject(background);
        return true;
    }
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = arrow ? ::LoadCursorW(nullptr, IDC_ARROW) : nullptr;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.hIconSm = smallIcon;
    wc.lpszClassName = className;
    return ::RegisterClassExW(&wc) != 0;
}

bool Window::RegisterWindowClass(const wchar_t* className, UINT style, HBRUSH background, HICON icon, HICON smallIcon) {
    return RegisterPlainClass(className, &Window::StaticWndProc, background, true, style, icon, smallIcon);
}

HWND Window::CreateWindowFor(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y,
                             int cx, int cy, HWND parent, HMENU menu) {
    return ::CreateWindowExW(exStyle, className, title, style, x, y, cx, cy, parent, menu, ::GetModuleHandleW(nullptr),
                             this);
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return DefaultProc(msg, wParam, lParam); }

LRESULT CALLBACK Window::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<Window*>(create->lpCreateParams);
        if (self) {
            self->hwnd_ = hwnd;
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    } else {
        self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);

    LRESULT result = 0;
    try {
        result = self->HandleMessage(msg, wParam, lParam);
    } catch (...) {
        varnu::ReportCaught(L"WindowProc", hwnd, msg);
        result = ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->OnFinalMessage();
    }
    return result;
}

}  // namespace win32
