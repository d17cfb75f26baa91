#include "controls/xpstyle/core/strip_paint.h"

#include <cmath>

#include "controls/tabcontrol/core/tab_logic.h"

namespace varnu::xp {

Colour AdjustColor(Colour colour, int amount) noexcept {
    int red = static_cast<int>(colour & 0xFF) + amount;
    int green = static_cast<int>((colour >> 8) & 0xFF) + amount;
    const int blue0 = static_cast<int>((colour >> 16) & 0xFF);
    int blue = blue0 + (blue0 * amount) / 192;  // C++ division truncates toward zero
    auto clamp = [amount](int& c) {
        if (amount > 0 && c > 255) c = 255;
        if (amount < 0 && c < 0) c = 0;
    };
    clamp(red);
    clamp(green);
    clamp(blue);
    return static_cast<Colour>(blue * 65536 + green * 256 + red);
}

int RoundHalfEven(double value) noexcept {
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff > 0.5) return static_cast<int>(floor) + 1;
    if (diff < 0.5) return static_cast<int>(floor);
    const int low = static_cast<int>(floor);
    return (low % 2 == 0) ? low : low + 1;
}

void SetStripBand(StripInput& in, int headerHeight) noexcept {
    const tabs::PageBox area = tabs::PageArea(in.clientWidth, in.clientHeight, headerHeight, in.bottom);
    if (in.bottom) {
        in.bandFirstRow = area.height + 4;
        in.bandLastRow = in.clientHeight;
    } else {
        in.bandFirstRow = 0;
        in.bandLastRow = area.top;
    }
}

ItemRect PageFill(int clientWidth, int clientHeight, int headerHeight, bool bottom) noexcept {
    if (bottom) return {0, 0, clientWidth, clientHeight - headerHeight};
    return {0, headerHeight, clientWidth, clientHeight};
}

namespace {

// A gradient step of 25 over a span; a tab or band of no height has no
// gradient (the span would divide by zero).
double Step(int span) noexcept { return span != 0 ? 25.0 / span : 0.0; }

class Planner {
public:
    Planner(const StripInput& in, Look look, const TabQuery& query, std::vector<PaintOp>& ops)
        : in_(in), look_(look), query_(query), ops_(ops) {}

    void Run() {
        const int n = in_.count;
        const int sel = in_.selected;
        auto valid = [n](int i) { return i >= 0 && i < n; };
        if (!valid(in_.current) || !valid(in_.last)) return;

        for (int i : in_.requested)
            if (valid(i) && i != sel && i != in_.current && i != in_.last) DrawItem(i, false, false);
        if (in_.last != sel) DrawItem(in_.last, false, false);
        StripBackground();
        if (in_.current == sel)
            DrawItem(in_.current, true, true);
        else
            DrawItem(in_.current, false, !in_.clean);
        if (in_.current > 0) {
            const int left = in_.current - 1;
            if (left == sel)
                DrawItem(left, true, true);
            else
                DrawItem(left, false, false);
        }
        // Without a selection there is no selected tab to draw and no page
        // under it to frame; drawing "tab -1" would repeat another tab's place.
        if (!valid(sel)) return;
        DrawItem(sel, true, true);
        if (!in_.bottom) PageFrame();
    }

private:
    void Line(int x1, int y1, int x2, int y2, Colour c) {
        ops_.push_back({PaintOp::Kind::Line, x1, y1, x2, y2, c, -1});
    }
    void Pixel(int x, int y, Colour c) { ops_.push_back({PaintOp::Kind::Pixel, x, y, 0, 0, c, -1}); }

    // A failed query leaves the working rectangle as it was.
    TabFacts Load(int index) {
        TabFacts facts = query_(index);
        if (facts.rectKnown) rect_ = facts.rect;
        return facts;
    }

