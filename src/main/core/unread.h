#pragma once
// The unread total across all conversations, as the taskbar button's badge
// and the tray tooltip show it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "main/core/win_list.h"

namespace varnu {

// A conversation whose unread messages call for the user: it has some and
// is not quiet. Only these count in the badge and the tray tooltip's total,
// and only these are visited by the next-unread key.
bool WantsReading(const clsLink& node) noexcept;

// Sum of the unread counts of every record after the head that wants reading.
int UnreadTotal(const clsLink& head);

// The tab the next-unread key selects: the first one right of `selected`
// that wants reading, wrapping round past the last tab; from the first tab
// when nothing is selected. The selected tab itself is never the answer, so
// nothing is selected when no other tab wants reading.
std::optional<int> NextUnreadTab(const clsLink& head, int selected);

// What the badge reads: "" for none, "1" to "99", then "99+".
std::wstring BadgeText(int count);

// `tip` followed by "（n条未读）" when n > 0, cut so that the whole of it fits
// a field of `capacity` characters with its NUL; the count is never the part
// that is cut off, and no surrogate pair is split.
std::wstring TipWithUnread(std::wstring_view tip, int total, std::size_t capacity);

// A tab's tooltip: the conversation's whole name, then "n条未读" while it has
// unread messages and "免打扰" when it is quiet, each on a line of its own.
std::wstring TabTipText(std::wstring_view title, std::int32_t msgNum, bool quiet);

// Remembers what the taskbar button shows, so the shell is only asked when
// that changes.
class BadgeState {
public:
    // The count the button must show now (0: no badge), or nothing when it
    // shows that already. A window without a taskbar button shows none.
    std::optional<int> Update(int total, bool hasButton);
    // The button was made anew and carries no badge, whatever it had.
    void Forget() noexcept { shown_ = 0; }

private:
    int shown_ = -1;  // -1: unknown
};

}  // namespace varnu
