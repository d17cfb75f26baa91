#include "main/core/unread.h"

#include <climits>
#include <vector>

namespace varnu {

bool WantsReading(const clsLink& node) noexcept { return node.MsgNum > 0 && !node.Quiet; }

int UnreadTotal(const clsLink& head) {
    long long total = 0;
    for (const clsLink* node = head.theNext.get(); node; node = node->theNext.get())
        if (WantsReading(*node)) total += node->MsgNum;
    return total > INT_MAX ? INT_MAX : static_cast<int>(total);
}

std::optional<int> NextUnreadTab(const clsLink& head, int selected) {
    std::vector<bool> wanting;
    for (const clsLink* node = head.theNext.get(); node; node = node->theNext.get())
        wanting.push_back(WantsReading(*node));
    const int count = static_cast<int>(wanting.size());
    const int start = selected >= 0 && selected < count ? selected : -1;
    for (int step = 1; step <= count; ++step) {
        const int tab = (start + step) % count;
        if (tab != start && wanting[static_cast<std::size_t>(tab)]) return tab;
    }
    return std::nullopt;
}

std::wstring BadgeText(int count) {
    if (count <= 0) return {};
    if (count > 99) return L"99+";
    return std::to_wstring(count);
}

std::wstring TipWithUnread(std::wstring_view tip, int total, std::size_t capacity) {
    const std::wstring suffix = total > 0 ? L"（" + std::to_wstring(total) + L"条未读）" : std::wstring();
    if (capacity == 0) return {};
    const std::size_t room = capacity - 1;
    if (suffix.size() >= room) return suffix.substr(0, room);
    std::size_t keep = tip.size() < room - suffix.size() ? tip.size() : room - suffix.size();
    if (keep < tip.size() && keep > 0 && tip[keep - 1] >= 0xD800 && tip[keep - 1] <= 0xDBFF) --keep;
    return std::wstring(tip.substr(0, keep)) + suffix;
}

std::wstring TabTipText(std::wstring_view title, std::int32_t msgNum, bool quiet) {
    std::wstring tip(title);
    if (msgNum > 0) tip += L"\r\n" + std::to_wstring(msgNum) + L"条未读";
    if (quiet) tip += L"\r\n免打扰";
    return tip;
}

std::optional<int> BadgeState::Update(int total, bool hasButton) {
    const int wanted = hasButton && total > 0 ? total : 0;
    if (wanted == shown_) return std::nullopt;
    shown_ = wanted;
    return wanted;
}

}  // namespace varnu
