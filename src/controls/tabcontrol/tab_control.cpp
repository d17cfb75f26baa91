#include "controls/tabcontrol/tab_control.h"

#include <commctrl.h>
#include <windowsx.h>

#include <string>
#include <utility>
#include <vector>

#include "win32/msgbox.h"
#include "win32/peer_lanes.h"
#include "win32/winapi.h"
#include "win32/strconv.h"
#include "win32/ui_font.h"
#include "win32/window.h"

namespace varnu {

namespace {

constexpr wchar_t kHostClass[] = L"VarnuTabHost";

// Runs a handler on a copy: a handler that replaces itself must not destroy
// the callable that is still running. An error a handler lets escape is
// reported here and goes no further: the control's own work around the
// event (a drag, a removal) must still be finished.
template <class Handler, class... Args>
void Raise(const Handler& handler, Args&... args) noexcept {
    if (!handler) return;
    try {
        Handler copy = handler;
        copy(args...);
    } catch (...) {
        ReportCaught(L"TabControl event");
    }
}

// The tab window's messages the control hears: its end, its tooltip's
// notices, the mouse, and the keys and capture changes of a drag.
constexpr UINT kTabMessages[] = {WM_DESTROY,        WM_NOTIFYFORMAT,  WM_NOTIFY,        WM_MOUSEMOVE,  WM_LBUTTONDOWN,
                                 WM_LBUTTONUP,      WM_LBUTTONDBLCLK, WM_RBUTTONDOWN,   WM_RBUTTONUP,  WM_RBUTTONDBLCLK,
                                 WM_MBUTTONDOWN,    WM_MBUTTONUP,     WM_MBUTTONDBLCLK, WM_MOUSEWHEEL, WM_KEYDOWN,
                                 WM_CAPTURECHANGED, WM_CANCELMODE};

}  // namespace

bool TabControl::Host::Create(HWND parent, int x, int y, int cx, int cy, int id) {
    if (!RegisterWindowClass(kHostClass, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) return false;
    return CreateWindowFor(kHostClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, x, y, cx, cy,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id))) != nullptr;
}

LRESULT TabControl::Host::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return owner_.HostMessage(hwnd(), msg, wParam, lParam);
}

void TabControl::HookTabWindow(HWND tab, bool hook) noexcept {
    for (UINT msg : kTabMessages) {
        if (hook)
            (void)HookMessage(&tabHook_, tab, msg);  // a refused hook only costs that message
        else
            UnhookMessage(&tabHook_, tab, msg);
    }
}

// ---------------------------------------------------------------------------
// Lifetime

TabControl::~TabControl() {
    *alive_ = false;
    DestroyHost();
}

void TabControl::DestroyHost() {
    // Messages sent while the windows go down must not reach this object.
    if (hWndTab_) HookTabWindow(hWndTab_, false);
    DestroyTip();
    hWndHost_ = nullptr;
    host_.reset();
    hWndTab_ = nullptr;
}

bool TabControl::CreateHost(HWND parent, int x, int y, int cx, int cy, int id) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&icc);
    DestroyHost();
    host_ = std::make_unique<Host>(*this);
    if (!host_->Create(parent, x, y, cx, cy, id)) {
        host_.reset();
        return false;
    }
    hWndHost_ = host_->hwnd();

    RECT client{};
    ::GetClientRect(hWndHost_, &client);
    if (!Create(client.right - client.left, client.bottom - client.top)) return false;
    SetFont(win32::kUiFontName, win32::kUiFontPoints, win32::kUiFontCharset);
    return true;
}

