#include "main/core/tab_actions.h"

#include <algorithm>

namespace varnu {

std::vector<int> CloseSeveralTabs(const std::vector<bool>& locked, std::optional<int> kept) {
    std::vector<int> closes;
    int p = 0;
    for (int t = 0; t < static_cast<int>(locked.size()); ++t) {
        if ((kept && *kept == t) || locked[static_cast<std::size_t>(t)])
            ++p;  // this tab stays, so the next one sits one place further right
        else
            closes.push_back(p);
    }
    return closes;
}

VanishedTabs FindVanishedTabs(const std::vector<bool>& alive, int selected) {
    const int count = static_cast<int>(alive.size());
    VanishedTabs result;
    result.selected = selected >= 0 && selected < count ? selected : -1;
    for (int t = count - 1; t >= 0; --t) {
        if (alive[static_cast<std::size_t>(t)]) continue;
        if (t == selected) {
            result.selectedGone = true;
            continue;
        }
        result.others.push_back(t);
        if (t < result.selected) --result.selected;
    }
    return result;
}

std::vector<OverlayPos> NumberOverlayPositions(const std::vector<TabBox>& tabs) {
    const int n = std::min(static_cast<int>(tabs.size()), kMaxOverlayNumbers);
    std::vector<OverlayPos> out;
    out.reserve(static_cast<std::size_t>(n));
    int widthsBefore = 0;
    for (int k = 1; k <= n; ++k) {
        const TabBox& tab = tabs[static_cast<std::size_t>(k - 1)];
        const int width = tab.right - tab.left;
        out.push_back({k, widthsBefore + width / 2 - 6, tab.top + 2});
        widthsBefore += width;
    }
    return out;
}

PixelPoint CentreInClient(int clientWidth, int clientHeight, int width, int height) noexcept {
    return {clientWidth / 2 - width / 2, clientHeight / 2 - height / 2};
}

}  // namespace varnu
