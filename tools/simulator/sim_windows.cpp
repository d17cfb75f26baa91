#include "sim_windows.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>

#include "win32/strconv.h"

namespace sim {
namespace {

constexpr int kIdHistory = 100;
constexpr int kIdInput = 101;
constexpr int kIdAfx1 = 110;
constexpr int kIdAfx2 = 111;
constexpr int kIdFlashHolder = 120;
constexpr int kIdSend = 1201;
constexpr int kIdClose = 1202;

constexpr int kSkinBand = 30;  // height of the painted title band of skinned windows
constexpr int kMaxRecords = 200000;

constexpr COLORREF kTXGuiBack = RGB(214, 232, 250);
constexpr COLORREF kTXGuiBand = RGB(40, 110, 190);
constexpr COLORREF kBaseGuiBack = RGB(238, 242, 248);
constexpr COLORREF kBaseGuiBand = RGB(200, 40, 40);

HWND ToHwnd(uint64_t value) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(value)); }
uint64_t FromHwnd(HWND hwnd) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(hwnd)); }

bool IsSkinned(Kind kind) { return kind == Kind::TXGui || kind == Kind::BaseGui || kind == Kind::Preview; }

bool RecordedInProcedure(UINT msg) {
    switch (msg) {
    case WM_NULL:
    case WM_CLOSE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_MOUSEWHEEL:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
    case WM_SYSCOMMAND: return true;
    default: return false;
    }
}

bool RecordedFromQueue(UINT msg) {
    return msg == WM_NULL || msg == WM_CLOSE || msg == WM_MOUSEWHEEL || (msg >= WM_KEYDOWN && msg <= WM_SYSKEYUP) ||
           (msg >= WM_LBUTTONDOWN && msg <= WM_MBUTTONDBLCLK);
}

int CALLBACK FontExists(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// A face that has Chinese glyphs on this machine, so titles and history are
// legible in screenshots.
HFONT MakeFont(int height, int weight) {
    static const wchar_t* const faces[] = {L"Microsoft YaHei", L"SimSun", L"WenQuanYi Micro Hei", L"Noto Sans CJK SC",
                                           L"Tahoma"};
    HDC dc = ::GetDC(nullptr);
    const wchar_t* chosen = nullptr;
    for (const wchar_t* face : faces) {
        LOGFONTW probe{};
        probe.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(probe.lfFaceName, face, LF_FACESIZE);
        bool found = false;
        ::EnumFontFamiliesExW(dc, &probe, FontExists, reinterpret_cast<LPARAM>(&found), 0);
        if (found) {
            chosen = face;
            break;
        }
    }
    ::ReleaseDC(nullptr, dc);
    return ::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, chosen ? chosen : L"Tahoma");
}

bool RegisterLookAlike(const wchar_t* name, COLORREF background, UINT style = 0) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = ::CreateSolidBrush(background);
    wc.lpszClassName = name;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

std::string ReadAnsiText(HWND control) {
    const LRESULT length = ::SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return {};
    std::string buffer(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied = ::SendMessageA(control, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, length)));
    return buffer;
}

}  // namespace

Windows& TheWindows() {
    static Windows windows;
    return windows;
}

bool ParseKind(std::wstring_view name, Kind& kind) {
    static const std::pair<const wchar_t*, Kind> names[] = {
        {L"classic", Kind::Classic}, {L"txgui", Kind::TXGui}, {L"txgui-flash", Kind::TXGuiFlash},
        {L"basegui", Kind::BaseGui}, {L"other", Kind::Other}, {L"mainpanel", Kind::MainPanel},
        {L"preview", Kind::Preview}};
    for (const auto& [text, value] : names) {
        if (name == text) {
            kind = value;
            return true;
        }
    }
    return false;
}

