// The row of tabs rearranged by hand: a tab dragged to another place takes
// its record along, a tab dragged out of the strip pops its conversation out,
// and the unread total follows whatever happened to the tabs.
#include <windows.h>

#include "controls/tabcontrol/core/tab_drag.h"
#include "main/core/unread.h"
#include "main/main_window.h"
#include "main/taskbar.h"
#include "main/tray.h"

namespace varnu {

void frmMain::btnTab_ItemMoved(int from, int to) {
    if (!WinList || !WinList->moveNode(from + 1, to + 1)) return;
    if (CurNode && CurIndex >= 1) CurIndex = tabs::IndexAfterMove(CurIndex - 1, from, to) + 1;
    if (!picNum.empty()) {
        // Ctrl is held: the numbers follow the new row.
        HideNumer();
        ShowNumer();
    }
}

void frmMain::PopOut(int index, std::optional<POINT> at) {
    // Given back where it was dropped rather than where it was before the
    // capture; its size stays the one from before.
    if (at && WinList && index >= 0 && index < WinList->Count) {
        LinkPtr node = WinList->getNode(index + 1);
        node->x = at->x;
        node->Y = at->y;
    }
    // The watch is off meanwhile, so the window that reappears on the
    // desktop is not taken straight back in.
    StopShellWatch();
    PopWin(index);
    StartShellWatch();
}

void frmMain::ShowUnreadTotal() {
    try {
        const int total = WinList ? UnreadTotal(*WinList) : 0;
        const bool inTray = App().ShowState == kHiddenInTray;
        AppTaskbarBadge().Show(total, !inTray);
        AppTray().SetUnreadTotal(inTray ? total : 0);
    } catch (...) {
    }
}

}  // namespace varnu
