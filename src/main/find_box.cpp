#include "main/find_box.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "win32/handles.h"
#include "win32/messages.h"
#include "win32/msgbox.h"
#include "win32/modeless.h"
#include "win32/subclass.h"
#include "win32/winapi.h"

namespace varnu {
namespace {

constexpr wchar_t kClassName[] = L"VarnuFindBox";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
constexpr int kClientWidth = 280, kClientHeight = 230;
constexpr int kMargin = 6, kQueryHeight = 22, kUnreadWidth = 48;
// Choosing and closing destroy the controls, so a control's key never does
// either from inside its own handling: it posts WM_FINDCHOOSE or
// WM_FINDDEACTIVATED.
using win32::WM_FINDCHOOSE;
using win32::WM_FINDDEACTIVATED;
// The edit box's keys the box takes for itself, through the subclassing service.
constexpr UINT kQueryMessages[] = {WM_GETDLGCODE, WM_KEYDOWN, WM_CHAR};

class FindBox final : public win32::Window, private ISubclass {
public:
    bool Open(HWND owner, const RECT& strip);
    void Refresh(std::vector<FindCandidate> candidates, std::function<void(int)> chosen);
    void BringToFront();
    void Close() {
        if (hwnd()) ::DestroyWindow(hwnd());
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    HWND MakeChild(DWORD exStyle, const wchar_t* className, DWORD style, int y, int height, int id);
    void CreateChildren();
    void Filter();
    int Selected() const;
    void Select(int item);
    void MoveSelection(int step);
    void Choose();
    LRESULT PaintRow(NMLVCUSTOMDRAW& draw) const;
    // Enter, Escape and Tab in either control; true when the key was one.
    bool OnKey(WPARAM key);
    // The edit box's hooked messages; the edit box's own procedure is called
    // from here for what the box leaves to it.
    std::int32_t MsgResponse() noexcept override { return 0; }
    void SetMsgResponse(std::int32_t) override {}
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

    win32::UniqueFont font_;
    HWND query_ = nullptr, list_ = nullptr;
    std::vector<FindCandidate> candidates_;
    std::vector<FindCandidate> shown_;  // the list's rows, in order
    std::function<void(int)> chosen_;
};

// The object of a closed box is dropped at the next opening, never from
// inside one of its own handlers.
std::unique_ptr<FindBox>& Instance() {
    static std::unique_ptr<FindBox> box;
    return box;
}

PixelRect Pixels(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

bool FindBox::Open(HWND owner, const RECT& strip) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    if (!RegisterWindowClass(kClassName, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) return false;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromRect(&strip, MONITOR_DEFAULTTONEAREST), &monitor);
    const PixelRect at =
        FindBoxPlace(Pixels(strip), frame.right - frame.left, frame.bottom - frame.top, Pixels(monitor.rcWork));
    return CreateWindowFor(kClassName, L"查找会话", kStyle, kExStyle, at.left, at.top, at.width, at.height, owner);
}

HWND FindBox::MakeChild(DWORD exStyle, const wchar_t* className, DWORD style, int y, int height, int id) {
    HWND child = ::CreateWindowExW(
        exStyle, className, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, kMargin, y, kClientWidth - 2 * kMargin,
        height, hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    if (child) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return child;
}

void FindBox::CreateChildren() {
    font_.reset(win32::CreateDialogFont());
    query_ = MakeChild(WS_EX_CLIENTEDGE, L"Edit", ES_AUTOHSCROLL, kMargin, kQueryHeight, idFindQuery);
    const int listTop = 2 * kMargin + kQueryHeight;
    list_ = MakeChild(WS_EX_CLIENTEDGE, WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                      listTop, kClientHeight - listTop - kMargin, idFindList);
    ::SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const int nameWidth = kClientWidth - 2 * kMargin - kUnreadWidth - ::GetSystemMetrics(SM_CXVSCROLL) - 4;
    const std::pair<const wchar_t*, int> columns[] = {{L"会话", nameWidth}, {L"未读", kUnreadWidth}};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = i == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
        column.pszText = const_cast<wchar_t*>(columns[i].first);
        column.cx = columns[i].second;
        ::SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    // A refused hook only costs the box that key's handling.
    for (UINT msg : kQueryMessages) (void)HookMessage(this, query_, msg);
}

void FindBox::Refresh(std::vector<FindCandidate> candidates, std::function<void(int)> chosen) {
    candidates_ = std::move(candidates);
    chosen_ = std::move(chosen);
    Filter();
}

void FindBox::BringToFront() {
    ::ShowWindow(hwnd(), SW_SHOW);
    ::SetForegroundWindow(hwnd());
    ::SetFocus(query_);
    ::SendMessageW(query_, EM_SETSEL, 0, -1);
}

void FindBox::Filter() {
    shown_ = FindMatches(win32::OwnControlText(query_), candidates_);
    ::SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        LVITEMW row{};
        row.mask = LVIF_TEXT;
        row.iItem = static_cast<int>(i);
        row.pszText = shown_[i].name.data();
        ::SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row));
        if (shown_[i].unread <= 0) continue;
        std::wstring count = std::to_wstring(shown_[i].unread);
        row.iSubItem = 1;
        row.pszText = count.data();
        ::SendMessageW(list_, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&row));
    }
    if (!shown_.empty()) Select(0);
    ::SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list_, nullptr, TRUE);
}

