// The row of tabs rearranged by hand: a tab dragged to another place takes
// its record along, a tab dragged out of the strip pops its conversation out,
// and the unread total follows whatever happened to the tabs.
#include <windows.h>

#include "main/core/unread.h"
#include "main/main_window.h"
#include "main/taskbar.h"
#include "main/tray.h"

namespace varnu {

void frmMain::btnTab_ItemMoved(int from, int to) {
    if (!chats_.Move(from, to)) return;
    if (numbers_.Shown()) {
        // Ctrl is held: the numbers follow the new row.
        HideNumer();
        ShowNumer();
    }
}

void frmMain::PopOut(int index, std::optional<POINT> at) {
    // Given back where it was dropped rather than where it was before the
    // capture; its size stays the one from before.
    LinkPtr node = at ? chats_.AtTab(index) : nullptr;
    if (node) {
        node->x = at->x;
        node->Y = at->y;
    }
    // Given back on purpose, it is not taken straight back in by a notice.
    PopWin(index);
}

void frmMain::ShowUnreadTotal() {
    const int total = UnreadTotal(*chats_.WinList());
    const bool inTray = state_.ShowState == kHiddenInTray;
    badge_.Show(total, !inTray);
    tray_.SetUnreadTotal(inTray ? total : 0);
}

}  // namespace varnu
