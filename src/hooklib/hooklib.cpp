// Varnu.dll: a WH_GETMESSAGE hook that runs inside the messenger's threads and
// tells Varnu's main window about the Ctrl key and the wheel gestures.
//
// This code lives in somebody else's process. It must never crash, block or
// allocate there: no C++ objects with constructors, no exceptions, no runtime
// state that needs set-up, nothing in DllMain beyond recording the module
// handle and removing our own hook. Kept deliberately C-like.
#include <windows.h>

#include "hook_messages.h"

#if defined(_MSC_VER)
#define VARNU_SHARED
#pragma data_seg("Shared")
#elif defined(__GNUC__)
// no_reorder keeps the variables in the section in declaration order.
#define VARNU_SHARED __attribute__((section("Shared"), shared, no_reorder))
#else
#error "Varnu.dll needs a compiler that can place data in a shared section"
#endif

// One copy for every process that loads the library: this is how the hook in
// the messenger's process learns where to post. Variables must be initialised
// for the compilers to keep them in the named section.
HINSTANCE hInstDll VARNU_SHARED = NULL;
HWND hWndNotify VARNU_SHARED = NULL;

#if defined(_MSC_VER)
#pragma data_seg()
#pragma comment(linker, "/SECTION:Shared,RWS")
#endif

// Per process.
static HHOOK hHook = NULL;         // last hook installed from this process
static bool bRButtonDown = false;  // as seen in the hooked thread's messages
static bool bWheelWithRButton = false;
static bool bCtrlDown = false;

// hInstDll is overwritten by every process that loads us (and its base
// address may differ between processes), so installing a hook must use the
// handle of the library in the calling process, never the shared one.
static HINSTANCE hInstSelf = NULL;

static void Notify(WPARAM what, LPARAM how) {
    HWND target = hWndNotify;
    // A null window would make PostMessage post to the messenger's own
    // thread queue.
    if (target != NULL) PostMessageW(target, WM_HOOKNOTIFY, what, how);
}

static LRESULT CALLBACK GetMsgProc(int code, WPARAM wParam, LPARAM lParam) {
    // Only messages that really leave the queue count. A PeekMessage with
    // PM_NOREMOVE shows the same message again later, which would post every
    // notice twice and could swallow a button release that is then delivered
    // anyway.
    if (code < 0 || !(wParam & PM_REMOVE) || lParam == 0) return CallNextHookEx(hHook, code, wParam, lParam);

    MSG* msg = (MSG*)lParam;

    if (msg->wParam == VK_CONTROL) {
        if (msg->message == WM_KEYDOWN) {
            bCtrlDown = true;
            Notify(HOOKNOTIFY_CTRL, HOOKNOTIFY_CTRL_DOWN);
        } else if (msg->message == WM_KEYUP) {
            bCtrlDown = false;
            Notify(HOOKNOTIFY_CTRL, HOOKNOTIFY_CTRL_UP);
        }
    }

    switch (msg->message) {
    case WM_RBUTTONDOWN: bRButtonDown = true; break;

    case WM_RBUTTONUP:
        bRButtonDown = false;
        if (bWheelWithRButton) {
            // The release ends a wheel gesture: hand the thread a null
            // message so the window opens no context menu.
            bWheelWithRButton = false;
            msg->message = WM_NULL;
            msg->wParam = 0;
            msg->lParam = 0;
            return 1;
        }
        break;

    case WM_MOUSEWHEEL:
        if (bRButtonDown)
            bWheelWithRButton = true;
        else if (!bCtrlDown)
            break;  // an ordinary wheel turn is none of our business
        // The delta is the signed high word of the low 32 bits; on x64 the
        // 64-bit wParam itself is never negative.
        Notify(HOOKNOTIFY_WHEEL,
               (short)HIWORD((DWORD)msg->wParam) > 0 ? HOOKNOTIFY_WHEEL_AWAY : HOOKNOTIFY_WHEEL_TOWARDS);
        // The wheel message itself goes on unchanged to the window under the
        // pointer.
        return 1;

    default: break;
    }

    return CallNextHookEx(hHook, code, wParam, lParam);
}

extern "C" BOOL WINAPI InitHook(BOOL install, HWND notify, DWORD threadId) {
    if (install) {
        hWndNotify = notify;
        // Thread 0 would hook every thread on the desktop.
        if (threadId == 0) {
            hHook = NULL;
            return FALSE;
        }
        hHook = SetWindowsHookExW(WH_GETMESSAGE, GetMsgProc, hInstSelf, threadId);
        return hHook != NULL ? TRUE : FALSE;
    }
    if (hHook != NULL) UnhookWindowsHookEx(hHook);
    hHook = NULL;
    return TRUE;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    hInstDll = instance;
    hInstSelf = instance;
    // At process end (reserved non-null) the system drops the hooks itself;
    // calling into user32 from a dying process gains nothing.
    if (reason == DLL_PROCESS_DETACH && reserved == NULL && hHook != NULL) {
        UnhookWindowsHookEx(hHook);
        hHook = NULL;
    }
    return TRUE;
}
