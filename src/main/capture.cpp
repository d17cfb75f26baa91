// Taking a messenger's chat window into the main window and giving it back.
// The window stays the messenger's: we only change its parent, style, place
// and size, and remember enough in its clsLink record to undo all of it.
#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "dialogs/msgbox.h"
#include "main/core/recognition.h"
#include "main/main_window.h"
#include "main/release_guard.h"
#include "win32/winapi.h"

namespace varnu {
namespace {

constexpr DWORD kStyleChild = 0x40000000;
constexpr DWORD kKeepForQQ2009 = 0x3DBFFFFF;   // drops WS_POPUP and WS_CLIPCHILDREN
constexpr DWORD kAddForQQ2009 = 0x40400000;    // WS_CHILD | WS_DLGFRAME
constexpr DWORD kKeepForOthers = 0x3FFFFFFF;   // drops WS_POPUP
constexpr DWORD kExLayered = 0x00080000;

// The messenger may be busy or hung; a restore or a close request must never
// freeze our window. SMTO_NORMAL keeps our thread answering messages sent to
// it meanwhile (the peer may talk back to its parent, which is us).
constexpr UINT kPeerCommandTimeoutMs = 2000;

bool SendToPeer(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                 kPeerCommandTimeoutMs, &result) != 0;
}

void WriteStyle(HWND hwnd, DWORD style) noexcept {
    ::SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>(static_cast<LONG>(style)));
}

// The message shown when a window cannot be taken in.
void ReportCaptureFailure(HWND owner, const std::wstring& caption) noexcept {
    try {
        std::wstring text = L"将QQ窗口收入Varnu时出错。\r\n窗口名：" + caption;
        ::MessageBoxW(owner, text.c_str(), L"错误啦~", MB_ICONERROR);
    } catch (...) {
        ::MessageBoxW(owner, L"将QQ窗口收入Varnu时出错。", L"错误啦~", MB_ICONERROR);
    }
}

// Back to the desktop exactly as recorded at capture. WS_EX_LAYERED stays
// cleared: some messengers draw nothing while it is set without their own
// layered attributes.
void GiveBack(HWND hwnd, int x, int y, int width, int height, DWORD style) noexcept {
    ::SetParent(hwnd, nullptr);
    ::MoveWindow(hwnd, x, y, width, height, TRUE);
    WriteStyle(hwnd, style);
    ::SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, 0);
}

// SetParent, MoveWindow and SetWindowLong on another program's window wait
// for that program's thread, and a hung messenger would hold us for as long
// as it hangs. The give-back therefore runs on a worker that we wait for a
// bounded time, answering only the messages sent to us meanwhile (the peer
// talks to its old parent while it moves). A worker still waiting then
// finishes on its own when the peer wakes; it holds copies, nothing of ours.
constexpr DWORD kGiveBackTimeoutMs = 1500;

void GiveBackBounded(const clsLink& node) {
    const HWND hwnd = ToHwnd(node.hWnd);
    const int x = node.x, y = node.Y, width = node.orgW, height = node.orgH;
    const DWORD style = node.winLong;
    if (::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId()) {
        GiveBack(hwnd, x, y, width, height, style);
        return;
    }
    std::shared_ptr<void> done(::CreateEventW(nullptr, TRUE, FALSE, nullptr), [](HANDLE h) {
        if (h) ::CloseHandle(h);
    });
    if (!done.get()) {
        GiveBack(hwnd, x, y, width, height, style);
        return;
    }
    std::thread worker([=] {
        GiveBack(hwnd, x, y, width, height, style);
        ::SetEvent(done.get());
    });
    HANDLE event = done.get();
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        if (elapsed >= kGiveBackTimeoutMs) break;
        const DWORD result = ::MsgWaitForMultipleObjectsEx(1, &event, static_cast<DWORD>(kGiveBackTimeoutMs - elapsed),
                                                           QS_SENDMESSAGE, 0);
        if (result == WAIT_OBJECT_0) {
            worker.join();
            return;
        }
        if (result != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    worker.detach();
}

HWND FindInputBox(HWND container, int code) noexcept {
    if (code == kKindRichEdit) return ::FindWindowExW(container, nullptr, L"RICHEDIT", nullptr);
    if (code != kKindClassicDialog && code != kKindClassic) return nullptr;
    HWND afx = ::FindWindowExW(container, nullptr, L"AfxWnd42", nullptr);
    if (!afx) return nullptr;
    if (HWND input = ::FindWindowExW(afx, nullptr, L"RichEdit20A", nullptr)) return input;
    HWND second = ::FindWindowExW(container, afx, L"AfxWnd42", nullptr);
    return second ? ::FindWindowExW(second, nullptr, L"RichEdit20A", nullptr) : nullptr;
}

struct CaptureFailed : std::exception {
    const char* what() const noexcept override { return "capture failed"; }
};

}  // namespace

