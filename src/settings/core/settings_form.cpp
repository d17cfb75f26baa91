#include "settings/core/settings_form.h"

#include "settings/core/convert.h"
#include "settings/core/paths.h"

namespace varnu::settings_core {
namespace {

int CheckValue(std::int32_t value, int designState) { return value == 0 || value == 1 ? value : designState; }

std::wstring Decimal(std::int32_t value) { return std::to_wstring(value); }

}  // namespace

SettingsForm DesignTimeForm() {
    SettingsForm form;
    form.colours = {0, 0, 0};
    form.tabPosTop = false;      // "下方"
    form.tabRollScroll = false;  // "多行"
    form.tabSkinXp = true;       // "XP风格"
    form.checks[chkTray] = 1;
    form.checks[chkAutoMin] = 1;
    form.checks[chkAutoSwitch] = 1;
    form.tipTime = L"3";
    form.exeName = kDefaultMessengerName;
    form.hotKeyText = kNoHotKey;
    return form;
}

SettingsForm LoadForm(const Settings& s, std::wstring_view hotKeyText) {
    const SettingsForm design = DesignTimeForm();
    SettingsForm form = design;
    form.colours = {s.tab_Selected, s.tab_Normal, s.tab_Hot};
    form.tabPosTop = !s.tab_Bottom;
    form.tabRollScroll = s.tab_Roll;
    form.tabSkinXp = s.tab_Skin;
    const std::int32_t values[kCheckBoxCount] = {
        s.tray_Enabled, s.tray_MsgTip, s.tray_AlwaysShowTip, s.tray_AutoMin, s.tray_CloseTray,
        s.org_ExitMsg,  s.hot_Enabled, s.org_AutoRun,        s.org_AutoSize, s.org_AutoSwitch};
    for (int i = 0; i < kCheckBoxCount; ++i) form.checks[i] = CheckValue(values[i], design.checks[i]);
    form.tipTime = Decimal(s.tray_TipTime);
    form.qqPath = s.org_QQPath;
    form.exeName = s.org_QQName;
    form.hotKeyText.assign(hotKeyText);
    return form;
}

void StoreForm(const SettingsForm& form, Settings& s) {
    s.tab_Selected = form.colours[0];
    s.tab_Normal = form.colours[1];
    s.tab_Hot = form.colours[2];
    s.tab_Bottom = !form.tabPosTop;
    s.tab_Roll = form.tabRollScroll;
    s.tab_Skin = form.tabSkinXp;
    s.tray_Enabled = form.checks[chkTray];
    s.tray_MsgTip = form.checks[chkShowTip];
    s.tray_TipTime = ClampTipTime(TextToInt32(NormalTipTimeText(form.tipTime)).value_or(3));
    s.tray_AlwaysShowTip = form.checks[chkAlwaysShowTip];
    s.tray_CloseTray = form.checks[chkCloseTray];
    s.tray_AutoMin = form.checks[chkAutoMin];
    s.org_ExitMsg = form.checks[chkExitMsg];
    s.org_AutoRun = form.checks[chkAutoRun];
    s.org_QQPath = form.qqPath;
    s.org_QQName = form.exeName;
    s.org_AutoSwitch = form.checks[chkAutoSwitch];
    s.org_AutoSize = form.checks[chkAutoSize];
    s.hot_Enabled = form.checks[chkHotKey];
}

SettingsForm RestoreDefaults(SettingsForm form, std::wstring_view registryQQPath) {
    form.colours = {kDefaultSelectedColour, kDefaultNormalColour, kDefaultHotColour};
    form.tabPosTop = false;
    form.tabRollScroll = false;
    form.checks[chkTray] = 1;
    form.checks[chkAutoSwitch] = 1;
    form.checks[chkShowTip] = 0;
    form.checks[chkHotKey] = 0;
    form.checks[chkCloseTray] = 0;
    form.checks[chkExitMsg] = 0;
    form.checks[chkAutoRun] = 0;
    form.checks[chkAutoMin] = 1;
    form.exeName = kDefaultMessengerName;
    form.tipTime = L"3";
    if (!registryQQPath.empty()) form.qqPath.assign(registryQQPath);
    return form;
}

std::vector<std::pair<std::wstring_view, std::wstring>> KeysWrittenByOk(const Settings& s) {
    const auto boolean = [](bool value) { return std::wstring(BooleanText(value)); };
    return {
        {L"tab_Bottom", boolean(s.tab_Bottom)},
        {L"tab_Selected", Decimal(s.tab_Selected)},
        {L"tab_Normal", Decimal(s.tab_Normal)},
        {L"tab_Hot", Decimal(s.tab_Hot)},
        {L"tab_Roll", boolean(s.tab_Roll)},
        {L"tab_Skin", boolean(s.tab_Skin)},
        {L"tray_Enabled", Decimal(s.tray_Enabled)},
        {L"tray_MsgTip", Decimal(s.tray_MsgTip)},
        {L"tray_TipTime", Decimal(s.tray_TipTime)},
        {L"tray_AlwaysShowTip", Decimal(s.tray_AlwaysShowTip)},
        {L"tray_CloseTray", Decimal(s.tray_CloseTray)},
        {L"tray_AutoMin", Decimal(s.tray_AutoMin)},
        {L"org_ExitMsg", Decimal(s.org_ExitMsg)},
        {L"org_AutoRun", Decimal(s.org_AutoRun)},
        {L"org_QQPath", s.org_QQPath},
        {L"org_QQName", s.org_QQName},
        {L"org_AutoSwitch", Decimal(s.org_AutoSwitch)},
        {L"org_AutoSize", Decimal(s.org_AutoSize)},
        {L"hot_Enabled", Decimal(s.hot_Enabled)},
    };
}

namespace {
constexpr HotKeyPrefix kPrefixes[8] = {
    {L"", 0},       {L"Shift + ", 4},       {L"Ctrl + ", 2},       {L"Ctrl + Shift + ", 6},
    {L"Alt + ", 1}, {L"Alt + Shift + ", 5}, {L"Ctrl + Alt + ", 3}, {L"Ctrl + Alt + Shift + ", 7},
};
}  // namespace

HotKeyPrefix PrefixForShiftState(int shiftState) { return kPrefixes[shiftState & 7]; }

bool IsModifierKey(std::int32_t virtualKey) { return virtualKey >= 16 && virtualKey <= 18; }

bool IsPrefixOnly(std::wstring_view text) {
    for (int state = 1; state < 8; ++state)
        if (text == kPrefixes[state].text) return true;
    return false;
}

bool IsExtendedKey(std::int32_t virtualKey) {
    switch (virtualKey) {
    case 0x21:
    case 0x22:
    case 0x23:
    case 0x24:  // Page Up, Page Down, End, Home
    case 0x25:
    case 0x26:
    case 0x27:
    case 0x28:  // arrows
    case 0x2D:
    case 0x2E:  // Insert, Delete
    case 0x6F:
    case 0x90:  // keypad divide, Num Lock
    case 0x5B:
    case 0x5C:
    case 0x5D:  // Windows keys, Apps
        return true;
    default: return false;
    }
}

bool TipTimeCharAllowed(wchar_t ch) { return (ch >= L'0' && ch <= L'9') || ch == 8; }

std::wstring NormalTipTimeText(std::wstring_view text) {
    std::wstring digits;
    for (wchar_t ch : text)
        if (ch >= L'0' && ch <= L'9') digits.push_back(ch);
    if (digits.empty()) return L"3";
    const size_t first = digits.find_first_not_of(L'0');
    if (first == std::wstring::npos) return L"3";  // the value 0
    if (digits.size() - first > 2) return L"60";   // three digits and more: 100 or above
    const int value = std::stoi(digits.substr(first));
    if (value >= 61) return L"60";
    return digits;
}

}  // namespace varnu::settings_core
