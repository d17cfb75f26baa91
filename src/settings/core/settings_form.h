#pragma once
// The settings dialog without its window: what each control shows for the
// settings values, what OK makes of the controls, the defaults button, the
// keys OK writes, the hot-key capture texts and the tip-time box rules.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/core/settings_values.h"

namespace varnu::settings_core {

// The ten check boxes, in the order the dialog loads them.
enum CheckBox : int {
    chkTray,
    chkShowTip,
    chkAlwaysShowTip,
    chkAutoMin,
    chkCloseTray,
    chkExitMsg,
    chkHotKey,
    chkAutoRun,
    chkAutoSize,
    chkAutoSwitch,
    kCheckBoxCount
};

inline constexpr std::int32_t kDefaultSelectedColour = 16756580;
inline constexpr std::int32_t kDefaultNormalColour = 16763046;
inline constexpr std::int32_t kDefaultHotColour = 5700777;
inline constexpr wchar_t kNoHotKey[] = L"无";

// What the controls show. Each option group is one flag: whether its option
// 0 is selected ("上方", "滚动", "XP风格").
struct SettingsForm {
    std::array<std::int32_t, 3> colours{};  // lblColor 0..2 backgrounds
    bool tabPosTop = false;
    bool tabRollScroll = false;
    bool tabSkinXp = true;
    std::array<int, kCheckBoxCount> checks{};  // 0 or 1
    std::wstring tipTime;
    std::wstring qqPath;
    std::wstring exeName;
    std::wstring hotKeyText;
};

// The controls as the dialog is designed, before anything is loaded.
SettingsForm DesignTimeForm();

// Opening: the settings shown in the controls. A check-box value other
// than 0 or 1 (a hand-edited file) leaves that box in its design state.
SettingsForm LoadForm(const Settings& s, std::wstring_view hotKeyText);

// OK first copies the controls into the settings. The hot key itself
// (hot_Key, hot_Mod) is the capture's, not the form's.
void StoreForm(const SettingsForm& form, Settings& s);

// "恢复默认": the controls it resets; the skin, "在前台时也显示气泡",
// the size following and the hot key keep what they show. The messenger
// folder is replaced only by a folder found in the registry.
SettingsForm RestoreDefaults(SettingsForm form, std::wstring_view registryQQPath);

// Then OK writes these keys, in this order, with their text forms.
std::vector<std::pair<std::wstring_view, std::wstring>> KeysWrittenByOk(const Settings& s);

// Which controls follow a check box: the dependent ones are enabled exactly
// while the box is ticked.
inline bool DependentsEnabled(const SettingsForm& form, CheckBox box) { return form.checks[box] == 1; }

// Hot-key capture. Shift state bits: 1 Shift, 2 Ctrl, 4 Alt.
struct HotKeyPrefix {
    std::wstring_view text;
    std::int32_t modifiers;  // as RegisterHotKey takes them: 1 Alt, 2 Ctrl, 4 Shift
};
HotKeyPrefix PrefixForShiftState(int shiftState);
// Shift, Ctrl and Alt themselves only change the prefix.
bool IsModifierKey(std::int32_t virtualKey);
// On key up: the box shows a prefix alone (only modifiers were pressed).
bool IsPrefixOnly(std::wstring_view text);
// Keys whose scan code is shared with the numeric keypad: their name must be
// asked for with the extended bit, or Delete reads as the keypad's key.
bool IsExtendedKey(std::int32_t virtualKey);

// The tip-time box: which typed characters pass (digits and backspace), and
// the text it must show after a change, always within 1..60. Pasted text
// keeps its digits only, so "12s" becomes "12" and "abc" the default "3".
bool TipTimeCharAllowed(wchar_t ch);
std::wstring NormalTipTimeText(std::wstring_view text);

}  // namespace varnu::settings_core