bool frmMain::TakeWin(HWND target, const std::wstring& tabText, const std::wstring& caption, bool isGroup,
                      int& code) {
    // Nothing to take: the window closed between the notice and now.
    if (!::IsWindow(target)) return false;

    // What has been done so far, so that a failure part-way undoes exactly
    // that and leaves the window free, the list and the tab row in step.
    bool styleChanged = false, listed = false, parented = false, tabbed = false;
    DWORD oldExStyle = 0;
    HWND oldOwner = nullptr;
    int listPosition = 0;
    LinkPtr node;
    try {
        node = std::make_shared<clsLink>();
        node->Caption = caption;

        SendToPeer(target, WM_SYSCOMMAND, SC_RESTORE, 0);
        RECT rect{};
        if (!::GetWindowRect(target, &rect)) throw CaptureFailed();

        node->hWnd = ToId(target);
        node->isGroup = isGroup;
        node->Title = tabText;
        node->x = rect.left;
        node->Y = rect.top;
        node->W = rect.right - rect.left;
        node->H = rect.bottom - rect.top;
        node->orgW = node->W;
        node->orgH = node->H;
        node->winLong = win32::WindowStyle(target);

        HWND dialog = ::FindWindowExW(target, nullptr, L"#32770", nullptr);
        HWND container = dialog ? dialog : target;
        HWND history = ::FindWindowExW(container, nullptr, L"RichEdit20A", nullptr);
        node->chatHwnd = ToId(history);

        if (code == kKindClassicUnsettled) code = dialog ? kKindClassicDialog : kKindClassic;
        node->version = code;

        HWND input = FindInputBox(container, code);
        node->sayHwnd = ToId(input ? input : target);

        // The baseline of the new-message poll: the history's characters
        // plus its terminating zero. No history (or no answer) reads as empty.
        std::wstring historyText;
        if (history) historyText = win32::ControlText(history).value_or(std::wstring());
        node->Msg = static_cast<std::int32_t>(historyText.size()) + 1;

        const DWORD style = node->winLong;
        const DWORD newStyle = code == kKindQQ2009 ? ((style & kKeepForQQ2009) | kAddForQQ2009)
                                                   : ((style & kKeepForOthers) | kStyleChild);
        oldExStyle = win32::WindowExStyle(target);
        oldOwner = ::GetWindow(target, GW_OWNER);
        WriteStyle(target, newStyle);
        styleChanged = true;
        ::SetWindowLongPtrW(target, GWL_EXSTYLE, static_cast<LONG_PTR>(static_cast<LONG>(oldExStyle & ~kExLayered)));

        if (!WinList) WinList = MakeWinList();
        WinList->insertNode(node);
        listed = true;
        listPosition = WinList->Count;

        if (!::SetParent(target, picWin)) throw CaptureFailed();
        parented = true;
        ReleaseGuardAdd({target, node->x, node->Y, node->orgW, node->orgH, node->winLong});

        const int tabsBefore = btnTab.Count();
        try {
            btnTab.AddItem(tabText);
        } catch (...) {
            tabbed = btnTab.Count() > tabsBefore;
            throw;
        }
        tabbed = btnTab.Count() > tabsBefore;
        if (!tabbed) throw CaptureFailed();  // the list and the tab row must stay in step
    } catch (...) {
        // Undo in reverse order. A failure here must not hide the report.
        try {
            if (tabbed) btnTab.DelItem(btnTab.Count() - 1);
        } catch (...) {
        }
        if (parented) ReleaseGuardRemove(target);
        if (listed && WinList && WinList->getNode(listPosition) == node) WinList->delNode(listPosition);
        if (parented || styleChanged) {
            if (parented) ::SetParent(target, nullptr);
            WriteStyle(target, node->winLong);
            ::SetWindowLongPtrW(target, GWL_EXSTYLE, static_cast<LONG_PTR>(static_cast<LONG>(oldExStyle)));
            ::SetWindowLongPtrW(target, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(oldOwner));
            ::SetWindowPos(target, nullptr, node->x, node->Y, node->orgW, node->orgH,
                           SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        }
        ReportCaptureFailure(this->hwnd(), node ? node->Caption : caption);
        return false;
    }

    // The window is in, listed and has its tab; what follows only shows it.
    try {
        btnTab.SetSelected(btnTab.Count() - 1);
    } catch (...) {
    }
    ::ShowWindow(btnTab.hWndHost(), SW_SHOW);
    ::ShowWindow(picWin, SW_SHOW);
    ::ShowWindow(fraMsg, SW_HIDE);
    return true;
}

void frmMain::PopWin(int index) {
    try {
        // getNode stops at the tail, so an index past the end would release
        // (and delNode would drop) some other window. -1 comes from a click
        // off any tab. Neither names a conversation: nothing to do.
        if (!WinList || index < 0 || index >= WinList->Count) return;
        LinkPtr node = WinList->getNode(index + 1);
        GiveBackBounded(*node);
        ReleaseGuardRemove(ToHwnd(node->hWnd));
        WinList->delNode(index + 1);
        btnTab.DelItem(index);
        ShowMsg();
    } catch (...) {
        Sh(L"PopWin");
    }
}

void frmMain::CloseTab(int index) {
    if (!WinList || index < 0 || index >= WinList->Count) return;  // as in PopWin
    LinkPtr node = WinList->getNode(index + 1);
    if (node->Locked) return;

    // While the window is top-level again it must not be taken straight back
    // in; the flag is cleared however the release ends, or capture would
    // stay off for the rest of the run.
    struct SuspendCapture {
        SuspendCapture() { App().CaptureSuspended = true; }
        ~SuspendCapture() { App().CaptureSuspended = false; }
    } suspend;

    try {
        HWND hwnd = ToHwnd(node->hWnd);
        ::ShowWindow(picWin, SW_HIDE);
        GiveBackBounded(*node);
        ReleaseGuardRemove(hwnd);
        SendToPeer(hwnd, WM_CLOSE, 0, 0);
        ::ShowWindow(picWin, SW_SHOW);
        WinList->delNode(index + 1);
        btnTab.DelItem(index);
        ShowMsg();
    } catch (...) {
        ::ShowWindow(picWin, SW_SHOW);
        Sh(L"CloseTab");
    }
}

}  // namespace varnu
