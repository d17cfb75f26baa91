#pragma once
// What the hook library posts to the main window. Shared by Varnu.dll and
// Varnu.exe; deliberately free of windows.h so either side can include it.

// Posted to the notify window from inside the messenger's threads.
inline constexpr unsigned int WM_HOOKNOTIFY = 2140;

// wParam: which gesture.
inline constexpr unsigned int HOOKNOTIFY_CTRL = 0;
inline constexpr unsigned int HOOKNOTIFY_WHEEL = 1;

// lParam for HOOKNOTIFY_CTRL.
inline constexpr unsigned int HOOKNOTIFY_CTRL_DOWN = 0;  // also once per key repeat
inline constexpr unsigned int HOOKNOTIFY_CTRL_UP = 1;

// lParam for HOOKNOTIFY_WHEEL.
inline constexpr unsigned int HOOKNOTIFY_WHEEL_TOWARDS = 0;  // towards the user
inline constexpr unsigned int HOOKNOTIFY_WHEEL_AWAY = 1;     // away from the user
