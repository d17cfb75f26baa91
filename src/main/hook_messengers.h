#pragma once
// Installs Varnu.dll into the threads of the running messenger, so that the
// Ctrl key and wheel gestures made inside its windows reach the main window
// as WM_HOOKNOTIFY (see hooklib/hook_messages.h). Every hook the program asks
// for goes through HookThreads, which hooks each thread once while it runs.
#include <windows.h>

#include <string>
#include <vector>

#include "hooklib/core/meter_table.h"
#include "hooklib/hook_messages.h"
#include "win32/handles.h"

namespace varnu {

enum class HookLibraryState {
    NotLoaded,       // no call needed the library yet
    Loaded,          // the library is loaded and InitHook is bound
    LibraryMissing,  // no candidate file could be loaded
    ExportMissing,   // a library was loaded but it has no InitHook
};

// The binding of InitHook, made by name at the first call that needs it.
class HookLibrary {
public:
    // Files tried in order; each is loaded exactly as given.
    explicit HookLibrary(std::vector<std::wstring> candidates);

    // Varnu.dll by full path in the program's folder, then by name through
    // the system's library search.
    static std::vector<std::wstring> DefaultCandidates();

    // Loads and binds unless that already happened. A failure is not
    // remembered: a later call tries again.
    HookLibraryState Bind() noexcept;
    HookLibraryState State() const noexcept { return state_; }

    // Binds on demand; false when the library is unusable or the hook could
    // not be installed.
    bool InitHook(bool install, HWND notify, DWORD threadId) noexcept;

    // The library's history table in this process, once something else has
    // loaded the library; none from a library without one or of another
    // layout (meter_table.h).
    meter::MeterTable* HistoryTable() noexcept;

private:
    using InitHookFn = BOOL(WINAPI*)(BOOL install, HWND notify, DWORD threadId);
    using HistoryTableFn = meter::MeterTable*(WINAPI*)();

    std::vector<std::wstring> candidates_;
    win32::UniqueModule module_;
    InitHookFn initHook_ = nullptr;
    HookLibraryState state_ = HookLibraryState::NotLoaded;
};

// The binding the program keeps for its whole run; hooks last as long as the
// library stays loaded.
HookLibrary& ProgramHookLibrary();

struct HookReport {
    HookLibraryState library = HookLibraryState::NotLoaded;
    int threads = 0;  // messenger threads that needed a hook
    int hooked = 0;   // hooks InitHook actually installed
};

// A window whose thread gets the hook however it was found: a top-level
// "#32770" window with an untitled "Tencent_QQBar" child (the main panel), or
// a top-level "TXGuiFoundation" window titled "QQ2009 Preview" with an
// untitled "Shell Embedding" child.
bool IsMessengerPanel(HWND hwnd);

// Threads of the messenger panels open now: the "#32770" ones first, then the
// "TXGuiFoundation" ones. Each thread appears once.
std::vector<DWORD> MessengerThreads() noexcept;

// Hooks each of `threads` that has no hook from this program yet, through
// the program's one record of hooked threads; threads that ended are
// forgotten first. The library is bound only when a thread needs it, and a
// thread is not recorded while the library is unusable.
HookReport HookThreads(HWND notify, const std::vector<DWORD>& threads, HookLibrary& library) noexcept;
HookReport HookThreads(HWND notify, const std::vector<DWORD>& threads) noexcept;

// Hooks every messenger thread found now (HookThreads), then lets
// WM_HOOKNOTIFY in from lower integrity levels. The library is not loaded when nothing matches.
// A missing library or export shows in the report; nothing is thrown.
HookReport HookMessengers(HWND notify) noexcept;
HookReport HookMessengers(HWND notify, HookLibrary& library) noexcept;

// ChangeWindowMessageFilter(WM_HOOKNOTIFY, MSGFLT_ADD); false when the
// system has no such function.
bool AllowHookMessage() noexcept;

}  // namespace varnu
