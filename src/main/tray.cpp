#include "main/tray.h"

#include <exception>

#include "win32/messages.h"
#include "win32/msgbox.h"
#include "main/core/tray_rules.h"
#include "main/core/unread.h"
#include "main/main_window.h"
#include "win32/peer_lanes.h"

namespace varnu {

static_assert(kTrayNoticeLeftUp == WM_LBUTTONUP && kTrayNoticeRightUp == WM_RBUTTONUP &&
              kTrayNoticeBalloonClick == NIN_BALLOONUSERCLICK);

namespace {

class ShellNotifyIcon final : public TrayShell {
public:
    BOOL Notify(DWORD message, const NOTIFYICONDATAW& data) override {
        // The shell only reads the record; the API is declared without const.
        return ::Shell_NotifyIconW(message, const_cast<NOTIFYICONDATAW*>(&data));
    }
};

bool IsHighSurrogate(wchar_t c) noexcept { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

TrayShell& SystemTrayShell() {
    static ShellNotifyIcon shell;
    return shell;
}

void CopyTrayText(wchar_t* field, size_t capacity, std::wstring_view text) {
    if (capacity == 0) return;
    size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    // Half a pair would show as a box (or make the shell drop the text).
    if (n < text.size() && n > 0 && IsHighSurrogate(text[n - 1])) --n;
    text.copy(field, n);
    // Every unit after the text is cleared, so no earlier, longer text shows
    // through a shorter one.
    for (size_t k = n; k < capacity; ++k) field[k] = L'\0';
}

void TrayIcon::Attach(HWND owner, HICON icon, UINT_PTR killTipTimer, UINT killTipIntervalMs) {
    data_.cbSize = sizeof(NOTIFYICONDATAW);
    data_.hWnd = owner;
    data_.hIcon = icon;
    killTipTimer_ = killTipTimer;
    killTipInterval_ = killTipIntervalMs;
}

void TrayIcon::StartKillTipTimer() {
    // SetTimer on a running timer starts its interval again: the newest
    // balloon gets its full time, and a replaced one goes with it.
    if (data_.hWnd && killTipTimer_ != 0) ::SetTimer(data_.hWnd, killTipTimer_, killTipInterval_, nullptr);
}

void TrayIcon::AddTrayIcon() {
    data_.cbSize = sizeof(NOTIFYICONDATAW);
    data_.uID = kTrayIconId;
    data_.uFlags = kTrayFlagsFull;
    data_.uCallbackMessage = win32::WM_TRAYNOTIFY;
    tip_ = kWelcomeText;
    WriteTip();
    data_.dwState = 0;
    data_.dwStateMask = 0;
    CopyTrayText(data_.szInfoTitle, std::size(data_.szInfoTitle), kWelcomeText);
    CopyTrayText(data_.szInfo, std::size(data_.szInfo), kWelcomeBalloon);
    data_.dwInfoFlags = kBalloonInfo;
    shell_->Notify(NIM_ADD, data_);
    added_ = true;
    StartKillTipTimer();
}

void TrayIcon::WriteTip() {
    CopyTrayText(data_.szTip, std::size(data_.szTip), TipWithUnread(tip_, unread_, std::size(data_.szTip)));
}

void TrayIcon::SetTrayTip(std::wstring_view text) {
    data_.uFlags = kTrayFlagsTip;
    tip_ = text;
    WriteTip();
    shell_->Notify(NIM_MODIFY, data_);
}

void TrayIcon::SetUnreadTotal(int total) {
    if (total < 0) total = 0;
    if (total == unread_) return;
    unread_ = total;
    WriteTip();
    if (!added_) return;
    data_.uFlags = kTrayFlagsTip;
    shell_->Notify(NIM_MODIFY, data_);
}

void TrayIcon::ShowTray(std::wstring_view title, std::wstring_view text, DWORD kind) {
    try {
        CopyTrayText(data_.szInfoTitle, std::size(data_.szInfoTitle), title);
        CopyTrayText(data_.szInfo, std::size(data_.szInfo), text);
        data_.uFlags = kTrayFlagsFull;
        data_.dwInfoFlags = kind;
        shell_->Notify(NIM_MODIFY, data_);
        StartKillTipTimer();
    } catch (...) {
        ReportCaught(L"ShowTray");
    }
}

void TrayIcon::KillTrayBalloon() {
    data_.uFlags = kTrayFlagsNoBalloon;
    shell_->Notify(NIM_DELETE, data_);
    shell_->Notify(NIM_ADD, data_);
    added_ = true;
}

void TrayIcon::RemoveTrayIcon() {
    shell_->Notify(NIM_DELETE, data_);
    added_ = false;
    if (data_.hWnd && killTipTimer_ != 0) ::KillTimer(data_.hWnd, killTipTimer_);
}

void TrayIcon::ReAddTrayIcon() {
    if (!added_) return;
    data_.uFlags = kTrayFlagsNoBalloon;
    shell_->Notify(NIM_ADD, data_);
}

bool IsTaskbarCreatedMessage(UINT msg) {
    static const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    return taskbarCreated != 0 && msg == taskbarCreated;
}

void ShowTrayMenu(HWND owner, HMENU menu, UINT defaultItem) {
    if (!menu) return;
    ::SetMenuDefaultItem(menu, defaultItem, FALSE);
    POINT pt{};
    ::GetCursorPos(&pt);
    // Without the owner in the foreground the menu would not close when the
    // user clicks elsewhere; the empty message afterwards lets the second
    // opening work at the first click.
    ::SetForegroundWindow(owner);
    ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
    ::PostMessageW(owner, WM_NULL, 0, 0);
}

// --- the main window's side ----------------------------------------------------

namespace {

HICON MainIcon(HWND main) {
    auto icon = reinterpret_cast<HICON>(::SendMessageW(main, WM_GETICON, ICON_SMALL, 0));
    if (!icon) icon = reinterpret_cast<HICON>(::SendMessageW(main, WM_GETICON, ICON_BIG, 0));
    if (!icon) icon = reinterpret_cast<HICON>(::GetClassLongPtrW(main, GCLP_HICONSM));
    if (!icon) icon = reinterpret_cast<HICON>(::GetClassLongPtrW(main, GCLP_HICON));
    return icon;
}

}  // namespace

void frmMain::AddTrayIcon() {
    tray_.Attach(hwnd(), MainIcon(hwnd()), kTmrKillTip, tmrKillTipInterval_);
    tray_.AddTrayIcon();
}

void frmMain::RemoveTrayIcon() noexcept {
    try {
        tray_.RemoveTrayIcon();
    } catch (...) {
        // Silent: only the way out removes the icon, and it must go on to
        // give the conversations back; the shell drops a dead icon itself.
    }
}

void frmMain::TrayAction(LPARAM notice) {
    switch (DecideTrayCommand(notice)) {
    case TrayCommand::ToggleWindow: ShowInTaskBar(state_.ShowState == kHiddenInTray); break;
    case TrayCommand::PopupMenu: ShowTrayMenu(hwnd(), mnuTray(), mnuShow); break;
    case TrayCommand::BalloonClicked:
        if (state_.ShowState == kHiddenInTray) ShowInTaskBar(true);
        ::SetForegroundWindow(hwnd());
        win32::MoveFocus(hwnd());
        break;
    case TrayCommand::None: break;
    }
}

}  // namespace varnu
