#include "main/core/tray_rules.h"

#include <algorithm>

namespace varnu {

TrayCommand DecideTrayCommand(std::intptr_t notice) noexcept {
    switch (static_cast<std::uint32_t>(notice)) {
    case kTrayNoticeLeftUp: return TrayCommand::ToggleWindow;
    case kTrayNoticeRightUp: return TrayCommand::PopupMenu;
    case kTrayNoticeBalloonClick: return TrayCommand::BalloonClicked;
    default: return TrayCommand::None;
    }
}

std::uint32_t KillTipInterval(std::int32_t seconds) noexcept {
    // A zero or negative time (a hand-edited or unreadable key) would make the
    // balloon timer fire at once or never; the default keeps balloons readable.
    if (seconds <= 0) return 3000;
    // Capped at 65535 ms, the longest the balloon timer has ever been given.
    const long long ms = static_cast<long long>(seconds) * 1000;
    return static_cast<std::uint32_t>(std::min<long long>(ms, 65535));
}

}  // namespace varnu
