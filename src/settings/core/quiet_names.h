#pragma once
// The conversations marked "免打扰", remembered by name in a section of
// "set.ini" of their own:
//
//   [Quiet]
//   1="技术交流"
//   2="  [Team]; a=b"
//
// Names go into values, never into key names: a key ends at its first "=",
// loses its surrounding blanks, and one that starts with ";" or "[" reads as
// a comment or a section, while keys compare without regard to letter case.
// A value keeps all of that once it is quoted, since the profile functions
// take off exactly one pair of surrounding quotes (and so keep blanks and any
// quotes of the name itself). The numbered keys only tell the lines apart;
// they are never renumbered, so adding or forgetting a name touches only its
// own line.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnu::settings_core {

inline constexpr wchar_t kQuietSection[] = L"Quiet";

// A value is read back into 254 characters; the quotes take two of them.
inline constexpr std::size_t kMaxQuietNameChars = 252;

// Whether a name can be remembered so that it reads back exactly: not empty,
// not longer than kMaxQuietNameChars, and without line breaks or NULs (which
// a stored line cannot hold).
bool CanRememberQuietName(std::wstring_view name) noexcept;

// The value a remembered name is written as.
std::wstring QuietNameValue(std::wstring_view name);

// The remembered names with the keys they are stored under.
class QuietNameList {
public:
    // A line as read from the section; names that could not have been
    // written (empty, say, or a hand-edited line) are passed over.
    void Loaded(std::wstring_view key, std::wstring_view name);

    bool Contains(std::wstring_view name) const noexcept;
    std::size_t Size() const noexcept { return entries_.size(); }

    // The key to write a new name under: one past the highest number in use.
    // None when the name is there already or cannot be remembered.
    std::optional<std::wstring> Add(std::wstring_view name);
    // The keys to delete: every line that holds the name.
    std::vector<std::wstring> Remove(std::wstring_view name);

private:
    struct Entry {
        std::wstring key;
        std::wstring name;
    };
    std::vector<Entry> entries_;
};

}  // namespace varnu::settings_core
