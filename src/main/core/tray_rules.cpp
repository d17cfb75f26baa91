#include "main/core/tray_rules.h"

#include "settings/core/convert.h"

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
    // The settings' own range: a time that reaches here unclamped (a value
    // set by hand) can neither fire at once nor keep a balloon up for long.
    return static_cast<std::uint32_t>(settings_core::ClampTipTime(seconds)) * 1000;
}

}  // namespace varnu
