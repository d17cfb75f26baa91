#include "main/notice_windows.h"

#include <iterator>
#include <memory>

#include "win32/handles.h"

namespace varnu {
namespace {

constexpr wchar_t kFrameClass[] = L"VarnuNoticeFrame";
constexpr wchar_t kNumberClass[] = L"VarnuTabNumber";

constexpr COLORREF kNumberBack = RGB(255, 128, 0);
constexpr COLORREF kNumberText = RGB(255, 255, 0);

}  // namespace

LRESULT SmallWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    switch (msg) {
    case WM_SETFONT:
        font_ = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) ::InvalidateRect(hwnd(), nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(font_);
    case WM_ERASEBKGND:
    case WM_PAINT:
    case WM_PRINTCLIENT: return PaintMessage(msg, wParam, [this](HDC dc) { PaintContent(dc); });
    default: return DefaultProc(msg, wParam, lParam);
    }
}

HFONT SmallWindow::Font() const noexcept {
    return font_ ? font_ : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

HWND SmallWindow::CreateIn(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, const RECT& rect,
                           HWND parent) {
    if (!RegisterWindowClass(className)) return nullptr;
    return CreateWindowFor(className, text, style, exStyle, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent);
}

HWND NoticeFrame::Create(HWND parent, const wchar_t* caption, const RECT& rect) {
    auto frame = std::make_unique<NoticeFrame>();
    HWND hwnd = frame->CreateIn(kFrameClass, caption, WS_CHILD | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, rect, parent);
    // From here the window owns the object (see OnFinalMessage).
    if (hwnd) frame.release();
    return hwnd;
}

void NoticeFrame::PaintContent(HDC dc) noexcept {
    RECT rc;
    ::GetClientRect(hwnd(), &rc);
    ::FillRect(dc, &rc, ::GetSysColorBrush(COLOR_BTNFACE));
    win32::ScopedSelect select(dc, Font());
    wchar_t text[128] = {};
    const int length = ::GetWindowTextW(hwnd(), text, static_cast<int>(std::size(text)));
    SIZE extent{0, 0};
    ::GetTextExtentPoint32W(dc, text, length, &extent);
    RECT edge = rc;
    edge.top += extent.cy / 2;
    ::DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    ::SetBkMode(dc, OPAQUE);
    ::TextOutW(dc, 8, 0, text, length);
}

HWND TabNumber::Create(HWND parent, const RECT& rect) {
    auto number = std::make_unique<TabNumber>();
    HWND hwnd = number->CreateIn(kNumberClass, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, rect, parent);
    if (hwnd) number.release();
    return hwnd;
}

LRESULT TabNumber::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    if (msg == WM_SETTEXT) {
        const LRESULT r = DefaultProc(msg, wParam, lParam);
        ::InvalidateRect(hwnd(), nullptr, TRUE);
        return r;
    }
    return SmallWindow::HandleMessage(msg, wParam, lParam);
}

void TabNumber::PaintContent(HDC dc) noexcept {
    RECT rc;
    ::GetClientRect(hwnd(), &rc);
    win32::UniqueBrush back(::CreateSolidBrush(kNumberBack));
    ::FillRect(dc, &rc, back.get());
    win32::ScopedSelect select(dc, Font());
    wchar_t text[16] = {};
    const int length = ::GetWindowTextW(hwnd(), text, static_cast<int>(std::size(text)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kNumberText);
    ::TextOutW(dc, 0, 0, text, length);
}

}  // namespace varnu
