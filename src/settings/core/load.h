#pragma once
// LoadSettings without the file and the window: the keys in their reading
// order with their defaults, and what a value that cannot be read becomes.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/core/settings_values.h"

namespace varnu::settings_core {

// A key's text as the file holds it; `defaultText` when the key is missing.
using KeyLookup = std::function<std::wstring(std::wstring_view key, std::wstring_view defaultText)>;

// Reads keys one at a time. A value that does not convert takes its key's
// default and the key is noted: one bad line must cost that key alone, or
// the settings dialog's OK would later write zeros over the user's others.
class KeyReader {
public:
    explicit KeyReader(KeyLookup lookup) : lookup_(std::move(lookup)) {}

    bool Bool(std::wstring_view key, std::wstring_view defaultText);
    std::int32_t Int(std::wstring_view key, std::wstring_view defaultText);
    std::wstring Text(std::wstring_view key, std::wstring_view defaultText) const;
    // win_Status; a state outside 0..2 is as unreadable as letters are.
    std::int32_t WindowState();

    // The keys that took their default instead of the file's value.
    const std::vector<std::wstring>& Unreadable() const { return unreadable_; }

private:
    KeyLookup lookup_;
    std::vector<std::wstring> unreadable_;
};

// Every settings value, tab_Bottom to hot_Mod in the file's reading order.
// The messenger folder's registry fallback and the window's geometry are
// the caller's.
Settings ReadSettingValues(KeyReader& read);

}  // namespace varnu::settings_core
