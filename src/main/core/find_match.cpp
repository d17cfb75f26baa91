#include "main/core/find_match.h"

#include <algorithm>
#include <tuple>

#include "main/core/pinyin_initials.h"

namespace varnu {
namespace {

// Full-width forms (U+FF01..U+FF5E) as their ASCII twins, the ideographic
// space as a space, ASCII letters in lower case: what an input method in
// full-width mode types then compares equal to what it types in half width.
wchar_t Fold(wchar_t c) noexcept {
    if (c >= 0xFF01 && c <= 0xFF5E) c = static_cast<wchar_t>(c - 0xFEE0);
    if (c == 0x3000) c = L' ';
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return c;
}

std::wstring Folded(std::wstring_view text) {
    std::wstring folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), Fold);
    return folded;
}

bool IsSurrogatePair(std::wstring_view text, std::size_t at) noexcept {
    return at + 1 < text.size() && text[at] >= 0xD800 && text[at] <= 0xDBFF && text[at + 1] >= 0xDC00 &&
           text[at + 1] <= 0xDFFF;
}

// The initials begin with the query; both are compared as folded text.
bool BeginsInitials(const std::string& initials, std::wstring_view folded) noexcept {
    return folded.size() <= initials.size() &&
           std::equal(folded.begin(), folded.end(), initials.begin(),
                      [](wchar_t q, char i) { return q == static_cast<unsigned char>(i); });
}

}  // namespace

std::string NameInitials(std::wstring_view name) {
    std::string initials;
    for (std::size_t at = 0; at < name.size(); ++at) {
        if (IsSurrogatePair(name, at)) {
            ++at;  // beyond the table: no initial
            continue;
        }
        const wchar_t c = Fold(name[at]);
        if ((c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9'))
            initials += static_cast<char>(c);
        else if (const char initial = PinyinInitial(c))
            initials += initial;
    }
    return initials;
}

std::vector<FindCandidate> FindMatches(std::wstring_view query, const std::vector<FindCandidate>& candidates) {
    const std::wstring folded = Folded(query);
    struct Ranked {
        int rank;
        const FindCandidate* candidate;
    };
    std::vector<Ranked> ranked;
    for (const FindCandidate& candidate : candidates) {
        const std::wstring name = Folded(candidate.name);
        if (name.starts_with(folded) || BeginsInitials(NameInitials(candidate.name), folded))
            ranked.push_back({0, &candidate});
        else if (name.find(folded) != std::wstring::npos)
            ranked.push_back({1, &candidate});
    }
    const bool byTabOnly = folded.empty();
    std::stable_sort(ranked.begin(), ranked.end(), [byTabOnly](const Ranked& a, const Ranked& b) {
        const bool aQuiet = byTabOnly || a.candidate->unread <= 0;
        const bool bQuiet = byTabOnly || b.candidate->unread <= 0;
        return std::tie(a.rank, aQuiet, a.candidate->tab) < std::tie(b.rank, bQuiet, b.candidate->tab);
    });
    std::vector<FindCandidate> matches;
    matches.reserve(ranked.size());
    for (const Ranked& r : ranked) matches.push_back(*r.candidate);
    return matches;
}

PixelRect TabStripArea(const PixelRect& tabWindow, int headerHeight, bool tabsAtBottom) noexcept {
    const int height = std::clamp(headerHeight, 0, std::max(tabWindow.height, 0));
    return {tabWindow.left, tabsAtBottom ? tabWindow.top + tabWindow.height - height : tabWindow.top, tabWindow.width,
            height};
}

PixelRect FindBoxPlace(const PixelRect& strip, int width, int height, const PixelRect& workArea) noexcept {
    const auto keepInside = [](int at, int size, int areaStart, int areaSize) {
        return std::max(areaStart, std::min(at, areaStart + areaSize - size));
    };
    const int left = strip.left + (strip.width - width) / 2;
    const int top = strip.top + (strip.height - height) / 2;
    return {keepInside(left, width, workArea.left, workArea.width),
            keepInside(top, height, workArea.top, workArea.height), width, height};
}

}  // namespace varnu
