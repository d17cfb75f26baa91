#include "controls/xpstyle/xp_engine.h"

#include <commctrl.h>
#include <windowsx.h>

#include "controls/xpstyle/core/strip_paint.h"
#include "controls/xpstyle/tab_strip_xp.h"
#include "controls/xpstyle/xp_functions.h"
#include "win32/handles.h"
#include "win32/winapi.h"

namespace varnu {

namespace {

constexpr wchar_t kTabClass[] = L"SysTabControl32";

bool IsTabWindow(HWND window) { return ::IsWindow(window) && GetWindowClassName(window) == kTabClass; }

}  // namespace

// ---------------------------------------------------------------------------
// WindowsXPC

void WindowsXPC::InitSubClassing(HWND form) {
    for (HWND window : win32::DescendantWindows(form)) {
        if (!TabStripControl || !IsTabWindow(window)) continue;
        engineStarted_ = true;
        auto engine = std::make_unique<clsWinXPCEngine>();
        engine->SetStyle(style_);
        engine->Attach(window);
        engines_.push_back(std::move(engine));
    }
}

void WindowsXPC::SetStyle(const xp::StripStyle& style) {
    style_ = style;
    for (auto& engine : engines_) engine->SetStyle(style);
}

void WindowsXPC::EndWinXPCSubClassing() noexcept {
    if (!engineStarted_) return;
    for (auto& engine : engines_) engine->UnloadEngine();
    engines_.clear();
    engineStarted_ = false;
}

// ---------------------------------------------------------------------------
// clsWinXPCEngine

clsWinXPCEngine::~clsWinXPCEngine() { UnloadEngine(); }

void clsWinXPCEngine::Hooks(bool hook) noexcept {
    const struct {
        bool onParent;
        UINT message;
    } hooks[] = {{false, WM_PAINT}, {true, WM_DRAWITEM},     {false, WM_PRINTCLIENT}, {false, WM_MOUSEMOVE},
                 {false, WM_TIMER}, {false, WM_LBUTTONDOWN}, {false, WM_LBUTTONUP}};
    for (const auto& h : hooks) {
        HWND target = h.onParent ? parent_ : window_;
        if (hook)
            (void)HookMessage(this, target, h.message);  // a refused hook only costs that message
        else
            UnhookMessage(this, target, h.message);
    }
}

void clsWinXPCEngine::Attach(HWND control) noexcept {
    UnloadEngine();
    if (!IsTabWindow(control)) return;
    ::SetWindowLongPtrW(control, GWL_STYLE, ::GetWindowLongPtrW(control, GWL_STYLE) | TCS_OWNERDRAWFIXED);
    window_ = control;
    parent_ = ::GetParent(control);
    Hooks(true);
    attached_ = true;
}

void clsWinXPCEngine::UnloadEngine() noexcept {
    if (!attached_) return;
    Hooks(false);
    if (::IsWindow(window_)) {
        ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE);
        ::KillTimer(window_, kLeaveTimer);
    }
    attached_ = false;
    window_ = parent_ = nullptr;
}

std::int32_t clsWinXPCEngine::MsgResponse() noexcept {
    // The engine answers WM_PAINT itself: the tab window paints itself into
    // a memory bitmap first, the strip is drawn over that, and the screen
    // gets the finished picture in one copy.
    return CurrentMessage() == WM_PAINT ? 0 : 1;
}

LRESULT clsWinXPCEngine::WindowProc(HWND hWnd, UINT iMsg, WPARAM wParam, LPARAM lParam) {
    switch (iMsg) {
    case WM_PAINT: PaintBuffered(); break;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType == ODT_TAB && item->hwndItem == window_) {
            hover_.DrawRequested(static_cast<int>(item->itemID));
            requested_.push_back(static_cast<int>(item->itemID));
            if (!inTabPaint_) Repaint();
        }
        break;
    }
    case WM_MOUSEMOVE: {
        TCHITTESTINFO hit{};
        hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const int index = static_cast<int>(::SendMessageW(hWnd, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (hover_.MouseAt(index)) Repaint();
        ::SetTimer(hWnd, kLeaveTimer, 1, nullptr);
        break;
    }
    case WM_TIMER:
        if (wParam == kLeaveTimer) OnTimer();
        break;
    case WM_LBUTTONDOWN: Repaint(); break;
    case WM_PRINTCLIENT: PrintClient(reinterpret_cast<HDC>(wParam)); break;
    default: break;
    }
    return 0;
}

void clsWinXPCEngine::OnTimer() {
    if (IsMouseOverWindow(window_)) {
        mouseInside_ = true;
        return;
    }
    clean_ = true;
    ::KillTimer(window_, kLeaveTimer);
    mouseInside_ = false;
    Repaint();
    hover_.Left(static_cast<int>(::SendMessageW(window_, TCM_GETCURSEL, 0, 0)));
    clean_ = false;
}

// The page area under the tab rows is printed white into the DC the request
// names; the rows themselves are left to the tab window.
void clsWinXPCEngine::PrintClient(HDC dc) noexcept {
    if (!dc) return;
    RECT client{};
    ::GetClientRect(window_, &client);
    const bool bottom = (::GetWindowLongPtrW(window_, GWL_STYLE) & TCS_BOTTOM) != 0;
    const xp::ItemRect fill = xp::PageFill(client.right, client.bottom, TabHeaderHeight(window_), bottom);
    FillRectColor(RECT{fill.left, fill.top, fill.right, fill.bottom}, 0xFFFFFF, dc);
}

void clsWinXPCEngine::PaintBuffered() {
    PAINTSTRUCT ps{};
    HDC screen = ::BeginPaint(window_, &ps);
    if (!screen) return;
    RECT client{};
    ::GetClientRect(window_, &client);
    win32::UniqueMemoryDc memory(::CreateCompatibleDC(screen));
    win32::UniqueBitmap bitmap(::CreateCompatibleBitmap(screen, client.right, client.bottom));
    if (memory && bitmap) {
        win32::ScopedSelect useBitmap(memory.get(), bitmap.get());
        PrintTabWindow(memory.get(), client);
        PaintStrip(memory.get());
        ::BitBlt(screen, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
    } else {
        PrintTabWindow(screen, client);
        PaintStrip(screen);
    }
    ::EndPaint(window_, &ps);
}

// The tab window's own picture, drawn into `dc`. The draw requests it makes
// meanwhile are kept for the strip painted over it.
void clsWinXPCEngine::PrintTabWindow(HDC dc, const RECT& client) noexcept {
    FillRectColor(client, static_cast<std::int32_t>(0x80000000 | COLOR_BTNFACE), dc);
    inTabPaint_ = true;
    ::SendMessageW(window_, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ::SendMessageW(window_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    inTabPaint_ = false;
}

void clsWinXPCEngine::Repaint() {
    if (!window_) return;
    win32::ScopedGetDc dc(window_);
    if (dc) PaintStrip(dc.get());
}

void clsWinXPCEngine::PaintStrip(HDC dc) {
    clsTabStripXP painter;
    painter.hdc = dc;
    painter.hWnd = window_;
    painter.CurrentItem = hover_.current;
    painter.LastItem = hover_.last;
    painter.ItemFont = style_.fontName;
    painter.ItemItalic = false;
    painter.ItemUnderline = false;
    painter.ItemSize = style_.fontPoints;
    painter.CleanItem = clean_;
    painter.RequestedItems = std::move(requested_);
    requested_.clear();
    painter.Colours = style_.colours;
    if (style_.look == xp::Look::Xp)
        painter.DrawTabStrip2();
    else
        painter.DrawTabStrip();
}

}  // namespace varnu
