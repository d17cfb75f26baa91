#pragma once
// frmSet: the modeless settings dialog. It shows the settings values, lets
// the user capture the global hot key, pick the three tab colours and the
// messenger's folder, and on OK stores, applies and writes them.
#include <windows.h>

#include <functional>

#include "settings/settings.h"

namespace varnu {

// What the dialog needs of the main window.
struct SettingsDialogHost {
    HWND main = nullptr;  // owner, icon, the global hot key (id 1), its style
    // Applied at once on OK: the tab strip's Bottom, Roll, look and colours,
    // the balloon interval.
    std::function<void(const Settings&)> applyAtOnce;
    // The main window's resize handling (layout, and the strip painted anew).
    std::function<void()> resize;
};

// Opens the dialog, or brings the open one to the front.
void ShowSettingsDialog(const SettingsDialogHost& host);
// Unloads it (the main window's unload); nothing is stored.
void CloseSettingsDialog();
// The open dialog, or null.
HWND SettingsDialogWindow();

// Control ids of the dialog, for keyboard routing and tests.
enum SettingsControl : int {
    idOptTabPos0 = 1001,
    idOptTabPos1,
    idOptTabRoll0,
    idOptTabRoll1,
    idOptTabSkin0,
    idOptTabSkin1,
    idLblColor0 = 1010,
    idLblColor1,
    idLblColor2,
    idBtnSetColor0,
    idBtnSetColor1,
    idBtnSetColor2,
    idChkTray = 1020,
    idChkShowTip,
    idChkAlwaysShowTip,
    idChkAutoMin,
    idChkCloseTray,
    idChkExitMsg,
    idChkHotKey,
    idChkAutoRun,
    idChkAutoSize,
    idChkAutoSwitch,
    idTxtTipTime = 1040,
    idTxtHotKey,
    idTxtPath,
    idTxtExeName,
    idBtnBrowse,
    idLblPath,
    idLblExeName,
    idBtnOK = IDOK,
    idBtnCancel = IDCANCEL,
    idBtnDefault = 1050,
};

// The choice made in the colour dialog.
struct ColorChoice {
    COLORREF Color = 0;
    bool Cancelled = true;
};
// The standard colour dialog, fully open, starting at `colour`. The 16
// custom colours are one table for the whole run, random at first use.
ColorChoice ShowColorDialog(HWND owner, COLORREF colour);

}  // namespace varnu
