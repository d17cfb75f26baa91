#pragma once
// clsTabStripXP: paints the tabs of an owner-drawn tab window in the XP look
// (DrawTabStrip2) or the messenger's look (DrawTabStrip). One painter serves
// one repaint and keeps nothing; it owns neither the DC nor the window.
// Colours come from its caller, as tab_Normal, tab_Selected and tab_Hot.
#include <windows.h>

#include <string>
#include <vector>

#include "controls/xpstyle/core/strip_paint.h"

namespace varnu {

class clsTabStripXP {
public:
    HDC hdc = nullptr;
    HWND hWnd = nullptr;  // the tab window
    int CurrentItem = -1;
    int LastItem = -1;
    std::wstring ItemFont = win32::kUiFontName;
    bool ItemItalic = false;
    bool ItemUnderline = false;
    int ItemSize = win32::kUiFontPoints;
    bool CleanItem = false;
    std::vector<int> RequestedItems;  // drawn in their plain look first
    xp::StripColours Colours;

    void DrawTabStrip();   // the messenger's look
    void DrawTabStrip2();  // the XP look

private:
    void Paint(bool xpLook);
};

}  // namespace varnu
