#pragma once
// The main window's saved geometry: "set.ini" keeps sizes and edges in twips,
// the window works in pixels.
#include <cstdint>

#include "win32/units.h"

namespace varnu::settings_core {

using ::kTwipsPerPixel;
inline constexpr std::int32_t kDefaultWidthTwips = 10560;  // 704 pixels
inline constexpr std::int32_t kDefaultHeightTwips = 8355;  // 557 pixels
// A restored client area this small (or smaller) is taken as a broken file.
inline constexpr int kSmallestClientPixels = 200;

// Window states as win_Status stores them.
inline constexpr std::int32_t kStateNormal = 0;
inline constexpr std::int32_t kStateMinimised = 1;
inline constexpr std::int32_t kStateMaximised = 2;
inline bool IsWindowState(std::int32_t value) { return value >= kStateNormal && value <= kStateMaximised; }

// Twips to pixels, rounded to the nearest pixel, and kept within the range
// window coordinates can take (a hand-edited huge value must not ask the
// system for an absurd window).
int TwipsToPixels(std::int32_t twips);
// Pixels to twips, saturating at the 32-bit range.
std::int32_t PixelsToTwips(long long pixels);

struct SizeTwips {
    std::int32_t width;
    std::int32_t height;
};
// The 200-pixel rule: given the size just set and the client area that came
// of it, the size to use instead.
SizeTwips FitRestoredSize(SizeTwips restored, int clientWidthPx, int clientHeightPx);

// A saved edge left or above the screen's origin is moved to 0.
std::int32_t RestoredEdge(std::int32_t twips);

}  // namespace varnu::settings_core
