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

// Whether a messenger process ("QQ.exe") runs; false when the process list
// cannot be read.
bool IsQQRunning();

// The start-up step: when org_AutoRun is set, org_QQPath is known and the
// messenger does not run, announces the start (the tray balloon, through
// `showStartBalloon`) and starts org_QQPath\org_QQName hidden. Nothing is
// reported when the start fails.
void LaunchQQ(HWND owner, const std::function<void()>& showStartBalloon);

}  // namespace varnu
