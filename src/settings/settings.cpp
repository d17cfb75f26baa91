#include "settings/settings.h"

#include <string>

#include "win32/msgbox.h"
#include "settings/core/convert.h"
#include "settings/core/geometry.h"
#include "settings/core/load.h"
#include "settings/core/paths.h"
#include "settings/qq_location.h"
#include "win32/handles.h"
#include "win32/strconv.h"
#include "win32/winapi.h"

namespace varnu {
namespace {

namespace core = settings_core;

// GetPrivateProfileStringW's buffer: 254 characters and the NUL.
constexpr DWORD kValueBufferSize = 255;

// The settings file's full path, worked out once by InitIni.
std::wstring& Path() {
    static std::wstring path;
    return path;
}

// The file's encoding. "set.ini" is read and written with the wide profile
// functions, which keep a file in the form they find it in: an ANSI file
// stays ANSI (texts converted with the system code page, exactly as every
// earlier version read and wrote it), a file that starts with the UTF-16 LE
// byte-order mark stays UTF-16. A file is turned into UTF-16 once, and only
// when a text to be stored has no form in the ANSI code page; it would
// otherwise be stored as "?".
bool HasAnsiForm(std::wstring_view text) {
    if (text.empty()) return true;
    BOOL lossy = FALSE;
    const int length = static_cast<int>(text.size());
    const int needed =
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr, 0, nullptr, &lossy);
    return needed > 0 && !lossy;
}

constexpr char kUtf16Mark[] = "\xFF\xFE";

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    win32::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError() == ERROR_FILE_NOT_FOUND;  // absent: empty
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > (64 << 20)) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() || (::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                             read == bytes.size());
}

