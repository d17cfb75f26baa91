#pragma once
// Arithmetic of the chat-window layout: where picWin goes inside the main
// window, where the selected chat window goes inside picWin so that its frame
// and caption stay out of sight, and how the main window follows a chat
// window's size. All values are pixels except the outer-size deltas (twips).
#include <cstdint>

#include "win32/units.h"

namespace varnu {

struct PixelRect {
    int left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Hidden margins of a captured window: left, right, bottom, and the caption
// height, which is larger for QQ2009 windows (kind 5).
int ChatCaptionHeight(std::int32_t kind) noexcept;  // 44 for kind 5, else 26
int ChatExtraWidth() noexcept;                      // 14 (8 left + 6 right)
int ChatExtraHeight(std::int32_t kind) noexcept;    // 51 for kind 5, else 33

// picWin inside a client area W x H whose tab rows take headerHeight pixels.
// Bottom tabs: (2, 2, W-4, H-h-6); top tabs: (2, h+3, W-5, H-h-4).
PixelRect PicWinPlacement(int clientWidth, int clientHeight, int headerHeight, bool tabsAtBottom) noexcept;

// The selected chat window's rectangle in picWin's client coordinates.
PixelRect ChatWindowFit(int picWinWidth, int picWinHeight, std::int32_t kind) noexcept;

// Input of AdjustQQWindow / AdjustTabWindow.
struct LayoutInput {
    int chatWidth = 0, chatHeight = 0;                     // outer size of the chat window (or node W, H)
    int picWinWidth = 0, picWinHeight = 0, picWinTop = 0;  // picWin now
    int innerHeight = 0;                                   // main window's client height
    int headerHeight = 0;                                  // btnTab.GetHeaderHeight
    int showState = 0;                                     // a WindowShow: 0 normal, 1 tray, 2 maximised
    bool tabsAtBottom = true;
    std::int32_t kind = 0;  // clsLink::version
};

// What to change: the new picWin size and top (equal to the input where
// nothing changes) and how much the main window's outer size must grow.
struct LayoutChange {
    int picWinWidth = 0, picWinHeight = 0, picWinTop = 0;
    int outerWidthDeltaTwips = 0;
    int outerHeightDeltaTwips = 0;
    friend bool operator==(const LayoutChange&, const LayoutChange&) = default;
};

// Fit from the chat window's live size: width step when w > 14, height step
// when h > 33 after picWin's height (and top, with top tabs) is recomputed
// from the header height. The outer size moves only in ShowState 0.
LayoutChange AdjustQQWindowSizes(const LayoutInput& in) noexcept;

// Fit from the node's stored W, H: width step when w >= 15, height step when
// h >= 34, taking the current picWin height as it is.
LayoutChange AdjustTabWindowSizes(const LayoutInput& in) noexcept;

}  // namespace varnu
