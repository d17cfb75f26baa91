#pragma once
// The conversations marked "免打扰", remembered by name in "set.ini" (the
// section and its rules: settings/core/quiet_names.h). Loaded once, after the
// settings file's place is known; each change is written at once, through the
// same wide profile functions and encoding rule as every other text there.
#include <string_view>

#include "settings/core/quiet_names.h"

namespace varnu {

class QuietConversations {
public:
    // Reads the names from the settings file; what was known before is dropped.
    void Load();
    bool IsQuiet(std::wstring_view name) const noexcept { return names_.Contains(name); }
    // Remembers or forgets one name. A name that cannot be stored (empty, too
    // long) is simply not remembered, and nothing in the file changes.
    void Remember(std::wstring_view name, bool quiet);

private:
    settings_core::QuietNameList names_;
};

}  // namespace varnu
