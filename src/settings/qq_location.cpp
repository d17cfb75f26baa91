#include "settings/qq_location.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "settings/core/paths.h"
#include "settings/settings.h"
#include "win32/handles.h"
#include "win32/strconv.h"

namespace varnu {
namespace {

constexpr wchar_t kQQKey[] = L"Software\\Tencent\\QQ";
constexpr wchar_t kQQValue[] = L"Install";

struct RegKeyTraits {
    static HKEY Empty() noexcept { return nullptr; }
    static bool IsEmpty(HKEY h) noexcept { return h == nullptr; }
    static void Close(HKEY h) noexcept { ::RegCloseKey(h); }
};
using UniqueRegKey = win32::UniqueResource<HKEY, RegKeyTraits>;

// The value from one registry view; nothing when the key or value is absent
// or is not text.
std::optional<std::wstring> ReadInstallFolder(REGSAM view) {
    HKEY raw = nullptr;
    // Read wide: a folder name the system code page cannot hold still comes
    // back whole (the registry keeps its values in UTF-16).
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kQQKey, 0, KEY_READ | view, &raw) != ERROR_SUCCESS) return std::nullopt;
    UniqueRegKey key(raw);

    // The value may change between asking its size and reading it; a few
    // tries settle that.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(key.get(), kQQValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
        if (size == 0) return std::nullopt;
        std::vector<wchar_t> units(size / sizeof(wchar_t) + 1, L'\0');
        const LONG status =
            ::RegQueryValueExW(key.get(), kQQValue, nullptr, &type, reinterpret_cast<BYTE*>(units.data()), &size);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
        // The stored text ends at its terminating NUL when it has one; a value
        // written without one is taken whole. A trailing backslash stays.
        std::wstring folder(units.data(), std::min<size_t>(size / sizeof(wchar_t), units.size()));
        if (const size_t nul = folder.find(L'\0'); nul != std::wstring::npos) folder.resize(nul);
        if (type == REG_EXPAND_SZ && folder.find(L'%') != std::wstring::npos) {
            const DWORD needed = ::ExpandEnvironmentStringsW(folder.c_str(), nullptr, 0);
            if (needed > 0) {
                std::wstring expanded(needed, L'\0');
                const DWORD written = ::ExpandEnvironmentStringsW(folder.c_str(), expanded.data(), needed);
                if (written > 0 && written <= needed) {
                    expanded.resize(written - 1);
                    folder = std::move(expanded);
                }
            }
        }
        return folder;
    }
    return std::nullopt;
}

}  // namespace

std::wstring GetQQPath() {
    // The messenger is a 32-bit program, so on a 64-bit system its installer
    // writes into the 32-bit view of the key; our own view comes first.
    if (auto folder = ReadInstallFolder(0)) return *folder;
#ifdef _WIN64
    if (auto folder = ReadInstallFolder(KEY_WOW64_32KEY)) return *folder;
#endif
    return {};
}

FolderChoice BrowseForFolder(HWND owner) {
    FolderChoice choice;
    // The picker is a COM client; a thread that already has COM in another
    // mode keeps it, and only our own initialisation is undone.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    PIDLIST_ABSOLUTE root = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(owner, CSIDL_DESKTOP, &root))) root = nullptr;

    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = root;
    info.pszDisplayName = displayName;
    info.lpszTitle = L"请选择QQ所在的文件夹:";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE picked = ::SHBrowseForFolderW(&info);
    if (picked) {
        wchar_t path[MAX_PATH] = {};
        if (::SHGetPathFromIDListW(picked, path)) {
            path[MAX_PATH - 1] = L'\0';
            choice.Path = path;
        }
        ::CoTaskMemFree(picked);
    } else {
        choice.Cancelled = true;
    }
    // The desktop's item list is ours as well.
    if (root) ::CoTaskMemFree(root);
    if (SUCCEEDED(com)) ::CoUninitialize();
    return choice;
}

bool IsQQRunning() {
    win32::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        entry.szExeFile[std::size(entry.szExeFile) - 1] = L'\0';
        if (settings_core::IsMessengerProcessName(entry.szExeFile)) return true;
    }
    return false;
}

void LaunchQQ(HWND owner, const std::function<void()>& showStartBalloon) {
    const Settings& settings = AppSettings();
    if (settings.org_QQPath.empty() || settings.org_AutoRun == 0) return;
    if (IsQQRunning()) return;
    if (showStartBalloon) showStartBalloon();
    const std::wstring path = settings_core::MessengerExecutablePath(settings.org_QQPath, settings.org_QQName);
    // A start that cannot be made is not reported: its result is not looked at.
    ::ShellExecuteW(owner, L"open", path.c_str(), L"0", nullptr, SW_HIDE);
}

}  // namespace varnu
