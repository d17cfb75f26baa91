#include "main/core/unread.h"

#include <climits>

namespace varnu {

int UnreadTotal(const clsLink& head) {
    long long total = 0;
    for (const clsLink* node = head.theNext.get(); node; node = node->theNext.get())
        if (node->MsgNum > 0) total += node->MsgNum;
    return total > INT_MAX ? INT_MAX : static_cast<int>(total);
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

std::optional<int> BadgeState::Update(int total, bool hasButton) {
    const int wanted = hasButton && total > 0 ? total : 0;
    if (wanted == shown_) return std::nullopt;
    shown_ = wanted;
    return wanted;
}

}  // namespace varnu