    void DrawItem(int index, bool selected, bool outline) {
        const TabFacts facts = Load(index);
        const Colour colour = facts.highlighted ? in_.hot : selected ? in_.selectedColour : in_.normal;
        const Colour base = AdjustColor(colour, 48);
        if (look_ == Look::Messenger) {
            ItemBackground(base);
            ItemFrame(outline);
        } else {
            ItemBackground2(base, selected);
            ItemFrame2(outline);
        }
        if (facts.quiet) QuietMark();
        if (facts.hasText)
            ops_.push_back(
                {PaintOp::Kind::Caption, rect_.left, rect_.top, rect_.right, rect_.bottom, kCaptionColour, index});
    }

    void ItemBackground(Colour base) {
        const auto [L, T, R, B] = rect_;
        const double step = Step(B - T);
        for (int y = T - 2; y <= B; ++y) {
            const int amount = -RoundHalfEven(step * (in_.bottom ? B - y : y - T));
            Line(L, y + 1, R + 1, y + 1, AdjustColor(base, amount));
        }
    }

    void ItemBackground2(Colour base, bool selected) {
        const auto [L, T, R, B] = rect_;
        const int v = 1;
        const int k = selected ? -1 : 1;  // a selected tab is a pixel wider on each side
        const double step = Step(B - v - T);
        for (int y = in_.bottom ? T - 2 : T - 1; y <= B - v; ++y) {
            const int amount = -RoundHalfEven(step * (in_.bottom ? B - v - y : y - T));
            Line(L + k, y + 1, R - k + 1, y + 1, AdjustColor(base, amount));
        }
    }

    void ItemFrame(bool outline) {
        if (!outline) return;
        const auto [L, T, R, B] = rect_;
        const Colour c1 = AdjustColor(in_.selectedColour, -32);
        const Colour c2 = AdjustColor(in_.selectedColour, 80);
        const Colour c3 = AdjustColor(in_.selectedColour, 16);
        if (!in_.bottom) {
            Line(L + 2, T - 2, R - 1, T - 2, c1);
            Line(L + 2, T - 1, R - 1, T - 1, c2);
            Line(L, T + 1, L, B + 2, c2);
            Line(R, T + 1, R, B + 2, c2);
            Line(L - 1, T + 1, L - 1, B + 2, c1);
            Line(R + 1, T + 1, R + 1, B + 2, c1);
            for (auto [x, y] : {std::pair{L + 1, T - 2}, {R - 1, T - 2}, {L - 1, T}, {R + 1, T}}) Pixel(x, y, c3);
            for (auto [x, y] : {std::pair{L + 1, T}, {R - 1, T}}) Pixel(x, y, c2);
            for (auto [x, y] : {std::pair{L + 1, T - 1}, {R - 1, T - 1}, {L, T}, {R, T}}) Pixel(x, y, c1);
            for (auto [x, y] : {std::pair{L, T - 1}, {R, T - 1}}) Pixel(x, y, c3);
        } else {
            Line(L + 2, B + 1, R - 1, B + 1, c1);
            Line(L + 2, B, R - 1, B, c2);
            Line(L, B - 2, L, T - 2, c2);
            Line(R, B - 2, R, T - 2, c2);
            Line(L - 1, B - 2, L - 1, T - 2, c1);
            Line(R + 1, B - 2, R + 1, T - 2, c1);
            for (auto [x, y] : {std::pair{L + 1, B - 1}, {R - 1, B - 1}}) Pixel(x, y, c2);
            for (auto [x, y] : {std::pair{L + 1, B}, {R - 1, B}, {L, B - 1}, {R, B - 1}}) Pixel(x, y, c1);
            for (auto [x, y] : {std::pair{L, B}, {R, B}}) Pixel(x, y, c3);
        }
    }