HWND TabControl::Create(int cx, int cy) {
    Destroy();
    if (!hWndHost_) return nullptr;
    const DWORD style = tabs::ApplyStripStyle(tabs::kBaseStyle, bottom_, roll_);
    HWND tab = ::CreateWindowExW(0, WC_TABCONTROLW, L"", style, 0, 0, cx, cy, hWndHost_, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (!tab) return nullptr;
    hWndTab_ = tab;
    HookTabWindow(tab, true);
    // A recreated tab window would otherwise fall back to the system font.
    if (font_) ::SendMessageW(tab, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    CreateTip();
    return tab;
}

// A standard tooltip control, so that screen readers read the tab's full
// name too. It shows also while our window is not the active one: the mouse
// resting on a tab asks for it as well then.
void TabControl::CreateTip() {
    tipTab_ = -1;
    tip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hWndTab_, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
    // A width limit makes the tooltip keep the owner's line breaks.
    if (tip_) ::SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, 600);
}

void TabControl::Destroy() {
    DestroyTip();
    // The control lets go of the tab window at its WM_DESTROY.
    if (HWND tab = std::exchange(hWndTab_, nullptr)) ::DestroyWindow(tab);
}

// ---------------------------------------------------------------------------
// Properties

void TabControl::SetBottom(bool value) {
    bottom_ = value;
    ApplyStyle();
}

void TabControl::SetRoll(bool value) {
    roll_ = value;
    ApplyStyle();
}

// The tab window lays itself out again when its style changes; no redraw is
// forced, the containing window re-lays out the strip after a change anyway.
void TabControl::ApplyStyle() {
    if (!hWndTab_) return;
    const auto style = static_cast<std::uint32_t>(::GetWindowLongPtrW(hWndTab_, GWL_STYLE));
    const auto updated = tabs::ApplyStripStyle(style, bottom_, roll_);
    if (updated != style) ::SetWindowLongPtrW(hWndTab_, GWL_STYLE, static_cast<LONG_PTR>(updated));
}

int TabControl::Selected() const {
    if (!hWndTab_) return -1;
    return static_cast<int>(::SendMessageW(hWndTab_, TCM_GETCURSEL, 0, 0));
}

void TabControl::SetSelected(int index) {
    if (index < 0 || !hWndTab_) return;
    ::SendMessageW(hWndTab_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    // Report what the tab window actually selected: an index past the last
    // tab leaves the selection as it was, and the handler hears that.
    int selected = Selected();
    Raise(events.Changed, selected);
}

int TabControl::Count() const {
    if (!hWndTab_) return 0;
    return static_cast<int>(::SendMessageW(hWndTab_, TCM_GETITEMCOUNT, 0, 0));
}

// ---------------------------------------------------------------------------
// Items

void TabControl::AddItem(std::wstring_view caption, int pos) {
    if (!hWndTab_) return;
    const int before = Count();
    if (pos == -1) pos = before + 1;  // past the end: the tab window appends
    // Captions go in wide, so any title shows whatever the system code page.
    std::wstring text(caption);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    const auto inserted =
        ::SendMessageW(hWndTab_, TCM_INSERTITEMW, static_cast<WPARAM>(pos), reinterpret_cast<LPARAM>(&item));
    // Some versions of the tab window select the first tab by themselves. The
    // selection is the caller's to make, and it must come with Changed.
    if (before == 0 && inserted != -1 && Selected() != -1)
        ::SendMessageW(hWndTab_, TCM_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

void TabControl::DelItem(int pos) {
    if (!hWndTab_) return;
    ForgetTipTab();
    const int oldSelected = Selected();
    ::SendMessageW(hWndTab_, TCM_DELETEITEM, static_cast<WPARAM>(pos), 0);
    SetSelected(tabs::SelectionAfterDelete(oldSelected, Count()));
}

void TabControl::Clear() {
    ForgetTipTab();
    if (hWndTab_) ::SendMessageW(hWndTab_, TCM_DELETEALLITEMS, 0, 0);
}

void TabControl::MoveItem(int from, int to) {
    const int count = Count();
    if (from == to || from < 0 || to < 0 || from >= count || to >= count) return;
    ForgetTipTab();
    // The tab window has no move of its own: the tab goes and comes back at
    // its new place with everything it carries.
    std::wstring caption = Caption(from);
    TCITEMW item{};
    item.mask = TCIF_STATE | TCIF_IMAGE | TCIF_PARAM;
    item.dwStateMask = TCIS_HIGHLIGHTED;
    ::SendMessageW(hWndTab_, TCM_GETITEMW, static_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&item));
    const int selected = Selected();
    ::SendMessageW(hWndTab_, TCM_DELETEITEM, static_cast<WPARAM>(from), 0);
    item.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_PARAM;
    item.pszText = caption.data();
    ::SendMessageW(hWndTab_, TCM_INSERTITEMW, static_cast<WPARAM>(to), reinterpret_cast<LPARAM>(&item));
    if (item.dwState & TCIS_HIGHLIGHTED) HilightItem(to, true);
    // Set without a notice: the selected conversation has not changed.
    if (selected >= 0)
        ::SendMessageW(hWndTab_, TCM_SETCURSEL, static_cast<WPARAM>(tabs::IndexAfterMove(selected, from, to)), 0);
}

std::wstring TabControl::Caption(int pos) const {
    if (!hWndTab_) return {};
    // The tab window cannot tell a caption's length, so grow the buffer until
    // the text no longer fills it.
    for (size_t size = 256; size <= (size_t{1} << 20); size *= 2) {
        std::vector<wchar_t> buffer(size, L'\0');
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(size);
        if (!::SendMessageW(hWndTab_, TCM_GETITEMW, static_cast<WPARAM>(pos), reinterpret_cast<LPARAM>(&item)))
            return {};
        const wchar_t* text = item.pszText ? item.pszText : buffer.data();
        const size_t length = wcsnlen(text, size);
        if (length + 1 < size) return std::wstring(text, length);
    }
    return {};
}

std::wstring TabControl::GetItemText(int pos) const {
    // What a 255-character buffer holds, cut on whole characters so no half
    // of a surrogate pair comes back.
    return win32::CutOnCharacter(Caption(pos), kMaxCaptionChars);
}

void TabControl::SetItemText(int pos, std::wstring_view caption) {
    if (!hWndTab_) return;
    std::wstring text(caption);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    ::SendMessageW(hWndTab_, TCM_SETITEMW, static_cast<WPARAM>(pos), reinterpret_cast<LPARAM>(&item));
}

std::optional<bool> TabControl::IsHilighted(int pos) const {
    if (!hWndTab_) return std::nullopt;
    TCITEMW item{};
    item.mask = TCIF_STATE;
    item.dwStateMask = TCIS_HIGHLIGHTED;
    ::SendMessageW(hWndTab_, TCM_GETITEMW, static_cast<WPARAM>(pos), reinterpret_cast<LPARAM>(&item));
    return (item.dwState & TCIS_HIGHLIGHTED) != 0;
}

void TabControl::HilightItem(int pos, bool highlight) {
    if (!hWndTab_) return;
    ::SendMessageW(hWndTab_, TCM_HIGHLIGHTITEM, static_cast<WPARAM>(pos), highlight ? 0xFFFF : 0);
}

bool TabControl::IsItemQuiet(int pos) const {
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    if (!hWndTab_ || !::SendMessageW(hWndTab_, TCM_GETITEMW, static_cast<WPARAM>(pos), reinterpret_cast<LPARAM>(&item)))
        return false;
    return (static_cast<std::uintptr_t>(item.lParam) & tabs::kItemQuiet) != 0;
}

void TabControl::SetItemQuiet(int pos, bool quiet) {
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    if (!hWndTab_ || !::SendMessageW(hWndTab_, TCM_GETITEMW, static_cast<WPARAM>(pos), reinterpret_cast<LPARAM>(&item)))
        return;
    const auto flags = static_cast<std::uintptr_t>(item.lParam);
    const auto updated = quiet ? flags | tabs::kItemQuiet : flags & ~tabs::kItemQuiet;
    if (updated == flags) return;
    item.lParam = static_cast<LPARAM>(updated);
    ::SendMessageW(hWndTab_, TCM_SETITEMW, static_cast<WPARAM>(pos), reinterpret_cast<LPARAM>(&item));
    // The tab window does not redraw for a value it never shows itself.
    RECT rc{};
    if (::SendMessageW(hWndTab_, TCM_GETITEMRECT, static_cast<WPARAM>(pos), reinterpret_cast<LPARAM>(&rc)))
        ::InvalidateRect(hWndTab_, &rc, FALSE);
}

// ---------------------------------------------------------------------------
// Measures

TabRect TabControl::GetItemRect(int pos) const noexcept {
    RECT rc{};
    if (!hWndTab_ ||
        !::SendMessageW(hWndTab_, TCM_GETITEMRECT, static_cast<WPARAM>(pos), reinterpret_cast<LPARAM>(&rc)))
        return {};
    return {rc.left, rc.top, rc.right, rc.bottom};
}

int TabControl::GetHeaderHeight() const noexcept {
    if (!hWndTab_) return 0;
    const TabRect first = GetItemRect(0);
    const int rows = static_cast<int>(::SendMessageW(hWndTab_, TCM_GETROWCOUNT, 0, 0));
    return (first.bottom - first.top) * rows;
}

int TabControl::GetHeaderBottomHeight() const {
    const int selected = Selected();
    if (selected < 0) return 0;
    return GetItemRect(selected).top;
}

TabRect TabControl::GetAdjustRect() const {
    if (!hWndTab_) return {};
    RECT offsets{};
    ::SendMessageW(hWndTab_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&offsets));
    RECT window{};
    ::GetWindowRect(hWndTab_, &window);
    POINT p{window.left + offsets.left, window.top + offsets.top};
    ::ScreenToClient(::GetParent(hWndHost_), &p);
    return {p.x, p.y, p.x + (window.right + offsets.right) - (window.left + offsets.left),
            p.y + (window.bottom + offsets.bottom) - (window.top + offsets.top)};
}

TabRect TabControl::GetRect() const {
    RECT rc{};
    if (!hWndTab_ || !::GetWindowRect(hWndTab_, &rc)) return {};
    return {rc.left, rc.top, rc.right, rc.bottom};
}

// ---------------------------------------------------------------------------
// Placement, focus, font

void TabControl::Move(int x, int y, int cx, int cy) noexcept {
    // Called on every layout pass, where it mostly changes nothing. The strip
    // lies below the conversation area: moved without waiting for the other
    // programs' windows in there to repaint.
    if (hWndHost_) win32::MoveContainer(hWndHost_, x, y, cx, cy);
}

void TabControl::SetToBottom() {
    if (hWndHost_) ::SetWindowPos(hWndHost_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void TabControl::SetFocus() {
    // The host hands the focus on to the tab window (see HostMessage).
    if (hWndHost_) ::SendMessageW(hWndHost_, WM_SETFOCUS, 0, 0);
}

void TabControl::SetFont(std::wstring_view fontName, int points, int charset) {
    int dpi = 96;
    if (win32::ScopedGetDc screen(nullptr); screen) dpi = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    LOGFONTW lf{};
    lf.lfHeight = -::MulDiv(points, dpi, 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = static_cast<BYTE>(charset);
    fontName.copy(lf.lfFaceName, LF_FACESIZE - 1);
    win32::UniqueFont font(::CreateFontIndirectW(&lf));
    if (!font) return;
    if (hWndTab_) ::SendMessageW(hWndTab_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    // The old font goes only now: the tab window held its handle until the line above.
    font_ = std::move(font);
}

// ---------------------------------------------------------------------------
// Window procedures

void TabControl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        // Only notices of our own tab window count; the host has no other child
        // today, but a stray notice must never pose as a tab change.
        if (!header || !hWndTab_ || header->hwndFrom != hWndTab_) return;
        if (header->code == static_cast<UINT>(TCN_SELCHANGE)) {
            int selected = Selected();
            Raise(events.Changed, selected);
        } else if (header->code == static_cast<UINT>(NM_CLICK)) {
            Raise(events.LButtonClicked);
        }
    } else if (msg == WM_RBUTTONUP) {
        // The tab window lets clicks off its tabs through, so this is the empty strip.
        Raise(events.RButtonClickedWindow);
    } else if (msg == WM_MOUSEWHEEL) {
        RaiseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
    }
}

bool TabControl::SubWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_LBUTTONDBLCLK: Raise(events.LButtonDBLClicked); return false;
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        // Signed coordinates: with the mouse captured a point left of or above
        // the window must not wrap round onto a tab.
        TCHITTESTINFO hit{};
        hit.pt.x = GET_X_LPARAM(lParam);
        hit.pt.y = GET_Y_LPARAM(lParam);
        int index = static_cast<int>(::SendMessageW(hwnd, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        Raise(msg == WM_RBUTTONUP ? events.RButtonClicked : events.MButtonClicked, index);
        return false;
    }
    case WM_MOUSEWHEEL:
        RaiseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        // Answered here: passed on, the default procedure would hand it to
        // the host and the same turn would step the tabs twice.
        return true;
    default: return false;
    }
}

std::vector<tabs::Box> TabControl::ItemBoxes() const {
    std::vector<tabs::Box> boxes;
    for (int i = 0, n = Count(); i < n; ++i) {
        const TabRect r = GetItemRect(i);
        boxes.push_back({r.left, r.top, r.right, r.bottom});
    }
    return boxes;
}

void TabControl::DragTo(int to) {
    int from = drag_.Current();
    MoveItem(from, to);
    drag_.Moved(to);
    Raise(events.ItemMoved, from, to);
}

// Ends a press that did not drop the tab: a drag goes back where it began.
// The state is cleared first, since letting the mouse go reports back here.
void TabControl::EndDrag(bool putBack) {
    const bool dragging = drag_.Dragging();
    const int original = drag_.Original();
    std::shared_ptr<bool> alive = alive_;
    if (putBack && dragging && drag_.Current() != original) DragTo(original);
    if (!*alive) return;
    drag_.Reset();
    if (hWndTab_ && ::GetCapture() == hWndTab_) ::ReleaseCapture();
    const HWND focus = std::exchange(focusBeforeDrag_, nullptr);
    if (focus && ::IsWindow(focus) && hWndTab_ && ::GetFocus() == hWndTab_) win32::MoveFocus(focus);
}

bool TabControl::DragProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const tabs::Point at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (msg) {
    case WM_LBUTTONDOWN: {
        TCHITTESTINFO hit{};
        hit.pt = {at.x, at.y};
        drag_.Press(static_cast<int>(::SendMessageW(hwnd, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit))), at,
                    Count());
        return false;  // the tab window selects the pressed tab as usual
    }
    case WM_MOUSEMOVE: {
        if (!drag_.Pressed()) return false;
        if (!(wParam & MK_LBUTTON)) {  // the button went up where we could not hear it
            EndDrag(true);
            return false;
        }
        const bool wasDragging = drag_.Dragging();
        const int to = drag_.Move(at, ItemBoxes());
        if (!drag_.Pressed()) EndDrag(false);  // the row changed under the drag
        if (!drag_.Dragging()) return false;
        if (!wasDragging) {
            // Escape must reach us, not the conversation that has the focus
            // (where it would close the chat window).
            focusBeforeDrag_ = ::GetFocus();
            win32::MoveFocus(hwnd);
        }
        ::SetCursor(::LoadCursorW(nullptr, drag_.Outside() ? IDC_SIZEALL : IDC_SIZEWE));
        if (to != drag_.Current()) DragTo(to);
        return false;
    }
    case WM_LBUTTONUP: {
        if (!drag_.Pressed()) return false;
        int index = drag_.Current();
        const auto end = drag_.Release(at, ItemBoxes());
        if (end != tabs::TabDrag::End::DraggedOut) {
            EndDrag(false);
            return false;
        }
        focusBeforeDrag_ = nullptr;  // that conversation leaves with its tab
        EndDrag(false);
        POINT screen{at.x, at.y};
        ::ClientToScreen(hwnd, &screen);
        int x = screen.x, y = screen.y;
        Raise(events.DraggedOut, index, x, y);
        return false;
    }
    case WM_KEYDOWN:
        if (wParam != VK_ESCAPE || !drag_.Pressed()) return false;
        EndDrag(true);
        return true;
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
        // Another window took the mouse: the drag cannot end where the user meant.
        if (drag_.Pressed() && reinterpret_cast<HWND>(lParam) != hwnd) EndDrag(true);
        return false;
    default: return false;
    }
}

// The wheel over the strip steps through the tabs. Windows sends the wheel to
// the focus window or, on newer systems, to the window under the mouse; both
// the tab window and the empty host area therefore raise MouseWheel.
void TabControl::RaiseWheel(int delta) {
    const int steps = wheel_.Add(delta);
    const int count = steps < 0 ? -steps : steps;
    std::shared_ptr<bool> alive = alive_;
    for (int i = 0; i < count && *alive; ++i) {
        bool towardsUser = steps > 0;
        Raise(events.MouseWheel, towardsUser);
    }
}

// The tool is moved by taking it away and adding it again over the tab now
// under the mouse: the tooltip then hides the old text and asks anew.
void TabControl::TipFollowMouse(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!tip_) return;
    if (msg == WM_MOUSEMOVE) {
        TCHITTESTINFO hit{};
        hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const int index = static_cast<int>(::SendMessageW(hwnd, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (index != tipTab_) {
            ForgetTipTab();
            RECT rc{};
            if (index >= 0 &&
                ::SendMessageW(hwnd, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rc))) {
                TTTOOLINFOW tool{};
                tool.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every version of the control
                tool.hwnd = hwnd;
                tool.uId = static_cast<UINT_PTR>(index);
                tool.rect = rc;
                tool.lpszText = LPSTR_TEXTCALLBACKW;
                if (::SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) tipTab_ = index;
            }
        }
    }
    MSG relayed{hwnd, msg, wParam, lParam, static_cast<DWORD>(::GetMessageTime()), {}};
    ::GetCursorPos(&relayed.pt);
    ::SendMessageW(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

void TabControl::DestroyTip() {
    tipTab_ = -1;
    // Gone already when the top-level window that owns it went first.
    if (HWND tip = std::exchange(tip_, nullptr); tip && ::IsWindow(tip)) ::DestroyWindow(tip);
}

void TabControl::ForgetTipTab() {
    if (!tip_ || tipTab_ < 0) return;
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = hWndTab_;
    tool.uId = static_cast<UINT_PTR>(tipTab_);
    ::SendMessageW(tip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    tipTab_ = -1;
}

void TabControl::AnswerTipText(NMTTDISPINFOW& info) {
    int index = static_cast<int>(info.hdr.idFrom);
    std::wstring text;
    std::shared_ptr<bool> alive = alive_;
    Raise(events.TipText, index, text);
    if (!*alive) return;
    tipText_ = std::move(text);
    info.hinst = nullptr;
    info.lpszText = tipText_.data();
}

LRESULT TabControl::HostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE: hWndHost_ = hwnd; break;
    case WM_NOTIFY:
    case WM_RBUTTONUP:
    case WM_MOUSEWHEEL: {
        std::shared_ptr<bool> alive = alive_;
        WindowProc(msg, wParam, lParam);
        if (msg == WM_MOUSEWHEEL || !*alive) return 0;
        break;
    }
    case WM_SIZE:
        if (hWndTab_) {
            RECT rc{};
            ::GetClientRect(hwnd, &rc);
            ::MoveWindow(hWndTab_, 0, 0, rc.right - rc.left, rc.bottom - rc.top, TRUE);
        }
        break;
    case WM_SETFOCUS:
        if (hWndTab_) win32::MoveFocus(hWndTab_);
        return 0;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType == ODT_TAB && item->hwndItem == hWndTab_ && drawItem) {
            drawItem(*this, *item);
            return TRUE;
        }
        break;
    }
    case WM_NCDESTROY:
        if (hWndHost_ == hwnd) {
            hWndHost_ = nullptr;
            hWndTab_ = nullptr;  // a child: already gone by now
        }
        break;
    default: break;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT TabControl::TabMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        const LRESULT result = CallPreviousProc(hwnd, msg, wParam, lParam);
        HookTabWindow(hwnd, false);
        if (hWndTab_ == hwnd) {
            hWndTab_ = nullptr;
            DestroyTip();
        }
        return result;
    }
    if (tip_ && msg == WM_NOTIFYFORMAT && reinterpret_cast<HWND>(wParam) == tip_) return NFR_UNICODE;
    if (tip_ && msg == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header && header->hwndFrom == tip_) {
            if (header->code == TTN_GETDISPINFOW) AnswerTipText(*reinterpret_cast<NMTTDISPINFOW*>(lParam));
            return 0;
        }
    } else if ((msg >= WM_MOUSEMOVE && msg <= WM_MOUSEWHEEL) || msg == WM_KEYDOWN || msg == WM_CAPTURECHANGED ||
               msg == WM_CANCELMODE) {
        std::shared_ptr<bool> alive = alive_;
        if (msg >= WM_MOUSEMOVE && msg <= WM_MOUSEWHEEL) TipFollowMouse(hwnd, msg, wParam, lParam);
        bool answered = DragProc(hwnd, msg, wParam, lParam);
        if (*alive && ::IsWindow(hwnd) && !answered && msg >= WM_MOUSEMOVE && msg <= WM_MOUSEWHEEL)
            answered = SubWindowProc(hwnd, msg, wParam, lParam);
        // A handler may have destroyed the tab window or the whole control.
        if (answered || !*alive || !::IsWindow(hwnd)) return 0;
        if (msg == WM_LBUTTONDOWN) {
            const LRESULT result = CallPreviousProc(hwnd, msg, wParam, lParam);
            // Held from the press on: the drag goes on over the conversation
            // area and beyond the window, and the release must come back here.
            if (*alive && drag_.Pressed() && ::IsWindow(hwnd)) ::SetCapture(hwnd);
            return result;
        }
    }
    return CallPreviousProc(hwnd, msg, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Plain drawing until the tab painter takes over.

void TabControl::DrawItemDefault(const TabControl& tabs, const DRAWITEMSTRUCT& item) {
    const int index = static_cast<int>(item.itemID);
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const bool highlighted = tabs.IsHilighted(index).value_or(false);
    const COLORREF back = highlighted ? RGB(169, 252, 86)
                          : selected  ? ::GetSysColor(COLOR_WINDOW)
                                      : ::GetSysColor(COLOR_BTNFACE);
    RECT rc = item.rcItem;
    win32::UniqueBrush fill(::CreateSolidBrush(back));
    ::FillRect(item.hDC, &rc, fill.get());
    ::FrameRect(item.hDC, &rc, ::GetSysColorBrush(COLOR_BTNSHADOW));

    std::wstring caption = tabs.Caption(index);
    auto font = reinterpret_cast<HFONT>(::SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
    win32::ScopedSelect useFont(item.hDC, font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
    const int oldMode = ::SetBkMode(item.hDC, TRANSPARENT);
    const COLORREF oldColor = ::SetTextColor(item.hDC, ::GetSysColor(COLOR_BTNTEXT));
    ::InflateRect(&rc, -3, 0);
    ::DrawTextW(item.hDC, caption.c_str(), static_cast<int>(caption.size()), &rc,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    ::SetTextColor(item.hDC, oldColor);
    ::SetBkMode(item.hDC, oldMode);
}

}  // namespace varnu
