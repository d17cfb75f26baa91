#pragma once
// frmAbout: the modeless about box with the program's picture, version and
// links, and the update check behind its "检查更新" button.
#include <windows.h>

#include <functional>
#include <string>

namespace varnu {

// The fixed address of the update page; the key upd_PageURL of "set.ini",
// when present, replaces it (the caller reads it).
inline constexpr wchar_t kUpdatePageURL[] = L"https://varnu.example/update/version.html";

// The running program's version, which the box shows, compares with the
// update page's and names itself by when it asks for that page.
struct ProgramVersion {
    int major = 0, minor = 0, patch = 0, build = 0;
};

// Opens the box owned by `main`, or brings the open one to the front.
// Opening fetches nothing; only the button checks `updatePage`.
void ShowAboutBox(HWND main, std::wstring updatePage, ProgramVersion version);
void CloseAboutBox();
HWND AboutBoxWindow();

// Control ids, for keyboard routing and tests.
enum AboutControl : int { idAboutOK = IDOK, idAboutUpdate = 1101, idAboutURL, idAboutMail };

// Hands a checked web address (or a mail link) to the shell. Replaceable so
// tests can see what would be opened; null puts the shell back.
using AddressOpener = std::function<void(HWND owner, const std::wstring& address)>;
void SetAddressOpener(AddressOpener opener);

// Draws the about picture (resource "ICON" of type "ABOUT") into the
// top-left 256 x 256 pixels of `dc` at (x, y). False when it could not.
bool DrawAboutPicture(HDC dc, int x = 0, int y = 0);

}  // namespace varnu
