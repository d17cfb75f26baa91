#pragma once
// The unread total as a badge over the main window's taskbar button. The
// shell's taskbar interface sits behind TaskbarShell, so what is asked of it
// can be looked at; where the interface is missing nothing is shown.
#include <windows.h>

#include <string>
#include <string_view>

#include "main/core/unread.h"
#include "win32/handles.h"

namespace varnu {

class TaskbarShell {
public:
    virtual ~TaskbarShell() = default;
    // ITaskbarList3::SetOverlayIcon; a null icon takes the badge away.
    virtual bool SetOverlayIcon(HWND window, HICON icon, const std::wstring& description) = 0;
};

// The shell's taskbar list, made at its first use; false where it is missing.
TaskbarShell& SystemTaskbarShell();

// The badge's picture at the system's small-icon size: the text in white on
// a red disc. Null when it cannot be drawn.
HICON DrawBadgeIcon(std::wstring_view text);

class TaskbarBadge {
public:
    explicit TaskbarBadge(TaskbarShell* shell = &SystemTaskbarShell()) : shell_(shell) {}
    // Null puts the system's shell back.
    void SetShell(TaskbarShell* shell) noexcept { shell_ = shell ? shell : &SystemTaskbarShell(); }

    // "TaskbarButtonCreated" reached `window`: its button exists now (or
    // again, after the shell restarted) and carries no badge yet.
    void ButtonCreated(HWND window);
    // The total to show; none while the window has no taskbar button. The
    // shell hears only of changes, and nothing before the button exists.
    void Show(int total, bool hasButton);

private:
    void Apply();

    TaskbarShell* shell_;
    HWND window_ = nullptr;
    BadgeState state_;
    int total_ = 0;
    bool hasButton_ = false;
    win32::UniqueIcon icon_;  // kept while the button may still show it
};

// The shell sends this registered message once a window's button exists.
bool IsTaskbarButtonCreatedMessage(UINT msg);

}  // namespace varnu
