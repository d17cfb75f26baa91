#pragma once
// The tab strip's two looks as plain geometry: from the tab rectangles, the
// selection, the hovered and previously hovered tab, the highlight flags and
// the colours, the list of one-pixel lines, single pixels and captions that a
// repaint draws, in drawing order. The Win32 side only carries the list out.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "win32/ui_font.h"

namespace varnu::xp {

using Colour = std::uint32_t;  // 0x00BBGGRR, already resolved (no system-colour bit)

constexpr Colour Rgb(int r, int g, int b) noexcept {
    return static_cast<Colour>(r) | (static_cast<Colour>(g) << 8) | (static_cast<Colour>(b) << 16);
}

// Lightens (amount > 0) or darkens a colour. Red and green move by the plain
// amount, blue in proportion to its own value; results are clamped in the
// direction of the change.
Colour AdjustColor(Colour colour, int amount) noexcept;

// Nearest integer, ties to even: the rounding the gradients are defined with.
int RoundHalfEven(double value) noexcept;

struct ItemRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const ItemRect&, const ItemRect&) = default;
};

struct PaintOp {
    enum class Kind { Line, Pixel, Caption };
    Kind kind = Kind::Line;
    // Line: (x1, y1) to (x2, y2), end point not drawn. Pixel: (x1, y1).
    // Caption: the item rectangle (x1, y1, x2, y2) of tab `item`.
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    Colour colour = 0;
    int item = -1;
    friend bool operator==(const PaintOp&, const PaintOp&) = default;
};

// What the painter learns about one tab. `rect` is empty when the query failed.
struct TabFacts {
    bool rectKnown = false;
    ItemRect rect;
    bool highlighted = false;
    bool hasText = false;  // the caption holds more than blanks
    bool quiet = false;    // gets the quiet mark
};

enum class Look { Messenger, Xp };

// The three tab colours as their owner keeps them: 0x00BBGGRR, or a system
// colour with the high bit set, looked up at each paint.
struct StripColours {
    std::int32_t normal = 0, selected = 0, hot = 0;
};

// What the strip is drawn with. The strip reads no settings of its own: its
// owner hands it one and pushes a new one when they change; the next repaint
// shows it.
struct StripStyle {
    Look look = Look::Xp;
    StripColours colours;
    std::wstring fontName = win32::kUiFontName;
    int fontPoints = win32::kUiFontPoints;
};

struct StripInput {
    int selected = -1;
    int count = 0;
    int current = -1;    // the hovered tab, or the one last asked to be drawn
    int last = -1;       // the previous current tab
    bool clean = false;  // paint the current tab without its hot look
    // Tabs the tab window asked to have drawn since the last repaint; they
    // are drawn in their plain look first, so one repaint serves a whole
    // paint of the tab window.
    std::vector<int> requested;
    bool bottom = false;
    Colour normal = 0, selectedColour = 0, hot = 0;  // tab_Normal, tab_Selected, tab_Hot
    Colour buttonFace = 0;                           // system COLOR_BTNFACE
    int clientWidth = 0, clientHeight = 0;           // of the tab window
    int bandFirstRow = 0, bandLastRow = 0;           // rows of the strip background band
};

// The band of strip background right of the last tab spans the rows between
// the window edge and the conversation area: above it for tabs at the top,
// below it for tabs at the bottom. The tab window fills the main window's
// client area, so its client size is the main window's.
void SetStripBand(StripInput& in, int headerHeight) noexcept;

using TabQuery = std::function<TabFacts(int index)>;

// Everything one repaint draws, in order. Nothing when `current` or `last` is
// not a tab.
std::vector<PaintOp> PlanStrip(const StripInput& in, Look look, const TabQuery& tab);

// Where WM_PRINTCLIENT fills the page area white: the client rectangle less
// the tab rows.
ItemRect PageFill(int clientWidth, int clientHeight, int headerHeight, bool bottom) noexcept;

inline constexpr Colour kCaptionColour = Rgb(21, 70, 105);

// A quiet tab carries a small slate-grey wedge in its outer left corner (the
// top one for tabs at the top, the bottom one for tabs at the bottom): clear
// of the centred caption, the hot rims and the frames, in either look and
// whatever the fill colour. The caption itself stays as it is.
inline constexpr Colour kQuietMarkColour = Rgb(112, 128, 144);
inline constexpr int kQuietMarkSize = 6;  // rows, and pixels along the outer edge

}  // namespace varnu::xp
