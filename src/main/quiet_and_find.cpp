// Ways through many conversations: quiet ones ("免打扰"), which count their
// messages without calling for the user; the key to the next unread one; and
// the find box, which picks a conversation by typing part of its name.
#include <windows.h>

#include <memory>
#include <vector>

#include "main/core/find_match.h"
#include "main/core/unread.h"
#include "main/find_box.h"
#include "main/main_window.h"

namespace varnu {

void frmMain::ToggleQuiet(int tab) {
    const LinkPtr target = chats_.AtTab(tab);
    if (!target) return;
    const bool quiet = !target->Quiet;
    int t = 0;
    for (LinkPtr n = chats_.WinList()->theNext; n; n = n->theNext, ++t) {
        if (n->Title != target->Title) continue;
        n->Quiet = quiet;
        btnTab.SetItemQuiet(t, quiet);
        btnTab.HilightItem(t, WantsReading(*n));
    }
    quiet_.Remember(target->Title, quiet);
    ShowUnreadTotal();
}

void frmMain::SelectNextUnread() {
    if (const auto tab = NextUnreadTab(*chats_.WinList(), btnTab.Selected())) btnTab.SetSelected(*tab);
}

void frmMain::OpenFindBox() {
    std::vector<FindCandidate> candidates;
    // The tabs may move or close while the box is open: the choice is
    // carried out on the record, wherever its tab stands by then.
    std::vector<std::weak_ptr<clsLink>> records;
    int tab = 0;
    for (LinkPtr n = chats_.WinList()->theNext; n; n = n->theNext, ++tab) {
        candidates.push_back({n->Title, n->MsgNum, tab});
        records.push_back(n);
    }
    if (candidates.empty()) return;
    const TabRect r = btnTab.GetRect();
    const PixelRect strip =
        TabStripArea({r.left, r.top, r.right - r.left, r.bottom - r.top}, btnTab.GetHeaderHeight(), btnTab.Bottom());
    const RECT onScreen{strip.left, strip.top, strip.left + strip.width, strip.top + strip.height};
    ShowFindBox(hwnd(), onScreen, std::move(candidates), [this, records = std::move(records)](int chosen) {
        if (chosen < 0 || chosen >= static_cast<int>(records.size())) return;
        if (const auto now = chats_.TabOf(records[static_cast<std::size_t>(chosen)].lock())) btnTab.SetSelected(*now);
    });
}

}  // namespace varnu
