#pragma once
// Where the main window is, as the program-wide ShowState holds it. The
// numbers are the ones "win_Status" and the layout rules are written in.

namespace varnu {

enum WindowShow : int {
    kShownNormal = 0,
    kHiddenInTray = 1,
    kShownMaximized = 2,
};

}  // namespace varnu
