#pragma once
// The notification-area icon: its record, the balloons shown on
// it and the timer that takes a balloon down again. The shell call sits behind
// TrayShell so the record each operation hands over can be looked at.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <string_view>

namespace varnu {

inline constexpr UINT kTrayIconId = 1;

// uFlags of the operations.
inline constexpr UINT kTrayFlagsFull = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;  // 23
inline constexpr UINT kTrayFlagsTip = NIF_TIP;                                       // 4
inline constexpr UINT kTrayFlagsNoBalloon = NIF_MESSAGE | NIF_ICON | NIF_TIP;        // 7

inline constexpr DWORD kBalloonInfo = NIIF_INFO;  // 1, the only kind the program shows

inline constexpr wchar_t kWelcomeText[] = L"欢迎使用Varnu";
inline constexpr wchar_t kWelcomeBalloon[] = L"单击本图标将显示/隐藏窗口。";

class TrayShell {
public:
    virtual ~TrayShell() = default;
    // NIM_ADD, NIM_MODIFY or NIM_DELETE with the record as it stands.
    virtual BOOL Notify(DWORD message, const NOTIFYICONDATAW& data) = 0;
};

// Shell_NotifyIconW.
TrayShell& SystemTrayShell();

// Copies `text` into a fixed field of `capacity` characters, cut so that its
// NUL still fits and a surrogate pair is never split.
void CopyTrayText(wchar_t* field, size_t capacity, std::wstring_view text);

class TrayIcon {
public:
    explicit TrayIcon(TrayShell* shell = &SystemTrayShell()) : shell_(shell) {}

    // Null puts the system's shell back.
    void SetShell(TrayShell* shell) noexcept { shell_ = shell ? shell : &SystemTrayShell(); }

    // The window that receives the callback message and owns the balloon
    // timer, the icon, and the timer's id and interval.
    void Attach(HWND owner, HICON icon, UINT_PTR killTipTimer, UINT killTipIntervalMs);
    // From the next balloon on (the settings dialog's OK).
    void SetKillTipInterval(UINT killTipIntervalMs) noexcept { killTipInterval_ = killTipIntervalMs; }

    void AddTrayIcon();  // the icon with the welcome balloon; starts the balloon timer
    void SetTrayTip(std::wstring_view text);
    // The unread total that ends the tooltip ("（3条未读）"); 0 for none. The
    // tooltip is sent again only when the total changes.
    void SetUnreadTotal(int total);
    // Stops at its first error and reports "ShowTray".
    void ShowTray(std::wstring_view title, std::wstring_view text, DWORD kind = kBalloonInfo);
    void KillTrayBalloon();  // deleted and added again: the icon stays, the balloon goes
    void RemoveTrayIcon();
    // The shell's notification area was re-created: the icon is added again
    // as it stands, without bringing back a balloon that may be long gone.
    void ReAddTrayIcon();

    const NOTIFYICONDATAW& Data() const noexcept { return data_; }
    bool Added() const noexcept { return added_; }

private:
    void StartKillTipTimer();
    void WriteTip();

    TrayShell* shell_;
    NOTIFYICONDATAW data_{};
    UINT_PTR killTipTimer_ = 0;
    UINT killTipInterval_ = 3000;
    bool added_ = false;
    std::wstring tip_;  // the tooltip without the unread total
    int unread_ = 0;
};

// The shell broadcasts this registered message when the taskbar is (re)made.
bool IsTaskbarCreatedMessage(UINT msg);

// Shows `menu` at the mouse position with `defaultItem` in bold; returns once
// the menu has closed. The chosen command arrives as WM_COMMAND at `owner`.
void ShowTrayMenu(HWND owner, HMENU menu, UINT defaultItem);

}  // namespace varnu
