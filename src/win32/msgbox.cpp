#include "win32/msgbox.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <string>

#include "win32/handles.h"
#include "win32/strconv.h"
#include "win32/units.h"
#include "win32/window.h"

namespace varnu {
namespace {

constexpr int Px(int twips) { return twips / kTwipsPerPixel; }

constexpr wchar_t kClassName[] = L"VarnuMsgBox";
constexpr int kIdLabel = 1;
constexpr int kIdOk = IDOK;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;  // no minimise or maximise box
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

// frmMsgBox: created on first report, destroyed when the user closes it, and
// created again by the next report. The object itself lives for the run.
class frmMsgBox : public win32::Window {
public:
    void Show(std::wstring_view text) {
        text_.assign(text);
        if (!hwnd()) {
            if (!Load()) return;
        } else {
            ::SetWindowTextW(label_, text_.c_str());
        }
    }

    void Close() {
        if (hwnd()) ::DestroyWindow(hwnd());
    }

    HWND Handle() const { return hwnd(); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) noexcept override {
        try {
            switch (msg) {
            case WM_CREATE: CreateChildren(); return 0;
            case WM_COMMAND:
                if (LOWORD(wParam) == kIdOk || LOWORD(wParam) == IDCANCEL) {
                    ::DestroyWindow(hwnd());
                    return 0;
                }
                break;
            case WM_ACTIVATE:
                // Enter or space then answer the box, as with the system's.
                if (LOWORD(wParam) != WA_INACTIVE && ok_) ::SetFocus(ok_);
                return 0;
            case WM_DESTROY:
                label_ = nullptr;
                ok_ = nullptr;
                return 0;
            case WM_NCDESTROY: font_.reset(); break;
            default: break;
            }
        } catch (...) {
            // The box reports nothing itself; it only must not take the caller down.
        }
        return DefaultProc(msg, wParam, lParam);
    }

private:
    bool Load() {
        if (!RegisterWindowClass(kClassName, 0, ::GetSysColorBrush(COLOR_BTNFACE))) return false;
        RECT frame{0, 0, Px(4560), Px(1905)};
        ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
        HWND hwnd = CreateWindowFor(kClassName, L"错误", kStyle, kExStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                    frame.right - frame.left, frame.bottom - frame.top, nullptr);
        if (!hwnd) return false;
        // Topmost and visible in one step, where the system placed it.
        ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE);
        return true;
    }

    void CreateChildren() {
        HINSTANCE instance = ::GetModuleHandleW(nullptr);
        // The system's message font renders Chinese text on every language
        // edition; the stock GUI font is the fallback.
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
            font_.reset(::CreateFontIndirectW(&metrics.lfMessageFont));
        HFONT font = font_ ? font_.get() : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));

        label_ = ::CreateWindowExW(0, L"Static", text_.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, Px(660),
                                   Px(270), Px(3255), Px(765), hwnd(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdLabel)), instance, nullptr);
        ok_ = ::CreateWindowExW(0, L"Button", L"确定", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, Px(1440),
                                Px(1200), Px(1785), Px(525), hwnd(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdOk)), instance, nullptr);
        for (HWND child : {label_, ok_})
            if (child) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }

    std::wstring text_;
    HWND label_ = nullptr;
    HWND ok_ = nullptr;
    win32::UniqueFont font_;
};

frmMsgBox& Instance() {
    // Never destroyed: a box still open at process exit goes with the
    // process, not from a static destructor running after the UI thread.
    static frmMsgBox* box = new frmMsgBox;
    return *box;
}

}  // namespace

void Sh(std::wstring_view text) {
    try {
        Instance().Show(text);
    } catch (...) {
        // Reporting must never become a second failure for the caller.
    }
}

HWND MsgBoxWindow() { return Instance().Handle(); }

void CloseMsgBox() { Instance().Close(); }

void ReportCaught(std::wstring_view where) noexcept {
    try {
        std::wstring text(where);
        text += L"\r\n";
        try {
            throw;
        } catch (const std::exception& error) {
            text += ErrorText(error);
        } catch (...) {
            text += L"未知错误";
        }
        Sh(text);
    } catch (...) {
        // Reporting must never become a second failure for the caller.
    }
}

void ReportCaught(std::wstring_view where, HWND window, UINT message) noexcept {
    // Made without allocating: the failure being reported may be the memory.
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, static_cast<int>(std::size(className)));
    wchar_t context[160] = {};
    std::swprintf(context, std::size(context), L"%.*ls %ls 0x%04X",
                  static_cast<int>(std::min<size_t>(where.size(), 64)), where.data(), className, message);
    ReportCaught(context);
}

std::wstring ErrorText(const std::exception& error) {
    std::wstring text = win32::Utf8ToWide(error.what());
    return text.empty() ? std::wstring(L"未知错误") : text;
}

}  // namespace varnu
