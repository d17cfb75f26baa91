#pragma once
// Units shared by the layout, the settings file and the dialogs. Free of
// windows.h, so pure code can use it too.

// Window outer sizes, the "win_" settings and the dialogs' design sizes are
// in twips; layout numbers are in pixels. Varnu runs DPI-unaware, so the
// ratio is the one at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;
