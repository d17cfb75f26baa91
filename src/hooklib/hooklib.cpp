// Varnu.dll: a WH_GETMESSAGE hook that runs inside the messenger's threads and
// tells Varnu's main window about the Ctrl key and the wheel gestures.
//
// This code lives in somebody else's process. It must never crash, block or
// allocate there: no C++ objects with constructors, no exceptions, no runtime
// state that needs set-up, nothing in DllMain beyond recording the module
// handle and removing our own hook. Kept deliberately C-like.
#include <windows.h>

#include "hook_messages.h"
#include "hooklib/core/meter_table.h"

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
// the messenger's process learns where to post, and where Varnu and the hooks
// meet over the histories. Variables must be initialised for the compilers
// to keep them in the named section. Fixed-width, so that the section is laid
// out alike in the x86 and the x64 library (meter_table.h).
std::uint32_t hWndNotify VARNU_SHARED = 0;  // a window handle's 32 significant bits
// Aligned as declared: compilers like to align big data further, which would
// move it within the section.
alignas(8) varnu::meter::MeterTable meterTable VARNU_SHARED = {
    varnu::meter::kMagic, sizeof(varnu::meter::MeterTable), varnu::meter::kSlots, 0, {}};

#if defined(_MSC_VER)
#pragma data_seg()
#pragma comment(linker, "/SECTION:Shared,RWS")
#endif

// Per process.
static HHOOK hHook = NULL;         // last hook installed from this process
static bool bRButtonDown = false;  // as seen in the hooked thread's messages
static bool bWheelWithRButton = false;
static bool bCtrlDown = false;

// The library's base address may differ between processes, so installing a
// hook uses the handle of the library in the calling process.
static HINSTANCE hInstSelf = NULL;

// Handles kept as 32-bit numbers widen as Windows widens them: sign-extended.
static HWND HandleOf(std::uint32_t value) { return (HWND)(LONG_PTR)(LONG)value; }

static void Notify(WPARAM what, LPARAM how) {
    HWND target = HandleOf(varnu::meter::Load(hWndNotify));
    // A null window would make PostMessage post to the messenger's own
    // thread queue.
    if (target != NULL) PostMessageW(target, WM_HOOKNOTIFY, what, how);
}

// Varnu's request: every history of this thread listed in the table is
// measured here, in the thread that owns it, with the same wide length query
// Varnu would otherwise send from outside. A handle is touched only once it
// is known to be a window of this very thread.
static void MeasureHistories(std::uint32_t sequence) {
    const DWORD self = GetCurrentThreadId();
    for (std::uint32_t i = 0; i < varnu::meter::kSlots; ++i) {
        varnu::meter::MeterSlot& slot = meterTable.slot[i];
        const std::uint32_t window = varnu::meter::WindowFor(slot, self);
        if (window == 0) continue;
        HWND history = HandleOf(window);
        if (GetWindowThreadProcessId(history, NULL) != self) continue;
        const LRESULT answer = SendMessageW(history, WM_GETTEXTLENGTH, 0, 0);
        varnu::meter::Publish(slot, window, sequence, varnu::meter::ClampLength((long long)answer));
    }
    Notify(HOOKNOTIFY_MEASURED, (LPARAM)sequence);
}

static LRESULT CALLBACK GetMsgProc(int code, WPARAM wParam, LPARAM lParam) {
    // Only messages that really leave the queue count. A PeekMessage with
    // PM_NOREMOVE shows the same message again later, which would post every
    // notice twice and could swallow a button release that is then delivered
    // anyway.
    if (code < 0 || !(wParam & PM_REMOVE) || lParam == 0) return CallNextHookEx(hHook, code, wParam, lParam);

    MSG* msg = (MSG*)lParam;

    const UINT request = varnu::meter::Load(meterTable.request);
    if (request != 0 && msg->message == request) {
        MeasureHistories((std::uint32_t)msg->wParam);
        // Varnu's own message is none of the messenger's business.
        msg->message = WM_NULL;
        msg->wParam = 0;
        msg->lParam = 0;
        return 1;
    }

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
        varnu::meter::Store(hWndNotify, (std::uint32_t)(ULONG_PTR)notify);
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

// The table in the caller's own mapping of the shared section.
extern "C" varnu::meter::MeterTable* WINAPI HistoryTable(void) { return &meterTable; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    hInstSelf = instance;
    // At process end (reserved non-null) the system drops the hooks itself;
    // calling into user32 from a dying process gains nothing.
    if (reason == DLL_PROCESS_DETACH && reserved == NULL && hHook != NULL) {
        UnhookWindowsHookEx(hHook);
        hHook = NULL;
    }
    return TRUE;
}
