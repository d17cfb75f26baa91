#include "settings/quiet_conversations.h"

#include <string>

#include "settings/settings.h"

namespace varnu {

namespace core = settings_core;

void QuietConversations::Load() {
    names_ = {};
    for (const std::wstring& key : GetIniKeys(core::kQuietSection))
        names_.Loaded(key, GetIniValue(core::kQuietSection, key, L""));
}

void QuietConversations::Remember(std::wstring_view name, bool quiet) {
    if (quiet) {
        if (const auto key = names_.Add(name)) SetIniValue(core::kQuietSection, *key, core::QuietNameValue(name));
        return;
    }
    for (const std::wstring& key : names_.Remove(name)) DeleteIniValue(core::kQuietSection, key);
}

}  // namespace varnu
