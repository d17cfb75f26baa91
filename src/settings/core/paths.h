#pragma once
// File names built from folders, and recognising the messenger's process.
#include <string>
#include <string_view>

namespace varnu::settings_core {

inline constexpr wchar_t kIniFileName[] = L"set.ini";
inline constexpr wchar_t kDefaultMessengerName[] = L"QQ.exe";

// Folder + name with one backslash between them. A folder that already ends
// in a separator (a drive root such as "C:\") gets no second one; an empty
// folder leaves the name alone rather than pointing it at the drive root.
std::wstring JoinFolderFile(std::wstring_view folder, std::wstring_view name);

// Where the messenger's executable is: its folder and file name, with
// "QQ.exe" standing in for an empty name.
std::wstring MessengerExecutablePath(std::wstring_view folder, std::wstring_view name);

// Whether a process-snapshot entry names the messenger. Older systems report
// the full path ("...\qq.exe"), current ones the bare file name ("QQ.exe");
// both count, in any letter case.
bool IsMessengerProcessName(std::wstring_view exeName);

}  // namespace varnu::settings_core
