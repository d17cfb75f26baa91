#include "controls/shadebutton/core/shade_logic.h"

#include <algorithm>

namespace varnu::shade {

FadeTick AdvanceFade(std::int32_t& state, std::int16_t& level, std::int32_t speed) noexcept {
    FadeTick tick;
    int step = 0;
    switch (state) {
    case kNormal:
    case kDefault:
        step = kReturnStep;
        tick.caption = CaptionColour::Fore;
        break;
    case kHot:
        step = speed;
        tick.caption = CaptionColour::Hot;
        break;
    case kPressed:
        step = speed;
        tick.caption = CaptionColour::Pressed;
        break;
    default: return tick;  // settled, or a state nobody set: nothing to draw
    }
    // A zero or negative Speed would never arrive; one step per tick still does.
    step = std::clamp(step, 1, kOpaque);
    const int next = std::min<int>(level + step, 0x7fff);
    level = static_cast<std::int16_t>(next);
    tick.draw = true;
    tick.face = state;
    if (next < kOpaque) {
        tick.alpha = next;
    } else {
        tick.alpha = kOpaque;
        tick.settle = true;
        state = kSettled;
    }
    return tick;
}

MouseOutcome MouseTracker::Down(int button, float x, float y) noexcept {
    seen_ = true;
    x_ = x;
    y_ = y;
    MouseOutcome out;
    out.raise = true;
    if (button == kLeftButton) out.fadeTo = kPressed;
    return out;
}

MouseOutcome MouseTracker::Move(bool anyButtonDown, float x, float y, float width, float height,
                                bool isDefault) noexcept {
    MouseOutcome out;
    if (seen_ && x == x_ && y == y_) return out;
    seen_ = true;
    x_ = x;
    y_ = y;
    out.raise = true;
    out.inside = x >= 0 && x <= width && y >= 0 && y <= height;
    if (out.inside) {
        out.capture = true;
        if (!anyButtonDown) out.fadeTo = kHot;
    } else {
        out.releaseCapture = true;
        out.fadeTo = isDefault ? kDefault : kNormal;
    }
    return out;
}

MouseOutcome MouseTracker::Up() noexcept {
    MouseOutcome out;
    out.raise = true;
    out.fadeTo = kHot;
    return out;
}

std::array<Piece, 9> NineSlice(int width, int height) noexcept {
    const int w = std::max(width, 0);
    const int h = std::max(height, 0);
    const int innerW = std::max(w - 4, 0);
    const int innerH = std::max(h - 4, 0);
    const int right = std::max(w - 2, 0);
    const int bottom = std::max(h - 2, 0);
    return {{
        {2, 2, 2, 28, 2, 2, innerW, innerH},  // centre
        {0, 0, 2, 2, 0, 0, 2, 2},             // corners
        {4, 0, 2, 2, right, 0, 2, 2},
        {0, 30, 2, 2, 0, bottom, 2, 2},
        {4, 30, 2, 2, right, bottom, 2, 2},
        {2, 0, 2, 2, 2, 0, innerW, 2},  // top, bottom
        {2, 30, 2, 2, 2, bottom, innerW, 2},
        {0, 2, 2, 28, 0, 2, 2, innerH},  // left, right
        {4, 2, 2, 28, right, 2, 2, innerH},
    }};
}

namespace {

struct Rgb {
    int r, g, b;
};
struct Stop {
    int y;
    Rgb colour;
};

constexpr std::uint32_t Pack(Rgb c) noexcept {
    return static_cast<std::uint32_t>(c.r) | (static_cast<std::uint32_t>(c.g) << 8) |
           (static_cast<std::uint32_t>(c.b) << 16);
}

// Piecewise-linear colour through the stops, by row.
template <size_t N>
Rgb Ramp(const Stop (&stops)[N], int y) noexcept {
    if (y <= stops[0].y) return stops[0].colour;
    for (size_t i = 1; i < N; ++i) {
        if (y <= stops[i].y) {
            const Stop& a = stops[i - 1];
            const Stop& b = stops[i];
            const int span = b.y - a.y;
            if (span <= 0) return b.colour;
            const int t = y - a.y;
            return {a.colour.r + (b.colour.r - a.colour.r) * t / span,
                    a.colour.g + (b.colour.g - a.colour.g) * t / span,
                    a.colour.b + (b.colour.b - a.colour.b) * t / span};
        }
    }
    return stops[N - 1].colour;
}

// Rows 2..29 are the inside; row 1 and row 30 meet the border.
constexpr Stop kNormalCentre[] = {
    {1, {223, 230, 230}}, {2, {214, 222, 223}}, {16, {220, 226, 228}}, {30, {224, 229, 231}}};
constexpr Stop kHotCentre[] = {
    {1, {254, 247, 213}}, {14, {250, 229, 169}}, {15, {255, 207, 73}}, {30, {255, 229, 159}}};
constexpr Stop kPressedCentre[] = {
    {1, {204, 150, 102}}, {6, {255, 178, 104}}, {11, {255, 165, 53}}, {15, {255, 141, 5}}, {30, {255, 196, 80}}};
constexpr Stop kDefaultCentre[] = {{1, {255, 251, 213}}, {15, {255, 213, 70}}, {30, {255, 230, 145}}};
constexpr Stop kPlainSide[] = {{2, {187, 195, 199}}, {15, {154, 161, 165}}, {29, {184, 192, 194}}};
constexpr Stop kPressedSide[] = {{2, {168, 180, 182}}, {29, {122, 134, 139}}};
constexpr Stop kDefaultSide[] = {{2, {218, 195, 121}}, {29, {207, 186, 115}}};

Rgb Centre(int skin, int y) noexcept {
    switch (skin) {
    case kHot: return Ramp(kHotCentre, y);
    case kPressed: return Ramp(kPressedCentre, y);
    case kDefault: return Ramp(kDefaultCentre, y);
    default: return Ramp(kNormalCentre, y);
    }
}

Rgb Side(int skin, int y) noexcept {
    switch (skin) {
    case kPressed: return Ramp(kPressedSide, y);
    case kDefault: return Ramp(kDefaultSide, y);
    default: return Ramp(kPlainSide, y);
    }
}

Rgb TopBorder(int skin) noexcept {
    if (skin == kPressed) return {123, 102, 69};
    if (skin == kDefault) return {218, 196, 122};
    return {190, 198, 200};
}

Rgb BottomBorder(int skin) noexcept {
    if (skin == kPressed) return {167, 142, 102};
    if (skin == kDefault) return {207, 186, 115};
    return {188, 196, 199};
}

Rgb OuterCorner(int skin, bool top) noexcept {
    if (skin == kDefault) return {236, 243, 251};
    return top ? Rgb{237, 239, 240} : Rgb{241, 244, 244};
}

}  // namespace

std::uint32_t SkinPixel(int skin, int x, int y) noexcept {
    x = std::clamp(x, 0, kSkinWidth - 1);
    y = std::clamp(y, 0, kSkinHeight - 1);
    const bool leftOrRight = x < 2 || x >= 4;
    const bool outerColumn = x == 0 || x == kSkinWidth - 1;
    const bool top = y < 2;
    const bool bottom = y >= 30;
    if (leftOrRight && (top || bottom)) {
        // The very corner pixel is the light outer colour, so the face looks
        // rounded; the rest of the 2 x 2 corner joins the border.
        const bool outerRow = y == 0 || y == kSkinHeight - 1;
        if (outerColumn && outerRow) return Pack(OuterCorner(skin, top));
        if (outerColumn || outerRow) return Pack(top ? TopBorder(skin) : BottomBorder(skin));
        return Pack(Centre(skin, y));
    }
    if (top) return Pack(y == 0 ? TopBorder(skin) : Centre(skin, 1));
    if (bottom) return Pack(y == kSkinHeight - 1 ? BottomBorder(skin) : Centre(skin, 30));
    if (leftOrRight && outerColumn) return Pack(Side(skin, y));
    return Pack(Centre(skin, y));
}

}  // namespace varnu::shade
