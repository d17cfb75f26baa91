#pragma once
// Finding a conversation by typing: which names a query matches and in what
// order the find box lists them, and where the box opens.
#include <string>
#include <string_view>
#include <vector>

#include "main/core/layout.h"

namespace varnu {

// One conversation as the find box lists it: the tab's name without its
// unread count, the count, and the tab's index when the list was made.
struct FindCandidate {
    std::wstring name;
    int unread = 0;
    int tab = 0;
    friend bool operator==(const FindCandidate&, const FindCandidate&) = default;
};

// The letters a name is found by when typed by its initials: each Chinese
// character gives the initial of its pinyin, Latin letters (either width, in
// lower case) and digits stand for themselves, anything else is skipped.
// "技术交流群" reads "jsjlq", "QQ群２号" "qqq2h".
std::string NameInitials(std::wstring_view name);

// The conversations `query` matches, best first. A name matches when it
// contains the query, Latin letters compared without case or width, or when
// the query begins its initials. Matches at the start (of the name or of its
// initials) come before the others; within each, conversations with unread
// messages first, then tab order. An empty query lists every conversation
// in tab order.
std::vector<FindCandidate> FindMatches(std::wstring_view query, const std::vector<FindCandidate>& candidates);

// The row of tab headers inside the tab window, which covers the whole
// client area: `headerHeight` pixels at its top or bottom edge.
PixelRect TabStripArea(const PixelRect& tabWindow, int headerHeight, bool tabsAtBottom) noexcept;

// Where a box of `width` x `height` opens: centred over the tab strip, moved
// as little as it takes to stay inside the work area.
PixelRect FindBoxPlace(const PixelRect& strip, int width, int height, const PixelRect& workArea) noexcept;

}  // namespace varnu
