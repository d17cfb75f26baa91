#pragma once
// The watchdog: a thread that owns no window and checks that the window
// thread answers. A heartbeat is posted to the main window and answered
// there; when one has waited as long as the system waits before it calls a
// window "not responding", every captured window is given back from the
// release guard's records, never from the window thread's own structures,
// so that ending the frozen program takes no conversation down with it. The
// window thread, once it answers again, finds its conversations outside
// and takes them in again (frmMain::TakeInAgainAfterRescue).
#include <windows.h>

#include <atomic>

#include "win32/handles.h"

namespace varnu {

class Watchdog {
public:
    // How often the watchdog looks; a heartbeat is posted at most this often.
    static constexpr DWORD kLookMs = 500;

    Watchdog() = default;
    ~Watchdog() { Stop(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    bool Start(HWND main);
    void Stop() noexcept;
    // The main window's thread heard the heartbeat (win32::WM_HEARTBEAT).
    void Answer() noexcept { answered_.store(true); }

private:
    static DWORD WINAPI Main(void* param) noexcept;
    void Run() noexcept;

    HWND main_ = nullptr;
    win32::UniqueHandle thread_;
    win32::UniqueHandle stop_;
    std::atomic<bool> answered_{false};
};

}  // namespace varnu
