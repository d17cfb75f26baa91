// The system hot keys of the main window: the tab-switching keys, which the
// program holds only while its window is in front, and the actions of every
// hot key it owns.
#include "main/core/hot_keys.h"
#include "main/main_window.h"

namespace varnu {

// A combination already taken by another program is left to it without a
// word: this runs on every activation of the main window, and a notice each
// time would be worse than a key that does not work. Only the user's own
// global key (id 1) is worth a notice, once, at start-up.
void frmMain::RegisterTabKeys() {
    HWND window = hwnd();
    if (!window) return;
    for (const HotKeyDef& key : TabHotKeys()) ::RegisterHotKey(window, key.id, key.modifiers, key.virtualKey);
}

void frmMain::UnregisterTabKeys() {
    HWND window = hwnd();
    if (!window) return;
    for (const HotKeyDef& key : TabHotKeys()) ::UnregisterHotKey(window, key.id);
}

void frmMain::KeyFunctions(WPARAM id) {
    const KeyDecision d = DecideKeyFunction(static_cast<std::uint32_t>(id), btnTab.Selected(), btnTab.Count(),
                                            state_.MainActive, state_.ShowState);
    switch (d.action) {
    case KeyAction::ToggleTray: ShowInTaskBar(d.showInTaskBar); break;
    case KeyAction::SelectTab: btnTab.SetSelected(d.index); break;
    case KeyAction::NextUnread: SelectNextUnread(); break;
    case KeyAction::Find: OpenFindBox(); break;
    case KeyAction::None: break;
    }
}

}  // namespace varnu