bool Windows::Initialise(HWND notify) {
    notify_ = notify;
    // The two rich-edit generations the messenger's windows are made of:
    // riched20 provides "RichEdit20A", riched32 the older "RICHEDIT".
    const bool richEdits = ::LoadLibraryW(L"riched20.dll") != nullptr && ::LoadLibraryW(L"riched32.dll") != nullptr;
    const COLORREF face = ::GetSysColor(COLOR_3DFACE);
    const bool classes = RegisterLookAlike(kClassTXGui, kTXGuiBack) && RegisterLookAlike(kClassBaseGui, kBaseGuiBack) &&
                         RegisterLookAlike(kClassAfx, face) && RegisterLookAlike(kClassQQBar, RGB(90, 150, 220)) &&
                         RegisterLookAlike(kClassShellEmbedding, RGB(255, 255, 255)) &&
                         RegisterLookAlike(kClassFlash, RGB(250, 220, 120)) && RegisterLookAlike(kClassOther, face) &&
                         RegisterLookAlike(kClassOwner, face);
    font_ = MakeFont(-13, FW_NORMAL);
    titleFont_ = MakeFont(-14, FW_BOLD);
    return richEdits && classes;
}

void Windows::Subclass(HWND hwnd, HWND top, bool ansi) {
    if (!hwnd) return;
    topOf_[hwnd] = top;
    WNDPROC old = ansi ? reinterpret_cast<WNDPROC>(
                             ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProcA)))
                       : reinterpret_cast<WNDPROC>(
                             ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProcW)));
    previous_[hwnd] = old;
}

HWND Windows::MakeChild(const wchar_t* cls, const wchar_t* text, DWORD style, HWND parent, int id, HWND top, bool ansi,
                        bool wideText) {
    DWORD exStyle = 0;
    if (ansi) exStyle = WS_EX_CLIENTEDGE;
    HWND hwnd =
        ::CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) return nullptr;
    if (font_) ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    // Rich-edit controls are ANSI windows; a Unicode subclass would turn them
    // into Unicode windows and change what WM_GETTEXT hands to the ANSI peer.
    // The history is the exception: it answers the text messages itself
    // from its UTF-16 text (see WideText).
    Subclass(hwnd, top, ansi && !wideText);
    return hwnd;
}

void Windows::BuildConversation(Sim& sim, HWND parent, Input input, bool history) {
    OpenReply& p = sim.parts;
    const HWND top = sim.top;
    const DWORD richStyle = ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
    if (history) {
        HWND h = MakeChild(L"RichEdit20A", L"", richStyle | ES_READONLY, parent, kIdHistory, top, true, true);
        p.history = FromHwnd(h);
    }
    HWND afx1 = nullptr, afx2 = nullptr, in = nullptr;
    switch (input) {
    case Input::RichEdit: in = MakeChild(L"RICHEDIT", L"", richStyle, parent, kIdInput, top, true); break;
    case Input::Default:
    case Input::AfxFirst:
        afx1 = MakeChild(kClassAfx, L"", WS_CLIPCHILDREN, parent, kIdAfx1, top, false);
        in = MakeChild(L"RichEdit20A", L"", richStyle, afx1, kIdInput, top, true);
        break;
    case Input::AfxSecond:
        afx1 = MakeChild(kClassAfx, L"", WS_CLIPCHILDREN, parent, kIdAfx1, top, false);
        afx2 = MakeChild(kClassAfx, L"", WS_CLIPCHILDREN, parent, kIdAfx2, top, false);
        in = MakeChild(L"RichEdit20A", L"", richStyle, afx2, kIdInput, top, true);
        break;
    case Input::AfxNeither:
        afx1 = MakeChild(kClassAfx, L"", WS_CLIPCHILDREN, parent, kIdAfx1, top, false);
        afx2 = MakeChild(kClassAfx, L"", WS_CLIPCHILDREN, parent, kIdAfx2, top, false);
        break;
    case Input::None: break;
    }
    p.afx1 = FromHwnd(afx1);
    p.afx2 = FromHwnd(afx2);
    p.input = FromHwnd(in);
    MakeChild(L"Button", L"发送(S)", BS_PUSHBUTTON, parent, kIdSend, top, false);
    MakeChild(L"Button", L"关闭(C)", BS_PUSHBUTTON, parent, kIdClose, top, false);
}

