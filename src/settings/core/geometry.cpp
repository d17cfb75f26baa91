#include "settings/core/geometry.h"

#include <algorithm>
#include <cstdint>

namespace varnu::settings_core {

namespace {
// Window coordinates travel as 16-bit values in many places of the system.
constexpr long long kMaxCoordinate = 32767;
constexpr long long kMinCoordinate = -32768;
}  // namespace

int TwipsToPixels(std::int32_t twips) {
    const long long t = twips;
    const long long half = kTwipsPerPixel / 2;
    const long long pixels = t >= 0 ? (t + half) / kTwipsPerPixel : -((-t + half) / kTwipsPerPixel);
    return static_cast<int>(std::clamp(pixels, kMinCoordinate, kMaxCoordinate));
}

std::int32_t PixelsToTwips(long long pixels) {
    const long long twips = pixels * kTwipsPerPixel;
    return static_cast<std::int32_t>(std::clamp<long long>(twips, INT32_MIN, INT32_MAX));
}

SizeTwips FitRestoredSize(SizeTwips restored, int clientWidthPx, int clientHeightPx) {
    if (clientWidthPx <= kSmallestClientPixels) restored.width = kDefaultWidthTwips;
    if (clientHeightPx <= kSmallestClientPixels) restored.height = kDefaultHeightTwips;
    return restored;
}

std::int32_t RestoredEdge(std::int32_t twips) { return twips < 0 ? 0 : twips; }

}  // namespace varnu::settings_core
