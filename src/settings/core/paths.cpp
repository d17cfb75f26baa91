#include "settings/core/paths.h"

namespace varnu::settings_core {

std::wstring JoinFolderFile(std::wstring_view folder, std::wstring_view name) {
    std::wstring path(folder);
    if (path.empty()) return std::wstring(name);
    if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
    path += name;
    return path;
}

std::wstring MessengerExecutablePath(std::wstring_view folder, std::wstring_view name) {
    return JoinFolderFile(folder, name.empty() ? std::wstring_view(kDefaultMessengerName) : name);
}

bool IsMessengerProcessName(std::wstring_view exeName) {
    std::wstring lower(exeName);
    for (wchar_t& c : lower)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return lower == L"qq.exe" || lower.find(L"\\qq.exe") != std::wstring::npos;
}

}  // namespace varnu::settings_core
