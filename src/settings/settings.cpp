#include "settings/settings.h"

#include <cstring>
#include <string>

#include "dialogs/msgbox.h"
#include "settings/core/convert.h"
#include "settings/core/geometry.h"
#include "settings/core/paths.h"
#include "settings/qq_location.h"
#include "win32/strconv.h"
#include "win32/winapi.h"

namespace varnu {
namespace {

namespace core = settings_core;

// GetPrivateProfileStringA's buffer: 254 characters and the NUL.
constexpr DWORD kValueBufferSize = 255;
constexpr char kMissingMarker[] = "\x01varnu:missing\x01";

struct IniLocation {
    std::wstring path;
    // The same path as the ANSI file functions take it; empty when the path
    // has no form in the ANSI code page, in which case the file cannot be
    // used and every value keeps its default.
    std::string ansiPath;
};

IniLocation& Ini() {
    static IniLocation location;
    return location;
}

bool RoundTrips(const std::wstring& wide, const std::string& ansi) {
    return !ansi.empty() && win32::AnsiToWide(ansi) == wide;
}

std::string AnsiPathFor(const std::wstring& path) {
    std::string ansi = win32::WideToAnsi(path);
    if (RoundTrips(path, ansi)) return ansi;
    // A folder name outside the code page: its short (8.3) form is plain
    // ASCII where the file system keeps short names.
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return {};
    const std::wstring folder = path.substr(0, slash + 1);
    const DWORD needed = ::GetShortPathNameW(folder.c_str(), nullptr, 0);
    if (needed == 0) return {};
    std::wstring shortFolder(needed, L'\0');
    const DWORD written = ::GetShortPathNameW(folder.c_str(), shortFolder.data(), needed);
    if (written == 0 || written >= needed) return {};
    shortFolder.resize(written);
    const std::wstring shortPath = core::JoinFolderFile(shortFolder, path.substr(slash + 1));
    ansi = win32::WideToAnsi(shortPath);
    return RoundTrips(shortPath, ansi) ? ansi : std::string{};
}

// A value cut at the buffer's end may have lost the second byte of a
// double-byte character; the lone lead byte would turn into a wrong letter.
void DropSplitCharacter(std::string& bytes) {
    const UINT codePage = ::GetACP();
    size_t i = 0;
    size_t lastStart = 0;
    while (i < bytes.size()) {
        lastStart = i;
        i += ::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[i])) ? 2 : 1;
    }
    if (i > bytes.size()) bytes.resize(lastStart);
}

std::wstring TwipsText(long long pixels) { return std::to_wstring(core::PixelsToTwips(pixels)); }

// LoadSettings' reads: each converts one key into its value, or says the
// conversion failed so that loading stops there.
class SettingsReader {
public:
    bool Bool(std::wstring_view key, std::wstring_view defaultText, bool& value) const {
        const auto converted = core::TextToBoolean(Read(key, defaultText));
        if (!converted) return false;
        value = *converted;
        return true;
    }
    bool Int(std::wstring_view key, std::wstring_view defaultText, std::int32_t& value) const {
        const auto converted = core::TextToInt32(Read(key, defaultText));
        if (!converted) return false;
        value = *converted;
        return true;
    }
    bool Text(std::wstring_view key, std::wstring_view defaultText, std::wstring& value) const {
        value = Read(key, defaultText);
        return true;
    }

private:
    static std::wstring Read(std::wstring_view key, std::wstring_view defaultText) {
        return GetIniValue(kSettingsSection, key, defaultText);
    }
};

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

