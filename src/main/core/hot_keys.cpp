#include "main/core/hot_keys.h"

#include "main/core/show_state.h"

#include "hooklib/hook_messages.h"

namespace varnu {

const std::array<HotKeyDef, 14>& TabHotKeys() noexcept {
    // Ctrl+` and Ctrl+K mean nothing to Windows, its input methods, a rich
    // edit box or the messenger's conversation window, and with Ctrl held
    // neither types a character: taking them costs the user nothing.
    static constexpr std::array<HotKeyDef, 14> kKeys{{
        {2, kModCtrl, 0x09},
        {3, kModCtrl | kModShift, 0x09},
        {4, kModCtrl, 0x30},
        {5, kModCtrl, 0x31},
        {6, kModCtrl, 0x32},
        {7, kModCtrl, 0x33},
        {8, kModCtrl, 0x34},
        {9, kModCtrl, 0x35},
        {10, kModCtrl, 0x36},
        {11, kModCtrl, 0x37},
        {12, kModCtrl, 0x38},
        {13, kModCtrl, 0x39},
        {kHotKeyNextUnread, kModCtrl, 0xC0},  // VK_OEM_3, the key left of 1
        {kHotKeyFind, kModCtrl, 0x4B},        // K
    }};
    return kKeys;
}

std::optional<int> StepSelection(int selected, int count, bool forward) noexcept {
    // Without tabs the plain arithmetic would ask for tab 0 or -2, and a
    // Changed for a tab that does not exist would point at the list head.
    if (count <= 0) return std::nullopt;
    if (selected < 0 || selected >= count) return forward ? 0 : count - 1;
    if (forward) return selected + 1 == count ? 0 : selected + 1;
    return (selected == 0 ? count : selected) - 1;
}

KeyDecision DecideKeyFunction(std::uint32_t id, int selected, int count, bool mainActive, int showState) noexcept {
    KeyDecision d;
    const int key = static_cast<int>(id & 0xFF);
    if (key == kHotKeyShowHide) {
        d.action = KeyAction::ToggleTray;
        d.showInTaskBar = showState == kHiddenInTray;
        return d;
    }
    if (key < kHotKeyNextTab || key > kHotKeyLastId || !mainActive || count <= 0) return d;

    if (key == kHotKeyNextUnread || key == kHotKeyFind) {
        d.action = key == kHotKeyFind ? KeyAction::Find : KeyAction::NextUnread;
        return d;
    }
    std::optional<int> target;
    if (key == kHotKeyNextTab)
        target = StepSelection(selected, count, true);
    else if (key == kHotKeyPrevTab)
        target = StepSelection(selected, count, false);
    else if (key == kHotKeyLastTab)
        target = count - 1;
    else
        target = key - kHotKeyFirstDigit;

    if (target) {
        d.action = KeyAction::SelectTab;
        d.index = *target;
    }
    return d;
}

HookNotice DecodeHookNotify(std::uintptr_t wParam, std::intptr_t lParam) noexcept {
    if (wParam == HOOKNOTIFY_CTRL && lParam == HOOKNOTIFY_CTRL_DOWN) return HookNotice::ShowNumbers;
    if (wParam == HOOKNOTIFY_CTRL && lParam == HOOKNOTIFY_CTRL_UP) return HookNotice::HideNumbers;
    if (wParam == HOOKNOTIFY_WHEEL && lParam == HOOKNOTIFY_WHEEL_TOWARDS) return HookNotice::StepNext;
    if (wParam == HOOKNOTIFY_WHEEL && lParam == HOOKNOTIFY_WHEEL_AWAY) return HookNotice::StepPrevious;
    return HookNotice::None;
}

}  // namespace varnu