// Rewrites an ANSI (or absent) settings file as UTF-16 LE with its mark,
// through a file beside it, so a failure leaves the old file as it was.
void MakeFileUnicode(const std::wstring& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return;
    if (bytes.compare(0, 2, kUtf16Mark) == 0) return;
    const std::wstring text = win32::AnsiToWide(bytes);
    const std::wstring temporary = path + L".new";
    {
        win32::UniqueHandle file(
            ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
        DWORD written = 0;
        const DWORD textBytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (!::WriteFile(file.get(), kUtf16Mark, 2, &written, nullptr) || written != 2 ||
            !::WriteFile(file.get(), text.data(), textBytes, &written, nullptr) || written != textBytes) {
            file.reset();
            ::DeleteFileW(temporary.c_str());
            return;
        }
    }
    if (!::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) ::DeleteFileW(temporary.c_str());
}

std::wstring TwipsText(long long pixels) { return std::to_wstring(core::PixelsToTwips(pixels)); }

int ShowCommandFor(std::int32_t state) {
    switch (state) {
    case core::kStateMinimised: return SW_SHOWMINIMIZED;
    case core::kStateMaximised: return SW_SHOWMAXIMIZED;
    default: return SW_SHOWNORMAL;
    }
}

void SetOuterSize(HWND window, core::SizeTwips size) {
    ::SetWindowPos(window, nullptr, 0, 0, core::TwipsToPixels(size.width), core::TwipsToPixels(size.height),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Loading the geometry: size and place a window restored in the normal state.
void RestoreNormalGeometry(HWND window, core::KeyReader& read) {
    const core::SizeTwips size{read.Int(L"win_CX", L"10560"), read.Int(L"win_CY", L"8355")};
    if (!::IsWindow(window)) return;

    SetOuterSize(window, size);
    RECT client{};
    ::GetClientRect(window, &client);
    const core::SizeTwips fitted = core::FitRestoredSize(size, client.right - client.left, client.bottom - client.top);
    if (fitted.width != size.width || fitted.height != size.height) SetOuterSize(window, fitted);

    // A missing key leaves the window where its creation placed it.
    RECT outer{};
    ::GetWindowRect(window, &outer);
    const std::int32_t left = core::RestoredEdge(read.Int(L"win_X", TwipsText(outer.left)));
    const std::int32_t top = core::RestoredEdge(read.Int(L"win_Y", TwipsText(outer.top)));
    ::SetWindowPos(window, nullptr, core::TwipsToPixels(left), core::TwipsToPixels(top), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

Settings& AppSettings() {
    static Settings settings;
    return settings;
}

void SetIniPath(std::wstring path) { Path() = std::move(path); }

const std::wstring& IniPath() { return Path(); }

bool IniFileExists() {
    const std::wstring& path = Path();
    if (path.empty()) return false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool InitIni(std::wstring_view programFolder, HWND owner) {
    SetIniPath(core::JoinFolderFile(programFolder, core::kIniFileName));
    if (IniFileExists()) return true;
    // The file itself comes into being with the first write.
    ::MessageBoxW(owner, kIniMissingText, kIniMissingTitle, MB_ICONERROR | MB_OK);
    return false;
}

void InitIni() { InitIni(win32::ModuleFolder(), nullptr); }

std::wstring GetIniValue(std::wstring_view section, std::wstring_view key, std::wstring_view defaultValue) {
    const std::wstring& path = Path();
    if (path.empty()) return std::wstring(defaultValue);
    const std::wstring sectionText(section), keyText(key), defaultText(defaultValue);
    std::wstring buffer(kValueBufferSize, L'\0');
    DWORD count = ::GetPrivateProfileStringW(sectionText.c_str(), keyText.c_str(), defaultText.c_str(), buffer.data(),
                                             kValueBufferSize, path.c_str());
    if (count == 0) return {};
    if (count > kValueBufferSize - 1) count = kValueBufferSize - 1;
    buffer.resize(count);
    if (const size_t nul = buffer.find(L'\0'); nul != std::wstring::npos) buffer.resize(nul);
    // A value cut at the buffer's end must not end on half a surrogate pair.
    if (buffer.size() == kValueBufferSize - 1 && IS_HIGH_SURROGATE(buffer.back())) buffer.pop_back();
    return buffer;
}

bool HistoriesMeasuredInside() {
    return core::TextToBoolean(GetIniValue(kSettingsSection, L"chk_InMessenger", L"")).value_or(true);
}

void SetIniValue(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    const std::wstring& path = Path();
    if (path.empty()) return;
    const std::wstring sectionText(section), keyText(key), line = core::OneLineValue(value);
    if (!HasAnsiForm(sectionText) || !HasAnsiForm(keyText) || !HasAnsiForm(line)) MakeFileUnicode(path);
    ::WritePrivateProfileStringW(sectionText.c_str(), keyText.c_str(), line.c_str(), path.c_str());
}

void DeleteIniValue(std::wstring_view section, std::wstring_view key) {
    const std::wstring& path = Path();
    if (path.empty()) return;
    const std::wstring sectionText(section), keyText(key);
    ::WritePrivateProfileStringW(sectionText.c_str(), keyText.c_str(), nullptr, path.c_str());
}

std::vector<std::wstring> GetIniKeys(std::wstring_view section) {
    std::vector<std::wstring> keys;
    const std::wstring& path = Path();
    if (path.empty()) return keys;
    const std::wstring sectionText(section);
    // The names come as one list of NUL-ended texts; a list that fills the
    // buffer (its size less two) may have been cut, so it is read again.
    for (DWORD size = 4096; size <= (1u << 22); size *= 2) {
        std::wstring buffer(size, L'\0');
        const DWORD count =
            ::GetPrivateProfileStringW(sectionText.c_str(), nullptr, L"", buffer.data(), size, path.c_str());
        if (count + 2 >= size) continue;
        for (size_t at = 0; at < count;) {
            const size_t end = buffer.find(L'\0', at);
            if (end == std::wstring::npos || end > count) break;
            if (end > at) keys.push_back(buffer.substr(at, end - at));
            at = end + 1;
        }
        break;
    }
    return keys;
}

int LoadSettings(HWND mainWindow) { return LoadSettings(mainWindow, win32::ModuleFolder()); }

int LoadSettings(HWND mainWindow, std::wstring_view programFolder) {
    try {
        Settings& s = AppSettings();
        s = Settings{};
        InitIni(programFolder, mainWindow);

        core::KeyReader read([](std::wstring_view key, std::wstring_view defaultText) {
            return GetIniValue(kSettingsSection, key, defaultText);
        });
        s = core::ReadSettingValues(read);

        // Kept in memory only; it reaches the file with the settings dialog.
        if (s.org_QQPath.empty()) s.org_QQPath = GetQQPath();

        const std::int32_t state = read.WindowState();
        if (state == core::kStateNormal) RestoreNormalGeometry(mainWindow, read);
        // One report, however many keys took their defaults.
        if (!read.Unreadable().empty()) Sh(L"LoadSettings");
        return ShowCommandFor(state);
    } catch (...) {
        Sh(L"LoadSettings");
        return SW_SHOWNORMAL;
    }
}

void SaveWindowGeometry(HWND mainWindow) {
    if (!::IsWindow(mainWindow)) return;
    RECT outer{};
    if (!::GetWindowRect(mainWindow, &outer)) return;
    const std::int32_t state = ::IsIconic(mainWindow)   ? core::kStateMinimised
                               : ::IsZoomed(mainWindow) ? core::kStateMaximised
                                                        : core::kStateNormal;
    SetIniValue(kSettingsSection, L"win_CX", TwipsText(static_cast<long long>(outer.right) - outer.left));
    SetIniValue(kSettingsSection, L"win_CY", TwipsText(static_cast<long long>(outer.bottom) - outer.top));
    SetIniValue(kSettingsSection, L"win_X", TwipsText(outer.left));
    SetIniValue(kSettingsSection, L"win_Y", TwipsText(outer.top));
    SetIniValue(kSettingsSection, L"win_Status", std::to_wstring(state));
}

}  // namespace varnu
