#pragma once
// The program-wide settings values, one per key of "set.ini", and the file
// operations. Values are filled once by LoadSettings and afterwards changed
// only by the settings dialog (and the window geometry written at exit).
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/core/settings_values.h"

namespace varnu {

// The program's one set of values: "set.ini" is one file for the process, and
// the main window, the settings dialog and the tab strip's painter all read
// (and the dialog writes) the same values.
Settings& AppSettings();

inline constexpr wchar_t kSettingsSection[] = L"Settings";

inline constexpr wchar_t kIniMissingText[] = L"设置文件未找到。程序将自动生成。";
inline constexpr wchar_t kIniMissingTitle[] = L"文件未找到";

// Works out the path of "set.ini" beside the program and warns once with the
// system message box when the file does not exist.
void InitIni();
// The same for a given program folder; the warning box is owned by `owner`
// (may be null). Returns whether the file was there.
bool InitIni(std::wstring_view programFolder, HWND owner);
// Uses `path` as the settings file's full path, without the warning; for
// tests and tools.
void SetIniPath(std::wstring path);
const std::wstring& IniPath();
// Whether the settings file exists now.
bool IniFileExists();

// One value; a missing key or file gives `defaultValue`, a key with an empty
// value gives empty text; at most 254 characters. The file stays in the ANSI
// code page until a text without an ANSI form is stored; it is then turned
// into UTF-16 (with its byte-order mark) once, and stays so.
std::wstring GetIniValue(std::wstring_view section, std::wstring_view key, std::wstring_view defaultValue);
// The key chk_InMessenger, set by hand only (neither the settings dialog nor
// the program writes it): "0" or "False" has every history measured from
// outside the messenger, as a way back should the hook library misbehave,
// and for comparing the two. Missing or anything else: inside where it can.
bool HistoriesMeasuredInside();
// Writes one value; failures (read-only file or folder) are silent.
void SetIniValue(std::wstring_view section, std::wstring_view key, std::wstring_view value);
// Removes one key and its value; silent as SetIniValue.
void DeleteIniValue(std::wstring_view section, std::wstring_view key);
// The key names of a section in file order; none for a missing section or file.
std::vector<std::wstring> GetIniKeys(std::wstring_view section);

// Fills AppSettings() from the file and sets the main window's size and
// position (before it is first shown). A value that cannot be read (letters
// in a number, an empty boolean, a window state outside 0..2) takes its key's
// default, reading goes on, and "LoadSettings" is reported once at the end.
// Returns the show command for the window's first ShowWindow: SW_SHOWNORMAL,
// SW_SHOWMINIMIZED or SW_SHOWMAXIMIZED. A tray_TipTime outside 1..60 seconds
// (a hand-edited file) is brought into that range.
int LoadSettings(HWND mainWindow);
// The same with "set.ini" looked for in `programFolder` instead of the
// program's own folder.
int LoadSettings(HWND mainWindow, std::wstring_view programFolder);

// Writes win_CX, win_CY, win_X, win_Y and win_Status for the main window, in
// that order: its outer rectangle in twips and its state (a minimised window,
// also one in the tray, writes its minimised rectangle and 1; a maximised one 2).
void SaveWindowGeometry(HWND mainWindow);

}  // namespace varnu