// Step 7 of loading: size and place a window restored in the normal state.
bool RestoreNormalGeometry(HWND window, const SettingsReader& read) {
    core::SizeTwips size{};
    if (!read.Int(L"win_CX", L"10560", size.width)) return false;
    if (!read.Int(L"win_CY", L"8355", size.height)) return false;
    if (!::IsWindow(window)) return true;

    SetOuterSize(window, size);
    RECT client{};
    ::GetClientRect(window, &client);
    const core::SizeTwips fitted = core::FitRestoredSize(size, client.right - client.left, client.bottom - client.top);
    if (fitted.width != size.width || fitted.height != size.height) SetOuterSize(window, fitted);

    // A missing key leaves the window where its creation placed it.
    RECT outer{};
    ::GetWindowRect(window, &outer);
    std::int32_t left = 0, top = 0;
    if (!read.Int(L"win_X", TwipsText(outer.left), left)) return false;
    if (!read.Int(L"win_Y", TwipsText(outer.top), top)) return false;
    left = core::RestoredEdge(left);
    top = core::RestoredEdge(top);
    ::SetWindowPos(window, nullptr, core::TwipsToPixels(left), core::TwipsToPixels(top), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

int StopLoading() {
    Sh(L"LoadSettings");
    return SW_SHOWNORMAL;
}

}  // namespace

Settings& AppSettings() {
    static Settings settings;
    return settings;
}

void SetIniPath(std::wstring path) {
    IniLocation& ini = Ini();
    ini.ansiPath = AnsiPathFor(path);
    ini.path = std::move(path);
}

const std::wstring& IniPath() { return Ini().path; }

bool IniFileExists() {
    const std::wstring& path = Ini().path;
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
    const IniLocation& ini = Ini();
    if (ini.ansiPath.empty()) return std::wstring(defaultValue);
    const std::string ansiSection = win32::WideToAnsi(section);
    const std::string ansiKey = win32::WideToAnsi(key);
    // A default the code page cannot hold (such as "无" on a Western system)
    // would come back garbled; a marker stands in for it and is swapped back.
    const std::string ansiDefault = win32::WideToAnsi(defaultValue);
    const bool defaultFits = defaultValue.empty() || win32::AnsiToWide(ansiDefault) == defaultValue;
    const char* passedDefault = defaultFits ? ansiDefault.c_str() : kMissingMarker;
    std::string buffer(kValueBufferSize, '\0');
    DWORD count = ::GetPrivateProfileStringA(ansiSection.c_str(), ansiKey.c_str(), passedDefault,
                                             buffer.data(), kValueBufferSize, ini.ansiPath.c_str());
    if (count == 0) return {};
    if (!defaultFits && std::strcmp(buffer.c_str(), kMissingMarker) == 0) return std::wstring(defaultValue);
    if (count > kValueBufferSize - 1) count = kValueBufferSize - 1;
    buffer.resize(count);
    if (const size_t nul = buffer.find('\0'); nul != std::string::npos) buffer.resize(nul);
    if (buffer.size() == kValueBufferSize - 1) DropSplitCharacter(buffer);
    return win32::AnsiToWide(buffer);
}

void SetIniValue(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    const IniLocation& ini = Ini();
    if (ini.ansiPath.empty()) return;
    const std::string ansiSection = win32::WideToAnsi(section);
    const std::string ansiKey = win32::WideToAnsi(key);
    const std::string ansiValue = win32::WideToAnsi(core::OneLineValue(value));
    ::WritePrivateProfileStringA(ansiSection.c_str(), ansiKey.c_str(), ansiValue.c_str(), ini.ansiPath.c_str());
}

int LoadSettings(HWND mainWindow) { return LoadSettings(mainWindow, win32::ModuleFolder()); }

int LoadSettings(HWND mainWindow, std::wstring_view programFolder) {
    try {
        Settings& s = AppSettings();
        s = Settings{};
        InitIni(programFolder, mainWindow);

        const SettingsReader read;
        // The balloon timer multiplies tray_TipTime by 1000 and takes at most
        // 65,535 ms; a hand-edited value is kept within the dialog's range.
        const auto fitTipTime = [&s] {
            s.tray_TipTime = core::ClampTipTime(s.tray_TipTime);
            return true;
        };
        const bool loaded =
            read.Bool(L"tab_Bottom", L"True", s.tab_Bottom) &&
            read.Int(L"tab_Selected", L"16756580", s.tab_Selected) &&
            read.Int(L"tab_Normal", L"16763046", s.tab_Normal) &&
            read.Int(L"tab_Hot", L"5700777", s.tab_Hot) &&
            read.Bool(L"tab_Roll", L"False", s.tab_Roll) &&
            read.Bool(L"tab_Skin", L"True", s.tab_Skin) &&
            read.Int(L"tray_Enabled", L"1", s.tray_Enabled) &&
            read.Int(L"tray_MsgTip", L"0", s.tray_MsgTip) &&
            read.Int(L"tray_AlwaysShowTip", L"0", s.tray_AlwaysShowTip) &&
            read.Int(L"tray_CloseTray", L"0", s.tray_CloseTray) &&
            read.Int(L"tray_AutoMin", L"1", s.tray_AutoMin) &&
            read.Int(L"tray_TipTime", L"3", s.tray_TipTime) && fitTipTime() &&
            read.Int(L"org_ExitMsg", L"0", s.org_ExitMsg) &&
            read.Int(L"org_AutoRun", L"0", s.org_AutoRun) &&
            read.Int(L"org_AutoSwitch", L"1", s.org_AutoSwitch) &&
            read.Int(L"org_AutoSize", L"0", s.org_AutoSize) &&
            read.Text(L"org_QQPath", L"", s.org_QQPath) &&
            read.Text(L"org_QQName", L"QQ.exe", s.org_QQName) &&
            read.Int(L"hot_Enabled", L"0", s.hot_Enabled) &&
            read.Int(L"hot_Key", L"0", s.hot_Key) &&
            read.Int(L"hot_Mod", L"0", s.hot_Mod);
        if (!loaded) return StopLoading();

        // Kept in memory only; it reaches the file with the settings dialog.
        if (s.org_QQPath.empty()) s.org_QQPath = GetQQPath();

        std::int32_t state = 0;
        if (!read.Int(L"win_Status", L"0", state) || !core::IsWindowState(state)) return StopLoading();
        if (state == core::kStateNormal && !RestoreNormalGeometry(mainWindow, read)) return StopLoading();
        return ShowCommandFor(state);
    } catch (...) {
        return StopLoading();
    }
}

void SaveWindowGeometry(HWND mainWindow) {
    try {
        if (!::IsWindow(mainWindow)) return;
        RECT outer{};
        if (!::GetWindowRect(mainWindow, &outer)) return;
        const std::int32_t state = ::IsIconic(mainWindow) ? core::kStateMinimised
                                   : ::IsZoomed(mainWindow) ? core::kStateMaximised
                                                            : core::kStateNormal;
        SetIniValue(kSettingsSection, L"win_CX", TwipsText(static_cast<long long>(outer.right) - outer.left));
        SetIniValue(kSettingsSection, L"win_CY", TwipsText(static_cast<long long>(outer.bottom) - outer.top));
        SetIniValue(kSettingsSection, L"win_X", TwipsText(outer.left));
        SetIniValue(kSettingsSection, L"win_Y", TwipsText(outer.top));
        SetIniValue(kSettingsSection, L"win_Status", std::to_wstring(state));
    } catch (...) {
        // Geometry that cannot be written is simply not kept.
    }
}

}  // namespace varnu