    void ItemFrame2(bool outline) {
        const auto [L, T, R, B] = rect_;
        const Colour side = Rgb(145, 167, 180);
        const int r = outline ? 2 : 1;
        const Colour s = outline ? Rgb(221, 194, 141) : Rgb(208, 214, 208);
        const Colour p = outline ? Rgb(228, 151, 60) : Rgb(169, 185, 191);
        const Colour q = outline ? Rgb(221, 161, 83) : Rgb(182, 196, 205);
        const int E = in_.bottom ? B + r : T - r;
        const int in = in_.bottom ? -1 : 1;  // one row towards the tab's inside
        if (outline) {
            Line(L + 1, E, R + r - 1, E, Rgb(230, 139, 40));
            Line(L + 1, E + in, R + r - 1, E + in, Rgb(255, 199, 60));
            const int third = RoundHalfEven(r / 3.0);
            Line(L + 1 - third, E + 2 * in, R + r - 1 + third, E + 2 * in, Rgb(255, 199, 60));
        } else if (!in_.bottom) {
            Line(L + 2, T - 1, R - 1, T - 1, side);
        } else {
            Line(L + 2, B + 1, R - 1, B + 1, side);
        }
        for (int x : {L - r + 1, R + r - 1}) {
            if (!in_.bottom)
                Line(x, T + 1, x, B + 1, side);
            else
                Line(x, B - 1, x, T - 2, side);
        }
        const int h = L - r, o = R + r;
        Pixel(L - r + 1, E, in_.buttonFace);
        Pixel(R + r - 1, E, in_.buttonFace);
        Pixel(h + 2, E, s);
        Pixel(o - 2, E, s);
        Pixel(h + 1, E + in, s);
        Pixel(o - 1, E + in, s);
        Pixel(h + 3, E, p);
        Pixel(o - 3, E, p);
        Pixel(h + 1, E + 2 * in, p);
        Pixel(o - 1, E + 2 * in, p);
        Pixel(h + 2, E + in, q);
        Pixel(o - 2, E + in, q);
    }

    void QuietMark() {
        const int left = rect_.left + 1;
        for (int row = 0; row < kQuietMarkSize; ++row) {
            const int y = in_.bottom ? rect_.bottom - 1 - row : rect_.top + 1 + row;
            Line(left, y, left + kQuietMarkSize - row, y, kQuietMarkColour);
        }
    }

    void StripBackground() {
        Load(in_.count - 1);
        const Colour base = AdjustColor(in_.normal, 48);
        const int y0 = in_.bandFirstRow, y1 = in_.bandLastRow;
        const double step = Step(y1 - y0);
        for (int y = y0; y <= y1; ++y) {
            const int amount = -RoundHalfEven(step * (in_.bottom ? y1 - y : y - y0));
            Line(rect_.right + 1, y + 1, in_.clientWidth + 1, y + 1, AdjustColor(base, amount));
        }
    }

    void PageFrame() {
        const int B = rect_.bottom;  // the selected tab, drawn last
        const int CW = in_.clientWidth, CH = in_.clientHeight;
        const Colour dark = Rgb(145, 155, 156), mid = Rgb(208, 206, 191), light = Rgb(227, 224, 208);
        Line(0, B + 1, 0, CH - 3, in_.buttonFace);
        Line(1, B + 1, 1, CH - 3, dark);
        Line(1, CH - 3, CW, CH - 3, dark);
        Line(1, CH - 2, CW, CH - 2, mid);
        Line(0, CH - 1, CW, CH - 1, light);
        Line(CW - 3, B, CW - 3, CH - 3, dark);
        Line(CW - 2, B, CW - 2, CH - 1, mid);
        Line(CW - 1, B, CW - 1, CH - 1, light);
        Line(1, B, CW - 2, B, dark);
    }

    const StripInput& in_;
    Look look_;
    const TabQuery& query_;
    std::vector<PaintOp>& ops_;
    ItemRect rect_;
};

}  // namespace

std::vector<PaintOp> PlanStrip(const StripInput& in, Look look, const TabQuery& tab) {
    std::vector<PaintOp> ops;
    if (!tab) return ops;
    ops.reserve(160);
    Planner(in, look, tab, ops).Run();
    return ops;
}

}  // namespace varnu::xp