int FindBox::Selected() const {
    return static_cast<int>(::SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void FindBox::Select(int item) {
    LVITEMW state{};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(list_, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
    ::SendMessageW(list_, LVM_ENSUREVISIBLE, item, FALSE);
}

void FindBox::MoveSelection(int step) {
    if (shown_.empty()) return;
    const int selected = Selected();
    Select(selected < 0 ? 0 : std::clamp(selected + step, 0, static_cast<int>(shown_.size()) - 1));
}

void FindBox::Choose() {
    const int selected = Selected();
    if (selected < 0 || selected >= static_cast<int>(shown_.size())) return;
    // A copy: the callback may hand the box a new one.
    const auto chosen = chosen_;
    if (chosen) chosen(shown_[static_cast<std::size_t>(selected)].tab);
    Close();
}

// The row Enter would choose is drawn as selected while the focus is in the
// edit box too, not in the pale colours of an inactive list.
LRESULT FindBox::PaintRow(NMLVCUSTOMDRAW& draw) const {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && (draw.nmcd.uItemState & CDIS_SELECTED)) {
        draw.nmcd.uItemState &= ~CDIS_SELECTED;
        draw.clrText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
        draw.clrTextBk = ::GetSysColor(COLOR_HIGHLIGHT);
    }
    return CDRF_DODEFAULT;
}

bool FindBox::OnKey(WPARAM key) {
    switch (key) {
    case VK_RETURN: ::PostMessageW(hwnd(), WM_FINDCHOOSE, 0, 0); return true;
    case VK_ESCAPE: ::PostMessageW(hwnd(), WM_CLOSE, 0, 0); return true;
    case VK_TAB: ::SetFocus(::GetFocus() == query_ ? list_ : query_); return true;
    default: return false;
    }
}

LRESULT FindBox::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        switch (msg) {
        case WM_GETDLGCODE: return DLGC_WANTALLKEYS | CallPreviousProc(hwnd, msg, wParam, lParam);
        case WM_KEYDOWN: {
            const int page = std::max(1, static_cast<int>(::SendMessageW(list_, LVM_GETCOUNTPERPAGE, 0, 0)));
            switch (wParam) {
            case VK_UP: MoveSelection(-1); return 0;
            case VK_DOWN: MoveSelection(1); return 0;
            case VK_PRIOR: MoveSelection(-page); return 0;
            case VK_NEXT: MoveSelection(page); return 0;
            default:
                if (OnKey(wParam)) return 0;
            }
            break;
        }
        case WM_CHAR:
            // Taken at key down; the edit box would only beep at them.
            if (wParam == L'\r' || wParam == 0x1B || wParam == L'\t') return 0;
            break;
        default: break;
        }
    } catch (...) {
        ReportCaught(L"FindBox query", hwnd, msg);
    }
    return CallPreviousProc(hwnd, msg, wParam, lParam);
}

LRESULT FindBox::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: CreateChildren(); return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(font_.get());
    case WM_SETFOCUS: ::SetFocus(query_); return 0;
    case WM_ACTIVATE:
        // Another window taking over closes the box, once that has settled:
        // a message box raised from inside the box hands activation back.
        if (LOWORD(wParam) == WA_INACTIVE) ::PostMessageW(hwnd(), WM_FINDDEACTIVATED, 0, 0);
        break;
    case WM_FINDDEACTIVATED:
        if (::GetActiveWindow() != hwnd()) Close();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == idFindQuery && HIWORD(wParam) == EN_CHANGE) Filter();
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom != list_) break;
        if (header->code == NM_CUSTOMDRAW) return PaintRow(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
        if (header->code == LVN_KEYDOWN)
            OnKey(reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey);
        else if (header->code == NM_DBLCLK)
            ::PostMessageW(hwnd(), WM_FINDCHOOSE, 0, 0);
        return 0;
    }
    case WM_FINDCHOOSE: Choose(); return 0;
    case WM_CLOSE: Close(); return 0;
    case WM_DESTROY:
        // Before the children go: the edit box is still there to unhook.
        for (UINT hooked : kQueryMessages) UnhookMessage(this, query_, hooked);
        break;
    default: break;
    }
    return DefaultProc(msg, wParam, lParam);
}

}  // namespace

void ShowFindBox(HWND owner, const RECT& stripOnScreen, std::vector<FindCandidate> candidates,
                 std::function<void(int tab)> chosen) {
    auto& box = Instance();
    if (!box || !box->hwnd()) {
        box = std::make_unique<FindBox>();
        if (!box->Open(owner, stripOnScreen)) {
            box.reset();
            return;
        }
    }
    box->Refresh(std::move(candidates), std::move(chosen));
    box->BringToFront();
}

void CloseFindBox() {
    if (Instance()) Instance()->Close();
}

HWND FindBoxWindow() { return Instance() ? Instance()->hwnd() : nullptr; }

}  // namespace varnu
