#include "settings/core/quiet_names.h"

#include <algorithm>

namespace varnu::settings_core {

namespace {

// The number a key names, for keys of decimal digits only; others (a
// hand-edited file may hold anything) never collide with a generated one.
std::optional<unsigned long long> KeyNumber(std::wstring_view key) {
    if (key.empty() || key.size() > 18) return std::nullopt;
    unsigned long long n = 0;
    for (wchar_t c : key) {
        if (c < L'0' || c > L'9') return std::nullopt;
        n = n * 10 + static_cast<unsigned>(c - L'0');
    }
    return n;
}

}  // namespace

bool CanRememberQuietName(std::wstring_view name) noexcept {
    if (name.empty() || name.size() > kMaxQuietNameChars) return false;
    return name.find_first_of(std::wstring_view(L"\r\n\0", 3)) == std::wstring_view::npos;
}

std::wstring QuietNameValue(std::wstring_view name) {
    std::wstring value = L"\"";
    value += name;
    value += L'"';
    return value;
}

void QuietNameList::Loaded(std::wstring_view key, std::wstring_view name) {
    if (!key.empty() && CanRememberQuietName(name)) entries_.push_back({std::wstring(key), std::wstring(name)});
}

bool QuietNameList::Contains(std::wstring_view name) const noexcept {
    return std::any_of(entries_.begin(), entries_.end(), [name](const Entry& e) { return e.name == name; });
}

std::optional<std::wstring> QuietNameList::Add(std::wstring_view name) {
    if (!CanRememberQuietName(name) || Contains(name)) return std::nullopt;
    unsigned long long highest = 0;
    for (const Entry& e : entries_)
        if (const auto n = KeyNumber(e.key)) highest = std::max(highest, *n);
    std::wstring key = std::to_wstring(highest + 1);
    entries_.push_back({key, std::wstring(name)});
    return key;
}

std::vector<std::wstring> QuietNameList::Remove(std::wstring_view name) {
    std::vector<std::wstring> keys;
    for (const Entry& e : entries_)
        if (e.name == name) keys.push_back(e.key);
    std::erase_if(entries_, [name](const Entry& e) { return e.name == name; });
    return keys;
}

}  // namespace varnu::settings_core
