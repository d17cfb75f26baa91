#pragma once
// clsTabStripXP: paints the tabs of an owner-drawn tab window in the XP look
// (DrawTabStrip2) or the messenger's look (DrawTabStrip). One painter serves
// one repaint and keeps nothing; it owns neither the DC nor the window.
// Colours come from tab_Normal, tab_Selected and tab_Hot, read at each paint.
#include <windows.h>

#include <string>
#include <vector>

namespace varnu {

class clsTabStripXP {
public:
    HDC hdc = nullptr;
    HWND hWnd = nullptr;  // the tab window
    int CurrentItem = -1;
    int LastItem = -1;
    std::wstring ItemFont = L"宋体";
    bool ItemItalic = false;
    bool ItemUnderline = false;
    int ItemSize = 9;
    bool CleanItem = false;
    std::vector<int> RequestedItems;  // drawn in their plain look first

    void DrawTabStrip() noexcept;   // the messenger's look
    void DrawTabStrip2() noexcept;  // the XP look

private:
    void Paint(bool xpLook) noexcept;
};

}  // namespace varnu
