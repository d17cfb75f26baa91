#include "main/core/layout.h"

#include "controls/tabcontrol/core/tab_logic.h"

#include "main/core/recognition.h"
#include "main/core/show_state.h"

namespace varnu {

int ChatCaptionHeight(std::int32_t kind) noexcept { return kind == kKindQQ2009 ? 44 : 26; }
int ChatExtraWidth() noexcept { return 14; }
int ChatExtraHeight(std::int32_t kind) noexcept { return kind == kKindQQ2009 ? 51 : 33; }

PixelRect PicWinPlacement(int clientWidth, int clientHeight, int headerHeight, bool tabsAtBottom) noexcept {
    const tabs::PageBox page = tabs::PageArea(clientWidth, clientHeight, headerHeight, tabsAtBottom);
    return {page.left, page.top, page.width, page.height};
}

PixelRect ChatWindowFit(int picWinWidth, int picWinHeight, std::int32_t kind) noexcept {
    return {-8, -ChatCaptionHeight(kind), picWinWidth + ChatExtraWidth(), picWinHeight + ChatExtraHeight(kind)};
}

namespace {

enum class Source { LiveWindow, StoredSize };

// The two procedures differ only in their thresholds and in whether picWin's
// height is first re-derived from the header. A picWin size that would come
// out negative (a QQ2009 window under 51 pixels high, a client area smaller
// than the tab rows) is never set, and the main window then does not move
// either, so the two stay consistent.
LayoutChange Adjust(const LayoutInput& in, Source source) noexcept {
    LayoutChange out{in.picWinWidth, in.picWinHeight, in.picWinTop, 0, 0};
    const bool live = source == Source::LiveWindow;
    const bool normal = in.showState == kShownNormal;

    if (live ? in.chatWidth > 14 : in.chatWidth >= 15) {
        const int d = (in.chatWidth - ChatExtraWidth()) - out.picWinWidth;
        if (out.picWinWidth + d >= 0) {
            out.picWinWidth += d;
            if (normal) out.outerWidthDeltaTwips = d * kTwipsPerPixel;
        }
    }

    if (live ? in.chatHeight > 33 : in.chatHeight >= 34) {
        if (live) {
            int fromHeader;
            if (in.tabsAtBottom) {
                fromHeader = in.innerHeight - in.headerHeight - 6;
            } else {
                out.picWinTop = in.headerHeight + 3;
                fromHeader = in.innerHeight - in.headerHeight - 4;
            }
            if (fromHeader >= 0) out.picWinHeight = fromHeader;
        }
        const int d = (in.chatHeight - ChatExtraHeight(in.kind)) - out.picWinHeight;
        if (out.picWinHeight + d >= 0) {
            out.picWinHeight += d;
            if (normal) out.outerHeightDeltaTwips = d * kTwipsPerPixel;
        }
    }
    return out;
}

}  // namespace

LayoutChange AdjustQQWindowSizes(const LayoutInput& in) noexcept { return Adjust(in, Source::LiveWindow); }

LayoutChange AdjustTabWindowSizes(const LayoutInput& in) noexcept { return Adjust(in, Source::StoredSize); }

}  // namespace varnu
