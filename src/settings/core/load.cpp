#include "settings/core/load.h"

#include "settings/core/convert.h"
#include "settings/core/geometry.h"
#include "settings/core/paths.h"

namespace varnu::settings_core {

bool KeyReader::Bool(std::wstring_view key, std::wstring_view defaultText) {
    if (const auto value = TextToBoolean(lookup_(key, defaultText))) return *value;
    unreadable_.emplace_back(key);
    return TextToBoolean(defaultText).value_or(false);
}

std::int32_t KeyReader::Int(std::wstring_view key, std::wstring_view defaultText) {
    if (const auto value = TextToInt32(lookup_(key, defaultText))) return *value;
    unreadable_.emplace_back(key);
    return TextToInt32(defaultText).value_or(0);
}

std::wstring KeyReader::Text(std::wstring_view key, std::wstring_view defaultText) const {
    return lookup_(key, defaultText);
}

std::int32_t KeyReader::WindowState() {
    constexpr wchar_t kKey[] = L"win_Status";
    const auto value = TextToInt32(lookup_(kKey, L"0"));
    if (value && IsWindowState(*value)) return *value;
    unreadable_.emplace_back(kKey);
    return kStateNormal;
}

Settings ReadSettingValues(KeyReader& read) {
    Settings s;
    s.tab_Bottom = read.Bool(L"tab_Bottom", L"True");
    s.tab_Selected = read.Int(L"tab_Selected", L"16756580");
    s.tab_Normal = read.Int(L"tab_Normal", L"16763046");
    s.tab_Hot = read.Int(L"tab_Hot", L"5700777");
    s.tab_Roll = read.Bool(L"tab_Roll", L"False");
    s.tab_Skin = read.Bool(L"tab_Skin", L"True");
    s.tray_Enabled = read.Int(L"tray_Enabled", L"1");
    s.tray_MsgTip = read.Int(L"tray_MsgTip", L"0");
    s.tray_AlwaysShowTip = read.Int(L"tray_AlwaysShowTip", L"0");
    s.tray_CloseTray = read.Int(L"tray_CloseTray", L"0");
    s.tray_AutoMin = read.Int(L"tray_AutoMin", L"1");
    // The balloon timer multiplies by 1000 and takes at most 65,535 ms; a
    // hand-edited value is kept within the dialog's range.
    s.tray_TipTime = ClampTipTime(read.Int(L"tray_TipTime", L"3"));
    s.org_ExitMsg = read.Int(L"org_ExitMsg", L"0");
    s.org_AutoRun = read.Int(L"org_AutoRun", L"0");
    s.org_AutoSwitch = read.Int(L"org_AutoSwitch", L"1");
    s.org_AutoSize = read.Int(L"org_AutoSize", L"0");
    s.org_QQPath = read.Text(L"org_QQPath", L"");
    s.org_QQName = read.Text(L"org_QQName", kDefaultMessengerName);
    s.hot_Enabled = read.Int(L"hot_Enabled", L"0");
    s.hot_Key = read.Int(L"hot_Key", L"0");
    s.hot_Mod = read.Int(L"hot_Mod", L"0");
    return s;
}

}  // namespace varnu::settings_core
