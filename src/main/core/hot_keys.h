#pragma once
// Hot-key table and the decisions of KeyFunctions, the hook notices and the
// shared next/previous stepping of the tab selection.
#include <array>
#include <cstdint>
#include <optional>

#include "settings/core/hot_key_ids.h"

namespace varnu {

struct HotKeyDef {
    int id;
    std::uint32_t modifiers;
    std::uint32_t virtualKey;
};

// Ids 2..15 in registration order (Tab keys, digits 0..9, next unread, find).
const std::array<HotKeyDef, 14>& TabHotKeys() noexcept;

// Next or previous tab with wrap-around. No value when there is no tab.
// A selection outside 0..count-1 steps to the first (next) or last
// (previous) tab.
std::optional<int> StepSelection(int selected, int count, bool forward) noexcept;

enum class KeyAction {
    None,
    ToggleTray,  // ShowInTaskBar(showInTaskBar)
    SelectTab,   // btnTab.Selected = index (may be past the last tab; the
                 // tab control then re-reports the current one)
    NextUnread,  // the next tab with unread messages that is not quiet
    Find,        // the find box
};

struct KeyDecision {
    KeyAction action = KeyAction::None;
    int index = 0;               // SelectTab
    bool showInTaskBar = false;  // ToggleTray: true brings the window back
};

// KeyFunctions: only the low byte of the id counts. Tab keys act only while
// the main window is active and there is at least one tab.
KeyDecision DecideKeyFunction(std::uint32_t id, int selected, int count, bool mainActive, int showState) noexcept;

enum class HookNotice { None, ShowNumbers, HideNumbers, StepNext, StepPrevious };

// WM_HOOKNOTIFY's (wParam, lParam); unknown pairs are None.
HookNotice DecodeHookNotify(std::uintptr_t wParam, std::intptr_t lParam) noexcept;

}  // namespace varnu
