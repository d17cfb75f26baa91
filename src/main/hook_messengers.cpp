#include "main/hook_messengers.h"

#include <algorithm>
#include <utility>

#include "win32/winapi.h"

namespace varnu {

namespace {

constexpr wchar_t kLibraryName[] = L"Varnu.dll";

bool HasUntitledChild(HWND parent, const wchar_t* childClass) {
    for (HWND child = ::FindWindowExW(parent, nullptr, childClass, nullptr); child;
         child = ::FindWindowExW(parent, child, childClass, nullptr)) {
        if (win32::WindowText(child).empty()) return true;
    }
    return false;
}

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM lParam) noexcept {
    try {
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

void AddThread(std::vector<DWORD>& threads, HWND hwnd) {
    // A window that vanished gives thread 0, which would mean every thread.
    DWORD thread = ::GetWindowThreadProcessId(hwnd, nullptr);
    if (thread != 0 && std::find(threads.begin(), threads.end(), thread) == threads.end())
        threads.push_back(thread);
}

}  // namespace

HookLibrary::HookLibrary(std::vector<std::wstring> candidates) : candidates_(std::move(candidates)) {}

std::vector<std::wstring> HookLibrary::DefaultCandidates() {
    std::vector<std::wstring> result;
    std::wstring folder = win32::ModuleFolder();
    if (!folder.empty()) {
        if (folder.back() != L'\\') folder += L'\\';
        result.push_back(folder + kLibraryName);
    }
    result.push_back(kLibraryName);
    return result;
}

HookLibraryState HookLibrary::Bind() noexcept {
    if (state_ == HookLibraryState::Loaded) return state_;
    state_ = HookLibraryState::LibraryMissing;
    for (const std::wstring& candidate : candidates_) {
        win32::UniqueModule module(::LoadLibraryW(candidate.c_str()));
        if (!module) continue;
        auto proc = reinterpret_cast<InitHookFn>(
            reinterpret_cast<void*>(::GetProcAddress(module.get(), "InitHook")));
        if (!proc) {
            // Something of that name, but not ours; a later candidate may be.
            state_ = HookLibraryState::ExportMissing;
            continue;
        }
        module_ = std::move(module);
        initHook_ = proc;
        state_ = HookLibraryState::Loaded;
        break;
    }
    return state_;
}

bool HookLibrary::InitHook(bool install, HWND notify, DWORD threadId) noexcept {
    if (Bind() != HookLibraryState::Loaded) return false;
    return initHook_(install ? TRUE : FALSE, notify, threadId) != FALSE;
}

HookLibrary& ProgramHookLibrary() {
    static HookLibrary library(HookLibrary::DefaultCandidates());
    return library;
}

std::vector<DWORD> MessengerThreads() noexcept {
    std::vector<DWORD> threads;
    try {
        std::vector<HWND> topLevel;
        ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&topLevel));
        for (HWND hwnd : topLevel) {
            if (win32::WindowClass(hwnd) == L"#32770" && HasUntitledChild(hwnd, L"Tencent_QQBar"))
                AddThread(threads, hwnd);
        }
        for (HWND hwnd : topLevel) {
            if (win32::WindowClass(hwnd) == L"TXGuiFoundation" &&
                win32::WindowText(hwnd) == L"QQ2009 Preview" && HasUntitledChild(hwnd, L"Shell Embedding"))
                AddThread(threads, hwnd);
        }
    } catch (...) {
        // Out of memory: hook what was found so far.
    }
    return threads;
}

HookReport HookMessengers(HWND notify, HookLibrary& library) noexcept {
    HookReport report;
    const std::vector<DWORD> threads = MessengerThreads();
    report.threads = static_cast<int>(threads.size());
    // One hook per thread: a second hook on the same thread would run the
    // hook procedure twice per message and post every Ctrl notice twice.
    for (DWORD thread : threads) {
        if (library.Bind() != HookLibraryState::Loaded) break;
        if (library.InitHook(true, notify, thread)) ++report.hooked;
    }
    report.library = library.State();
    AllowHookMessage();
    return report;
}

HookReport HookMessengers(HWND notify) noexcept {
    HookLibrary* library = nullptr;
    try {
        library = &ProgramHookLibrary();
    } catch (...) {
        HookReport report;
        report.library = HookLibraryState::LibraryMissing;
        return report;
    }
    return HookMessengers(notify, *library);
}

bool AllowHookMessage() noexcept {
    using ChangeFilterFn = BOOL(WINAPI*)(UINT message, DWORD flag);
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    if (!user32) return false;
    auto change = reinterpret_cast<ChangeFilterFn>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "ChangeWindowMessageFilter")));
    if (!change) return false;
    change(WM_HOOKNOTIFY, 1 /* MSGFLT_ADD */);
    return true;
}

}  // namespace varnu
