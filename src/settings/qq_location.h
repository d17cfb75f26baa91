#pragma once
// Finding and starting the messenger: its install folder from its own
// registry key, whether it already runs, and the start at program start-up.
#include <windows.h>

#include <functional>
#include <string>

namespace varnu {

// The messenger's folder as its installer stored it in HKLM
// "Software\Tencent\QQ", value "Install"; empty text when there is none.
std::wstring GetQQPath();

// The folder the user picked in the shell's folder picker, or the cancel.
struct FolderChoice {
    std::wstring Path;  // as the shell gives it; empty when cancelled
    bool Cancelled = false;
};

// The shell's folder picker, modal over `owner` (the settings dialog), rooted
// at the desktop and offering file-system folders only. A chosen folder that
// has no file-system path gives an empty Path with Cancelled false.
FolderChoice BrowseForFolder(HWND owner);

// Whether a messenger process ("QQ.exe") runs; false when the process list
// cannot be read.
bool IsQQRunning();

// The start-up step: when org_AutoRun is set, org_QQPath is known and the
// messenger does not run, announces the start (the tray balloon, through
// `showStartBalloon`) and starts org_QQPath\org_QQName hidden. Nothing is
// reported when the start fails.
void LaunchQQ(HWND owner, const std::function<void()>& showStartBalloon);

}  // namespace varnu
