#include "settings/core/convert.h"

#include <cstddef>

namespace varnu::settings_core {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::wstring_view TrimBlanks(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y) return false;
    }
    return true;
}

// A decimal number split into its parts, digits kept as text so that very
// long inputs neither overflow nor lose the exact rounding decision.
struct DecimalParts {
    bool negative = false;
    std::wstring_view whole;     // digits before the point, may be empty
    std::wstring_view fraction;  // digits after the point, may be empty
};

std::optional<DecimalParts> SplitDecimal(std::wstring_view text) {
    text = TrimBlanks(text);
    DecimalParts parts;
    if (!text.empty() && (text.front() == L'+' || text.front() == L'-')) {
        parts.negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    size_t i = 0;
    while (i < text.size() && IsDigit(text[i])) ++i;
    parts.whole = text.substr(0, i);
    if (i < text.size() && text[i] == L'.') {
        const size_t start = ++i;
        while (i < text.size() && IsDigit(text[i])) ++i;
        parts.fraction = text.substr(start, i - start);
    }
    if (i != text.size()) return std::nullopt;
    if (parts.whole.empty() && parts.fraction.empty()) return std::nullopt;
    return parts;
}

bool AllZero(std::wstring_view digits) {
    for (wchar_t c : digits)
        if (c != L'0') return false;
    return true;
}

}  // namespace

std::optional<std::int32_t> TextToInt32(std::wstring_view text) {
    const auto parts = SplitDecimal(text);
    if (!parts) return std::nullopt;

    // Magnitude of the whole part; anything past 2^31 is out of range anyway,
    // so stop counting there.
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (wchar_t c : parts->whole) {
        magnitude = magnitude * 10 + (c - L'0');
        if (magnitude > kLimit) return std::nullopt;
    }

    if (!parts->fraction.empty()) {
        const wchar_t first = parts->fraction.front();
        const bool beyondHalf = first > L'5' || (first == L'5' && !AllZero(parts->fraction.substr(1)));
        const bool exactlyHalf = first == L'5' && AllZero(parts->fraction.substr(1));
        if (beyondHalf || (exactlyHalf && magnitude % 2 == 1)) ++magnitude;
    }

    const std::int64_t value = parts->negative ? -magnitude : magnitude;
    if (value < -kLimit || value > kLimit - 1) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<bool> TextToBoolean(std::wstring_view text) {
    const std::wstring_view trimmed = TrimBlanks(text);
    if (EqualsNoCase(trimmed, L"true")) return true;
    if (EqualsNoCase(trimmed, L"false")) return false;
    const auto parts = SplitDecimal(trimmed);
    if (!parts) return std::nullopt;
    return !(AllZero(parts->whole) && AllZero(parts->fraction));
}

std::wstring_view BooleanText(bool value) { return value ? L"True" : L"False"; }

std::wstring OneLineValue(std::wstring_view value) {
    std::wstring result(value);
    for (wchar_t& c : result)
        if (c == L'\r' || c == L'\n' || c == L'\0') c = L' ';
    return result;
}

std::int32_t ClampTipTime(std::int32_t seconds) {
    if (seconds < kMinTipTime) return kMinTipTime;
    if (seconds > kMaxTipTime) return kMaxTipTime;
    return seconds;
}

}  // namespace varnu::settings_core
