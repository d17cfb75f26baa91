#include "win32/strconv.h"

namespace win32 {

std::wstring ToWide(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int needed = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring result(static_cast<size_t>(needed), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), length, result.data(), needed);
    return result;
}

std::string ToNarrow(std::wstring_view text, UINT codePage) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int needed = ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string result(static_cast<size_t>(needed), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), length, result.data(), needed, nullptr, nullptr);
    return result;
}

std::wstring CutOnCharacter(std::wstring_view text, size_t maxUnits) {
    if (text.size() <= maxUnits) return std::wstring(text);
    size_t n = maxUnits;
    if (n > 0 && IS_HIGH_SURROGATE(text[n - 1]) && IS_LOW_SURROGATE(text[n])) --n;
    return std::wstring(text.substr(0, n));
}

std::wstring FitAnsiBytes(std::wstring_view text, size_t maxBytes, UINT codePage) {
    size_t used = 0;
    size_t i = 0;
    while (i < text.size()) {
        const size_t unit =
            (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) ? 2 : 1;
        const size_t bytes = ToNarrow(text.substr(i, unit), codePage).size();
        if (used + bytes > maxBytes) break;
        used += bytes;
        i += unit;
    }
    return std::wstring(text.substr(0, i));
}

}  // namespace win32
