#pragma once
// Installs Varnu.dll into the threads of the running messenger, so that the
// Ctrl key and wheel gestures made inside its windows reach the main window
// as WM_HOOKNOTIFY (see hooklib/hook_messages.h).
#include <windows.h>

#include <string>
#include <vector>

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

private:
    using InitHookFn = BOOL(WINAPI*)(BOOL install, HWND notify, DWORD threadId);

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

// Threads of the messenger windows that get the hook: top-level "#32770"
// windows with an untitled "Tencent_QQBar" child, then top-level
// "TXGuiFoundation" windows titled "QQ2009 Preview" with an untitled
// "Shell Embedding" child. Each thread appears once.
std::vector<DWORD> MessengerThreads() noexcept;

// Hooks every messenger thread found now, then lets WM_HOOKNOTIFY in from
// lower integrity levels. The library is not loaded when nothing matches.
// A missing library or export shows in the report; nothing is thrown.
HookReport HookMessengers(HWND notify) noexcept;
HookReport HookMessengers(HWND notify, HookLibrary& library) noexcept;

// ChangeWindowMessageFilter(WM_HOOKNOTIFY, MSGFLT_ADD); false when the
// system has no such function.
bool AllowHookMessage() noexcept;

}  // namespace varnu
