#pragma once
// The tab strip's look and colours as the settings choose them, for the main
// window to hand to the strip (tab_Skin True is the XP look).
#include "controls/xpstyle/core/strip_paint.h"
#include "settings/core/settings_values.h"

namespace varnu {

inline xp::StripStyle TabStripStyle(const Settings& s) {
    xp::StripStyle style;
    style.look = s.tab_Skin ? xp::Look::Xp : xp::Look::Messenger;
    style.colours = {s.tab_Normal, s.tab_Selected, s.tab_Hot};
    return style;
}

}  // namespace varnu
