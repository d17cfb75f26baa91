#pragma once
// The tray icon's decisions: what a notice on its callback message asks for,
// and how long a balloon stays up.
#include <cstdint>

namespace varnu {

// The notices the icon acts on (the callback's lParam), as the shell sends them.
inline constexpr std::uint32_t kTrayNoticeLeftUp = 0x0202;        // WM_LBUTTONUP
inline constexpr std::uint32_t kTrayNoticeRightUp = 0x0205;       // WM_RBUTTONUP
inline constexpr std::uint32_t kTrayNoticeBalloonClick = 0x0405;  // NIN_BALLOONUSERCLICK

enum class TrayCommand { None, ToggleWindow, PopupMenu, BalloonClicked };

TrayCommand DecideTrayCommand(std::intptr_t notice) noexcept;

// tmrKillTip's interval in milliseconds for "tray_TipTime" seconds.
std::uint32_t KillTipInterval(std::int32_t seconds) noexcept;

}  // namespace varnu
