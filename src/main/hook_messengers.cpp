#include "main/hook_messengers.h"

#include <algorithm>
#include <utility>

#include "main/core/hooked_threads.h"
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

void AddThread(std::vector<DWORD>& threads, HWND hwnd) {
    // A window that vanished gives thread 0, which would mean every thread.
    DWORD thread = ::GetWindowThreadProcessId(hwnd, nullptr);
    if (thread != 0 && std::find(threads.begin(), threads.end(), thread) == threads.end()) threads.push_back(thread);
}

// The held handle keeps the thread's id from going to a new thread while the
// id is on record. A thread we may not open is kept on record for the whole
// run: hooking it twice would be worse than missing its successor.
win32::UniqueHandle OpenForEndCheck(DWORD thread) noexcept {
    return win32::UniqueHandle(::OpenThread(SYNCHRONIZE, FALSE, thread));
}

bool HasEnded(const win32::UniqueHandle& thread) noexcept {
    return thread && ::WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0;
}

// One record for the process, beside the library binding: a hook put into a
// messenger thread stays there until that thread ends or the library is
// unloaded, whichever window asked for it.
HookedThreads<win32::UniqueHandle>& ProgramHookedThreads() {
    static HookedThreads<win32::UniqueHandle> threads;
    return threads;
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
        auto proc = reinterpret_cast<InitHookFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), "InitHook")));
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

meter::MeterTable* HookLibrary::HistoryTable() noexcept {
    if (state_ != HookLibraryState::Loaded) return nullptr;
    auto proc =
        reinterpret_cast<HistoryTableFn>(reinterpret_cast<void*>(::GetProcAddress(module_.get(), "HistoryTable")));
    meter::MeterTable* table = proc ? proc() : nullptr;
    return table && meter::Matches(*table) ? table : nullptr;
}

HookLibrary& ProgramHookLibrary() {
    static HookLibrary library(HookLibrary::DefaultCandidates());
    return library;
}

bool IsMessengerPanel(HWND hwnd) {
    if (::GetAncestor(hwnd, GA_PARENT) != ::GetDesktopWindow()) return false;
    const std::wstring className = win32::WindowClass(hwnd);
    if (className == L"#32770") return HasUntitledChild(hwnd, L"Tencent_QQBar");
    return className == L"TXGuiFoundation" && win32::WindowText(hwnd) == L"QQ2009 Preview" &&
           HasUntitledChild(hwnd, L"Shell Embedding");
}

std::vector<DWORD> MessengerThreads() noexcept {
    std::vector<DWORD> threads;
    try {
        const std::vector<HWND> topLevel = win32::TopLevelWindows();
        for (const wchar_t* className : {L"#32770", L"TXGuiFoundation"}) {
            for (HWND hwnd : topLevel)
                if (win32::WindowClass(hwnd) == className && IsMessengerPanel(hwnd)) AddThread(threads, hwnd);
        }
    } catch (...) {
        // Out of memory: hook what was found so far.
    }
    return threads;
}

HookReport HookThreads(HWND notify, const std::vector<DWORD>& threads, HookLibrary& library) noexcept {
    HookReport report;
    try {
        HookedThreads<win32::UniqueHandle>& record = ProgramHookedThreads();
        const std::vector<ThreadId> fresh =
            record.Unhooked(std::vector<ThreadId>(threads.begin(), threads.end()), &HasEnded);
        report.threads = static_cast<int>(fresh.size());
        for (ThreadId thread : fresh) {
            if (library.Bind() != HookLibraryState::Loaded) break;
            record.Remember(thread, OpenForEndCheck(thread));
            if (library.InitHook(true, notify, thread)) ++report.hooked;
        }
    } catch (...) {
        // Out of memory for the record: the thread stays unhooked.
    }
    report.library = library.State();
    return report;
}

HookReport HookThreads(HWND notify, const std::vector<DWORD>& threads) noexcept {
    HookLibrary* library = nullptr;
    try {
        library = &ProgramHookLibrary();
    } catch (...) {
        HookReport report;
        report.library = HookLibraryState::LibraryMissing;
        return report;
    }
    return HookThreads(notify, threads, *library);
}

HookReport HookMessengers(HWND notify, HookLibrary& library) noexcept {
    HookReport report = HookThreads(notify, MessengerThreads(), library);
    AllowHookMessage();
    return report;
}

HookReport HookMessengers(HWND notify) noexcept {
    HookReport report = HookThreads(notify, MessengerThreads());
    AllowHookMessage();
    return report;
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
