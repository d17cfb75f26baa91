#pragma once
// What the hook library posts to the main window. Shared by Varnu.dll and
// Varnu.exe; deliberately free of windows.h so either side can include it.

// Posted to the notify window from inside the messenger's threads.
inline constexpr unsigned int WM_HOOKNOTIFY = 2140;

// wParam: which gesture.
inline constexpr unsigned int HOOKNOTIFY_CTRL = 0;
inline constexpr unsigned int HOOKNOTIFY_WHEEL = 1;
// The histories of one messenger thread are measured (meter_table.h); lParam
// is the sequence number of the request it answers.
inline constexpr unsigned int HOOKNOTIFY_MEASURED = 2;

// lParam for HOOKNOTIFY_CTRL.
inline constexpr unsigned int HOOKNOTIFY_CTRL_DOWN = 0;  // also once per key repeat
inline constexpr unsigned int HOOKNOTIFY_CTRL_UP = 1;

// lParam for HOOKNOTIFY_WHEEL.
inline constexpr unsigned int HOOKNOTIFY_WHEEL_TOWARDS = 0;  // towards the user
inline constexpr unsigned int HOOKNOTIFY_WHEEL_AWAY = 1;     // away from the user

// The request Varnu posts to a captured window of a messenger thread, its
// wParam a sequence number: a registered message, so it never meets one of
// the messenger's own. The hook takes it out of the queue.
inline constexpr wchar_t kMeasureRequestName[] = L"Varnu.MeasureHistories";