HWND Windows::Open(const OpenSpec& spec, OpenReply& reply) {
    auto sim = std::make_unique<Sim>();
    sim->kind = spec.kind;
    sim->closeDestroys = (spec.options & Option::kKeepOnClose) == 0;

    const wchar_t* cls = L"#32770";
    DWORD style =
        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;
    DWORD exStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
    int width = 520, height = 460;
    std::wstring title = spec.title;
    switch (spec.kind) {
    case Kind::Classic: break;
    case Kind::MainPanel: width = 260, height = 560; break;
    case Kind::TXGui:
    case Kind::Preview:
        cls = kClassTXGui;
        style = kTXGuiStyle;
        exStyle = kTXGuiExStyle;
        if (spec.kind == Kind::Preview && title.empty()) title = L"QQ2009 Preview";
        break;
    case Kind::TXGuiFlash:
        cls = kClassTXGui;
        style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
        exStyle = WS_EX_APPWINDOW;
        break;
    case Kind::BaseGui:
        cls = kClassBaseGui;
        style = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;
        exStyle = WS_EX_APPWINDOW;
        break;
    case Kind::Other:
        cls = kClassOther;
        style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
        exStyle = WS_EX_APPWINDOW;
        break;
    default: return nullptr;
    }

    HWND owner = nullptr;
    if (spec.options & Option::kOwned) {
        owner = spec.owner;
        if (!owner) {
            owner = ::CreateWindowExW(0, kClassOwner, L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                      ::GetModuleHandleW(nullptr), nullptr);
            if (!owner) return nullptr;
            sim->ownOwner = true;
        }
    }

    int x = 40 + 32 * (opened_ % 12), y = 30 + 28 * (opened_ % 12);
    ++opened_;
    if (spec.rect.right > spec.rect.left) {
        x = spec.rect.left, y = spec.rect.top;
        width = spec.rect.right - spec.rect.left, height = spec.rect.bottom - spec.rect.top;
    }
    const DWORD showBits = WS_VISIBLE | WS_MAXIMIZE | WS_MINIMIZE;
    HWND top = ::CreateWindowExW(exStyle, cls, title.c_str(), style & ~showBits, x, y, width, height, owner, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (!top) {
        if (sim->ownOwner) ::DestroyWindow(owner);
        return nullptr;
    }
    sim->top = top;
    OpenReply& p = sim->parts;
    p.top = FromHwnd(top);
    p.owner = FromHwnd(owner);
    Subclass(top, top, false);
    if (font_) ::SendMessageW(top, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

    const bool history = (spec.options & Option::kNoHistory) == 0;
    switch (spec.kind) {
    case Kind::MainPanel: {
        HWND bar = MakeChild(kClassQQBar, L"", 0, top, 200, top, false);
        p.bar = FromHwnd(bar);
        HWND list = MakeChild(L"ListBox", L"", WS_VSCROLL | LBS_NOINTEGRALHEIGHT, top, 201, top, false);
        for (const wchar_t* name : {L"我的好友", L"  张三", L"  李四", L"  王五", L"陌生人", L"黑名单"})
            ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        break;
    }
    case Kind::Preview:
        p.shellEmbedding = FromHwnd(MakeChild(kClassShellEmbedding, L"", 0, top, 300, top, false));
        break;
    case Kind::TXGuiFlash: {
        HWND holder = MakeChild(L"Static", L"", SS_NOTIFY, top, kIdFlashHolder, top, false);
        p.flashHolder = FromHwnd(holder);
        p.flash = FromHwnd(MakeChild(kClassFlash, L"", 0, holder, 1, top, false));
        BuildConversation(*sim, top, spec.input, history);
        break;
    }
    default:
        if (spec.options & Option::kContainer) {
            HWND container =
                ::CreateWindowExW(WS_EX_CONTROLPARENT, L"#32770", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                                  10, 10, top, nullptr, ::GetModuleHandleW(nullptr), nullptr);
            if (font_) ::SendMessageW(container, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
            Subclass(container, top, false);
            p.container = FromHwnd(container);
            BuildConversation(*sim, container, spec.input, history);
        } else {
            BuildConversation(*sim, top, spec.input, history);
        }
        break;
    }

    if (spec.options & Option::kLayered) {
        ::SetWindowLongW(top, GWL_EXSTYLE, ::GetWindowLongW(top, GWL_EXSTYLE) | WS_EX_LAYERED);
        ::SetLayeredWindowAttributes(top, 0, 255, LWA_ALPHA);
    }

    Sim& placed = *sim;
    sims_[top] = std::move(sim);
    Layout(placed);

    const bool hidden = (spec.options & Option::kHidden) != 0;
    // Windows and Wine add frame bits of their own at creation; the messenger's
    // windows are recognised by exact values, so those are written over them,
    // before the window shows: a watcher that takes it in at once must not
    // have its changes written over.
    std::optional<std::pair<DWORD, DWORD>> forced;
    if (spec.options & Option::kExactStyle) {
        forced.emplace(spec.style & ~showBits, spec.exStyle);
    } else if (style == kTXGuiStyle) {
        forced.emplace(kTXGuiStyle & ~showBits, kTXGuiExStyle);
    }
    if (forced) {
        const DWORD layered = static_cast<DWORD>(::GetWindowLongW(top, GWL_EXSTYLE)) & WS_EX_LAYERED;
        const DWORD ex = (spec.options & Option::kExactStyle) ? forced->second : forced->second | layered;
        ::SetWindowLongW(top, GWL_STYLE, static_cast<LONG>(forced->first));
        ::SetWindowLongW(top, GWL_EXSTYLE, static_cast<LONG>(ex));
        ::SetWindowPos(top, nullptr, 0, 0, 0, 0,
                       SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (!hidden) {
        int show = SW_SHOW;
        if (spec.options & Option::kMaximized)
            show = SW_SHOWMAXIMIZED;
        else if (spec.options & Option::kMinimized)
            show = SW_SHOWMINNOACTIVE;
        else if (spec.options & Option::kNoActivate)
            show = SW_SHOWNOACTIVATE;
        ::ShowWindow(top, show);
        ::UpdateWindow(top);
    }

    p.style = static_cast<uint32_t>(::GetWindowLongW(top, GWL_STYLE));
    p.exStyle = static_cast<uint32_t>(::GetWindowLongW(top, GWL_EXSTYLE));
    reply = p;
    return top;
}

void Windows::Layout(Sim& sim) {
    const OpenReply& p = sim.parts;
    RECT rc{};
    ::GetClientRect(sim.top, &rc);
    int band = IsSkinned(sim.kind) ? kSkinBand : 0;
    const int w = rc.right, h = rc.bottom;

    auto move = [](uint64_t handle, int x, int y, int cx, int cy) {
        if (handle) ::MoveWindow(ToHwnd(handle), x, y, std::max(cx, 0), std::max(cy, 0), TRUE);
    };
    if (sim.kind == Kind::MainPanel) {
        move(p.bar, 0, 0, w, 36);
        HWND list = ::GetDlgItem(sim.top, 201);
        if (list) ::MoveWindow(list, 4, 40, std::max(w - 8, 0), std::max(h - 44, 0), TRUE);
        return;
    }
    if (sim.kind == Kind::Preview) {
        move(p.shellEmbedding, 0, band, w, h - band);
        return;
    }

    HWND parent = sim.top;
    int ox = 0, oy = band, aw = w, ah = h - band;
    if (p.container) {
        move(p.container, 0, band, w, h - band);
        parent = ToHwnd(p.container);
        oy = 0;
    }
    if (p.flashHolder) {
        move(p.flashHolder, 8, oy + 6, aw - 16, 40);
        move(p.flash, 0, 0, 48, 40);
        oy += 50, ah -= 50;
    }
    const int margin = 8, buttonH = 24, buttonW = 76, inputH = 76, toolH = 26;
    const int buttonY = oy + ah - margin - buttonH;
    ::MoveWindow(::GetDlgItem(parent, kIdClose), ox + aw - margin - buttonW, buttonY, buttonW, buttonH, TRUE);
    ::MoveWindow(::GetDlgItem(parent, kIdSend), ox + aw - 2 * (margin + buttonW), buttonY, buttonW, buttonH, TRUE);
    const int inputY = buttonY - margin - inputH;
    int historyBottom = inputY - 4;

    HWND toolbar = nullptr, inputArea = nullptr;
    if (p.afx2)
        toolbar = ToHwnd(p.afx1), inputArea = ToHwnd(p.afx2);
    else if (p.afx1)
        inputArea = ToHwnd(p.afx1);
    else if (p.input)
        inputArea = ToHwnd(p.input);
    if (toolbar) {
        ::MoveWindow(toolbar, ox + margin, inputY - toolH - 2, aw - 2 * margin, toolH, TRUE);
        historyBottom = inputY - toolH - 6;
    }
    if (inputArea) ::MoveWindow(inputArea, ox + margin, inputY, aw - 2 * margin, inputH, TRUE);
    if (p.input && inputArea != ToHwnd(p.input)) move(p.input, 0, 0, aw - 2 * margin, inputH);
    move(p.history, ox + margin, oy + margin, aw - 2 * margin, historyBottom - oy - margin);
}

void Windows::PaintSkin(HWND hwnd, const Sim& sim) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    RECT rc{};
    ::GetClientRect(hwnd, &rc);
    RECT band{0, 0, rc.right, kSkinBand};
    HBRUSH brush = ::CreateSolidBrush(sim.kind == Kind::BaseGui ? kBaseGuiBand : kTXGuiBand);
    ::FillRect(dc, &band, brush);
    ::DeleteObject(brush);
    wchar_t title[256] = L"";
    ::InternalGetWindowText(hwnd, title, 256);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(255, 255, 255));
    HGDIOBJ old = ::SelectObject(dc, titleFont_ ? titleFont_ : ::GetStockObject(DEFAULT_GUI_FONT));
    RECT text = band;
    text.left += 10;
    ::DrawTextW(dc, title, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS);
    ::SelectObject(dc, old);
    ::EndPaint(hwnd, &ps);
}

void Windows::Send(Sim& sim) {
    // The "send" button moves the input text into the history, like a chat.
    HWND input = ToHwnd(sim.parts.input);
    HWND history = ToHwnd(sim.parts.history);
    if (!input || !history) return;
    std::wstring said = win32::AnsiToWide(ReadAnsiText(input));
    if (said.empty()) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    wchar_t stamp[32];
    wsprintfW(stamp, L"%02d:%02d:%02d", now.wHour, now.wMinute, now.wSecond);
    AppendHistory(history, L"我  " + std::wstring(stamp) + L"\r\n  " + said + L"\r\n");
    ::SendMessageA(input, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
}

LRESULT CALLBACK Windows::SubclassProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        return TheWindows().Handle(hwnd, msg, wParam, lParam, false);
    } catch (...) {
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK Windows::SubclassProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        return TheWindows().Handle(hwnd, msg, wParam, lParam, true);
    } catch (...) {
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

LRESULT Windows::Handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool ansi) {
    auto found = previous_.find(hwnd);
    WNDPROC old = found != previous_.end() ? found->second : (ansi ? ::DefWindowProcA : ::DefWindowProcW);
    auto callOld = [&](UINT m, WPARAM w, LPARAM l) {
        return ansi ? ::CallWindowProcA(old, hwnd, m, w, l) : ::CallWindowProcW(old, hwnd, m, w, l);
    };

    if (RecordedInProcedure(msg)) Record(hwnd, msg, wParam, lParam, Via::Procedure);
    if (::InSendMessage()) ++traffic_[static_cast<int>(sim::Traffic::SentByOthers)];
    if (msg == WM_WINDOWPOSCHANGED) ++traffic_[static_cast<int>(sim::Traffic::Moved)];
    if (msg == WM_PAINT) ++traffic_[static_cast<int>(sim::Traffic::Painted)];
    switch (msg) {
    case WM_SETTEXT:
    case EM_REPLACESEL:
    case EM_SETTEXTEX:
    case EM_STREAMIN:
    case WM_CHAR:
    case WM_IME_CHAR:
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
    case EM_UNDO:
    case EM_REDO:
    case WM_KEYDOWN:
    case WM_NCDESTROY:
        ansiText_.erase(hwnd);
        wideText_.erase(hwnd);
        break;
    default: break;
    }
    if (msg == WM_GETTEXTLENGTH || msg == WM_GETTEXT) {
        if (ansi) return AnsiText(hwnd, old, msg, wParam, lParam);
        if (::GetDlgCtrlID(hwnd) == kIdHistory) return WideText(hwnd, msg, wParam, lParam);
    }
    Sim* sim = Find(hwnd);

    if (msg == WM_NCDESTROY) {
        const LRESULT result = callOld(msg, wParam, lParam);
        previous_.erase(hwnd);
        topOf_.erase(hwnd);
        if (sim && sim->top == hwnd) {
            if (sim->ownOwner && sim->parts.owner)
                ::PostMessageW(notify_, kDestroyLater, static_cast<WPARAM>(sim->parts.owner), 0);
            sims_.erase(hwnd);
        }
        return result;
    }
    if (!sim) return callOld(msg, wParam, lParam);

    const bool isTop = hwnd == sim->top;
    const bool isContainer = hwnd == ToHwnd(sim->parts.container);
    switch (msg) {
    case WM_CLOSE:
        if (!isTop) break;
        // A real conversation window goes away when closed; one that keeps
        // itself alive lets tests see a close request that changed nothing.
        if (sim->closeDestroys) ::DestroyWindow(hwnd);
        return 0;
    case WM_SIZE:
        if (isTop || isContainer) {
            const LRESULT result = callOld(msg, wParam, lParam);
            Layout(*sim);
            return result;
        }
        break;
    case WM_COMMAND:
        if ((isTop || isContainer) && HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == kIdClose) {
                ::PostMessageW(sim->top, WM_CLOSE, 0, 0);
                return 0;
            }
            if (LOWORD(wParam) == kIdSend) {
                Send(*sim);
                return 0;
            }
        }
        break;
    case WM_PAINT:
        if (isTop && IsSkinned(sim->kind)) {
            PaintSkin(hwnd, *sim);
            return 0;
        }
        break;
    case WM_NCHITTEST:
        if (isTop && IsSkinned(sim->kind)) {
            // The skinned windows have no caption of their own: the painted
            // band moves them.
            const LRESULT hit = callOld(msg, wParam, lParam);
            POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ::ScreenToClient(hwnd, &pt);
            if (hit == HTCLIENT && pt.y < kSkinBand) return HTCAPTION;
            return hit;
        }
        break;
    case WM_SETTEXT:
        if (isTop && IsSkinned(sim->kind)) {
            const LRESULT result = callOld(msg, wParam, lParam);
            RECT band{0, 0, 4000, kSkinBand};
            ::InvalidateRect(hwnd, &band, TRUE);
            return result;
        }
        break;
    default: break;
    }
    return callOld(msg, wParam, lParam);
}

// The rich edit's own ANSI text messages, as Wine implements them, count
// characters instead of bytes and return nothing at all when the buffer is
// too small, so a peer reading double-byte text by the usual contract
// (WM_GETTEXTLENGTH bytes, then WM_GETTEXT with one more) gets an empty
// string. The messenger's controls keep that contract: the length is the
// ANSI byte count of the text with CR LF line breaks, and a short buffer
// gets the text cut to fit.
LRESULT Windows::AnsiText(HWND hwnd, WNDPROC old, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto cached = ansiText_.find(hwnd);
    if (cached == ansiText_.end()) {
        const LRESULT counted = ::CallWindowProcA(old, hwnd, WM_GETTEXTLENGTH, 0, 0);
        if (counted < 0 || counted > (1 << 24)) return ::CallWindowProcA(old, hwnd, msg, wParam, lParam);
        // Whether the control counted characters or bytes, four bytes for each
        // is room enough in any ANSI code page.
        std::string text(static_cast<size_t>(counted) * 4 + 1, '\0');
        const LRESULT got =
            ::CallWindowProcA(old, hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
        text.resize(std::strlen(text.c_str()));
        if (got <= 0) text.clear();
        cached = ansiText_.emplace(hwnd, std::move(text)).first;
    }
    const std::string& ansi = cached->second;
    if (msg == WM_GETTEXTLENGTH) return static_cast<LRESULT>(ansi.size());
    char* buffer = reinterpret_cast<char*>(lParam);
    if (!buffer || wParam == 0) return 0;
    const size_t n = std::min(ansi.size(), static_cast<size_t>(wParam) - 1);
    // Never end on the lead byte of a double-byte character.
    size_t safe = 0;
    for (size_t i = 0; i < n;) {
        const size_t step = ::IsDBCSLeadByte(static_cast<BYTE>(ansi[i])) ? 2 : 1;
        if (i + step > n) break;
        i += step;
        safe = i;
    }
    std::memcpy(buffer, ansi.data(), safe);
    buffer[safe] = '\0';
    return static_cast<LRESULT>(safe);
}

// The history holds its text in UTF-16, as a messenger that shows every
// language does: the wide text messages get every character (line breaks as
// CR LF); an ANSI caller gets the system's conversion of that, byte counts
// included.
LRESULT Windows::WideText(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto cached = wideText_.find(hwnd);
    if (cached == wideText_.end()) {
        GETTEXTLENGTHEX how{GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
        const LRESULT n = ::SendMessageW(hwnd, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0);
        std::wstring text(static_cast<size_t>(std::clamp<LRESULT>(n, 0, 1 << 26)) + 1, L'\0');
        GETTEXTEX get{static_cast<DWORD>(text.size() * sizeof(wchar_t)), GT_USECRLF, 1200, nullptr, nullptr};
        ::SendMessageW(hwnd, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(text.data()));
        text.resize(std::wcslen(text.c_str()));
        cached = wideText_.emplace(hwnd, std::move(text)).first;
    }
    const std::wstring& text = cached->second;
    if (msg == WM_GETTEXTLENGTH) return static_cast<LRESULT>(text.size());
    auto* buffer = reinterpret_cast<wchar_t*>(lParam);
    if (!buffer || wParam == 0) return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(wParam) - 1);
    if (n > 0 && n < text.size() && IS_HIGH_SURROGATE(text[n - 1])) --n;
    std::memcpy(buffer, text.data(), n * sizeof(wchar_t));
    buffer[n] = L'\0';
    return static_cast<LRESULT>(n);
}

void Windows::Record(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, Via via) {
    if (records_.size() >= kMaxRecords) return;
    auto top = topOf_.find(hwnd);
    sim::Record r;
    r.sequence = ++sequence_;
    r.via = via;
    r.window = FromHwnd(hwnd);
    r.top = top != topOf_.end() ? FromHwnd(top->second) : 0;
    r.message = msg;
    r.wParam = static_cast<uint64_t>(wParam);
    r.lParam = static_cast<int64_t>(lParam);
    records_.push_back(r);
}

void Windows::NoteQueued(const MSG& msg) {
    if (msg.hwnd && RecordedFromQueue(msg.message) && topOf_.count(msg.hwnd))
        Record(msg.hwnd, msg.message, msg.wParam, msg.lParam, Via::Queue);
}

std::uint64_t Windows::Count(sim::Traffic what) const {
    const auto index = static_cast<std::size_t>(what);
    return index < std::size(traffic_) ? traffic_[index] : 0;
}

std::vector<Record> Windows::Records(HWND window) const {
    if (!window) return records_;
    const uint64_t w = FromHwnd(window);
    std::vector<sim::Record> result;
    for (const auto& r : records_) {
        if (r.top == w || r.window == w) result.push_back(r);
    }
    return result;
}

void Windows::ClearRecords(HWND window) {
    if (!window) {
        records_.clear();
        return;
    }
    const uint64_t w = FromHwnd(window);
    std::erase_if(records_, [w](const sim::Record& r) { return r.top == w || r.window == w; });
}

Windows::Sim* Windows::Find(HWND window) {
    auto top = topOf_.find(window);
    if (top == topOf_.end()) return nullptr;
    auto sim = sims_.find(top->second);
    return sim != sims_.end() ? sim->second.get() : nullptr;
}

HWND Windows::HistoryOf(HWND window) {
    Sim* sim = Find(window);
    if (!sim) return nullptr;
    if (window == ToHwnd(sim->parts.history) || window == ToHwnd(sim->parts.input)) return window;
    return ToHwnd(sim->parts.history);
}

bool Windows::AppendHistory(HWND window, std::wstring_view text) {
    HWND history = HistoryOf(window);
    if (!history) return false;
    // Stored in UTF-16: a text the ANSI code page cannot hold stays whole.
    // Selection positions count a paragraph break as one character, so the
    // end is the precise character count without CR LF expansion. Appending
    // at the end keeps long histories cheap.
    const std::wstring wide(text);
    GETTEXTLENGTHEX how{GTL_PRECISE | GTL_NUMCHARS, 1200};
    const LRESULT end = ::SendMessageW(history, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0);
    if (end >= 0) ::SendMessageW(history, EM_SETSEL, static_cast<WPARAM>(end), end);
    SETTEXTEX set{end >= 0 ? static_cast<DWORD>(ST_SELECTION) : static_cast<DWORD>(ST_DEFAULT), 1200};
    ::SendMessageW(history, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&set), reinterpret_cast<LPARAM>(wide.c_str()));
    ::SendMessageW(history, WM_VSCROLL, SB_BOTTOM, 0);
    return true;
}

bool Windows::ClearHistory(HWND window) {
    HWND history = HistoryOf(window);
    if (!history) return false;
    ::SendMessageA(history, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    return true;
}

bool Windows::SetInputText(HWND window, std::wstring_view text) {
    Sim* sim = Find(window);
    if (!sim || !sim->parts.input) return false;
    const std::string ansi = win32::WideToAnsi(text);
    ::SendMessageA(ToHwnd(sim->parts.input), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ansi.c_str()));
    return true;
}

bool Windows::Focus(HWND window) {
    Sim* sim = Find(window);
    if (!sim || !sim->parts.input) return false;
    // Inside Varnu the window shares Varnu's input state, so this moves the
    // focus there as a click into the input box would.
    ::SetFocus(ToHwnd(sim->parts.input));
    return ::GetFocus() == ToHwnd(sim->parts.input);
}

bool Windows::SetTitle(HWND window, std::wstring_view title) {
    Sim* sim = Find(window);
    if (!sim) return false;
    return ::SetWindowTextW(sim->top, std::wstring(title).c_str()) != FALSE;
}

bool Windows::Show(HWND window, int command) {
    Sim* sim = Find(window);
    if (!sim) return false;
    ::ShowWindow(sim->top, command);
    return true;
}

bool Windows::Close(HWND window) {
    Sim* sim = Find(window);
    if (!sim) return false;
    ::SendMessageW(sim->top, WM_CLOSE, 0, 0);
    return true;
}

bool Windows::Destroy(HWND window) {
    Sim* sim = Find(window);
    if (!sim) return false;
    return ::DestroyWindow(sim->top) != FALSE;
}

bool Windows::SetCloseDestroys(HWND window, bool destroys) {
    Sim* sim = Find(window);
    if (!sim) return false;
    sim->closeDestroys = destroys;
    return true;
}

bool Windows::SetStyle(HWND window, DWORD style, DWORD exStyle) {
    Sim* sim = Find(window);
    if (!sim) return false;
    ::SetWindowLongW(sim->top, GWL_STYLE, static_cast<LONG>(style));
    ::SetWindowLongW(sim->top, GWL_EXSTYLE, static_cast<LONG>(exStyle));
    ::SetWindowPos(sim->top, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return static_cast<DWORD>(::GetWindowLongW(sim->top, GWL_STYLE)) == style &&
           static_cast<DWORD>(::GetWindowLongW(sim->top, GWL_EXSTYLE)) == exStyle;
}

}  // namespace sim
