#include <windows.h>

#include "main/main_window.h"
#include "main/release_guard.h"
#include "win32/modeless.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int nCmdShow) {
    // Before anything can be captured: a crash must not take the messenger's
    // windows with it.
    varnu::InstallReleaseGuard();

    varnu::frmMain main;
    if (!main.Start(nCmdShow)) return 0;  // another instance runs: end silently

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (win32::RouteDialogMessage(msg)) continue;  // Tab, Enter, Escape in the dialogs
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
