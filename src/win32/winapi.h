#pragma once
// Small queries on any window, also of other programs. None of them sends
// to another program's thread, so a hung program can never freeze ours.
#include <windows.h>

#include <string>
#include <vector>

namespace win32 {

std::wstring WindowText(HWND hwnd);   // GetWindowTextW: never blocks on a hung peer
std::wstring WindowClass(HWND hwnd);  // GetClassNameW
DWORD WindowStyle(HWND hwnd);         // GWL_STYLE
DWORD WindowExStyle(HWND hwnd);       // GWL_EXSTYLE
// A child's rectangle in its parent's client coordinates (answered from the
// window table: nothing is sent to the window's thread).
RECT RectInParent(HWND child) noexcept;

// Every window below `parent`, children and theirs, in the system's order.
std::vector<HWND> DescendantWindows(HWND parent);
// The top-level windows of the desktop, in z-order.
std::vector<HWND> TopLevelWindows();

// Moving, showing and hiding a child window of ours that contains, or lies
// over, windows of other programs. A plain move or hide repaints what it
// uncovers at once, and under Wine that sends the other programs' windows
// their paint messages and waits for them; here the repaint comes through
// the message queues instead (SWP_DEFERERASE).
// MoveContainer does nothing when the rectangle does not change.
void MoveContainer(HWND window, int x, int y, int width, int height) noexcept;
void ShowContainer(HWND window, bool show) noexcept;

// The modifier keys held now, as events report them: Shift 1, Ctrl 2, Alt 4.
int ShiftState() noexcept;

// Adds or removes WS_MAXIMIZEBOX and redraws the frame; nothing when it is
// already so.
void SetMaximizeBox(HWND window, bool wanted);

// Text of a control of this thread, such as what an edit box holds now
// (GetWindowTextW, which asks the control itself).
std::wstring OwnControlText(HWND control);

// Full path of this program's folder, without a trailing backslash unless it
// is a drive root.
std::wstring ModuleFolder(HMODULE module = nullptr);

}  // namespace win32
