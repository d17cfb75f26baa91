#pragma once
// The program-wide settings values, one per key of "set.ini" (except the
// window geometry, which only the main window reads and writes).
#include <cstdint>
#include <string>

namespace varnu {

struct Settings {
    bool tab_Bottom = false;
    std::int32_t tab_Selected = 0;
    std::int32_t tab_Normal = 0;
    std::int32_t tab_Hot = 0;
    bool tab_Roll = false;
    bool tab_Skin = false;
    std::int32_t tray_Enabled = 0;
    std::int32_t tray_MsgTip = 0;
    std::int32_t tray_AlwaysShowTip = 0;
    std::int32_t tray_CloseTray = 0;
    std::int32_t tray_AutoMin = 0;
    std::int32_t tray_TipTime = 0;
    std::int32_t org_ExitMsg = 0;
    std::int32_t org_AutoRun = 0;
    std::int32_t org_AutoSwitch = 0;
    std::int32_t org_AutoSize = 0;
    std::wstring org_QQPath;
    std::wstring org_QQName;
    std::int32_t hot_Enabled = 0;
    std::int32_t hot_Key = 0;
    std::int32_t hot_Mod = 0;
};

}  // namespace varnu
