#include "win32/subclass.h"

#include <string>

#include "win32/core/subclass_names.h"
#include "win32/msgbox.h"

namespace varnu {

namespace {

// Property values are pointer-sized: a window procedure or an object address
// does not fit 32 bits on 64-bit Windows.
using Value = std::intptr_t;

UINT g_currentMessage = 0;

std::uintptr_t Id(HWND window) noexcept { return reinterpret_cast<std::uintptr_t>(window); }

// The trace goes to the debugger's output; nobody else ever sees it.
void SubclassTrace(const std::string& line) noexcept { ::OutputDebugStringA((line + "\n").c_str()); }

Value Read(HWND window, const std::string& name) noexcept {
    return reinterpret_cast<Value>(::GetPropA(window, name.c_str()));
}

// Storing 0 removes the property: a value of 0 is never stored.
bool Store(HWND window, const std::string& name, Value value) noexcept {
    if (value == 0) {
        ::RemovePropA(window, name.c_str());
        return true;
    }
    return ::SetPropA(window, name.c_str(), reinterpret_cast<HANDLE>(value)) != FALSE;
}

bool StoreTotal(HWND w, Value count) noexcept {
    SubclassTrace(subclass_core::TraceTotalCount(Id(w), count));
    return Store(w, subclass_core::TotalCountName(Id(w)), count);
}
bool StorePrev(HWND w, Value proc) noexcept {
    SubclassTrace(subclass_core::TracePrevProc(Id(w), static_cast<std::uintptr_t>(proc)));
    return Store(w, subclass_core::PrevProcName(Id(w)), proc);
}
bool StoreCount(HWND w, UINT m, Value count) noexcept {
    SubclassTrace(subclass_core::TraceMessageCount(Id(w), m, count));
    return Store(w, subclass_core::MessageCountName(Id(w), m), count);
}
bool StoreEntry(HWND w, UINT m, int i, ISubclass* object) noexcept {
    SubclassTrace(subclass_core::TraceEntry(Id(w), m, i, reinterpret_cast<std::uintptr_t>(object)));
    return Store(w, subclass_core::EntryName(Id(w), m, i), reinterpret_cast<Value>(object));
}

Value Total(HWND w) noexcept { return Read(w, subclass_core::TotalCountName(Id(w))); }
Value Prev(HWND w) noexcept { return Read(w, subclass_core::PrevProcName(Id(w))); }
int Count(HWND w, UINT m) noexcept { return static_cast<int>(Read(w, subclass_core::MessageCountName(Id(w), m))); }
ISubclass* Entry(HWND w, UINT m, int i) noexcept {
    return reinterpret_cast<ISubclass*>(Read(w, subclass_core::EntryName(Id(w), m, i)));
}

// The windows keep their Unicode procedures: installing and calling through
// the wide functions keeps text messages from passing the ANSI code page.
Value SetProc(HWND w, Value proc) noexcept { return ::SetWindowLongPtrW(w, GWLP_WNDPROC, proc); }

std::wstring ProgramName() {
    wchar_t path[MAX_PATH]{};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, n);
    if (auto slash = name.find_last_of(L"\\/"); slash != std::wstring::npos) name.erase(0, slash + 1);
    if (auto dot = name.rfind(L'.'); dot != std::wstring::npos) name.erase(dot);
    return name;
}

SubclassError ServiceError(int code) {
    return {subclass_core::ServiceErrorNumber(code), ProgramName() + L".WindowProc",
            subclass_core::ServiceErrorText(code)};
}
SubclassError StoreError() {
    return {subclass_core::kErrStoreFailed, L"", subclass_core::ServiceErrorText(subclass_core::kErrStoreFailed)};
}

void ReleaseWindowOnDestroy(HWND w) noexcept {
    if (Total(w) <= 0) return;
    if (Value prev = Prev(w)) SetProc(w, prev);
    StorePrev(w, 0);
    StoreTotal(w, 0);
}

LRESULT CallPrevious(Value prev, HWND h, UINT m, WPARAM wParam, LPARAM lParam) noexcept {
    return ::CallWindowProcW(reinterpret_cast<WNDPROC>(prev), h, m, wParam, lParam);
}

}  // namespace

UINT CurrentMessage() noexcept { return g_currentMessage; }

bool IsLocalWindow(HWND window) noexcept {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    return process == ::GetCurrentProcessId();
}

SubclassError HookMessage(ISubclass* object, HWND h, UINT m) noexcept {
    try {
        if (!::IsWindow(h)) return ServiceError(subclass_core::kErrInvalidWindow);
        if (!IsLocalWindow(h)) return ServiceError(subclass_core::kErrExternalWindow);
        const int n = Count(h, m);
        for (int i = 1; i <= n; ++i)
            if (Entry(h, m, i) == object) return ServiceError(subclass_core::kErrAlreadyHooked);

        if (!StoreCount(h, m, n + 1)) return StoreError();
        if (!StoreEntry(h, m, n + 1, object)) {
            StoreCount(h, m, n);
            return StoreError();
        }
        const Value total = Total(h);
        if (total == 0) {
            const Value prev = SetProc(h, reinterpret_cast<Value>(&SubclassDispatchProc));
            if (prev == 0) {
                StoreEntry(h, m, n + 1, nullptr);
                StoreCount(h, m, n);
                return ServiceError(subclass_core::kErrCantSubclass);
            }
            if (!StorePrev(h, prev)) {
                SetProc(h, prev);
                StoreEntry(h, m, n + 1, nullptr);
                StoreCount(h, m, n);
                return StoreError();
            }
        }
        if (!StoreTotal(h, total + 1)) {
            StoreEntry(h, m, n + 1, nullptr);
            StoreCount(h, m, n);
            if (total == 0) {
                if (Value prev = Prev(h)) SetProc(h, prev);
                StorePrev(h, 0);
            }
            return StoreError();
        }
        return {};
    } catch (...) {
        return StoreError();  // only an allocation of a name can fail here
    }
}

void UnhookMessage(ISubclass* object, HWND h, UINT m) noexcept {
    try {
        if (!::IsWindow(h) || !IsLocalWindow(h)) return;
        const int n = Count(h, m);
        if (n < 1) return;
        int found = 0;
        for (int i = 1; i <= n && !found; ++i)
            if (Entry(h, m, i) == object) found = i;
        if (!found) return;
        for (int i = found; i < n; ++i) StoreEntry(h, m, i, Entry(h, m, i + 1));
        StoreEntry(h, m, n, nullptr);
        StoreCount(h, m, n - 1);
        const Value total = Total(h);
        if (total == 1) {
            if (Value prev = Prev(h)) {
                SetProc(h, prev);
                StorePrev(h, 0);
            }
        }
        StoreTotal(h, total - 1);
    } catch (...) {
        // Only the making of a property's name can fail: the entry stays, and
        // goes with the window's properties when it is destroyed.
    }
}

LRESULT CallPreviousProc(HWND h, UINT m, WPARAM wParam, LPARAM lParam) noexcept {
    const Value prev = Prev(h);
    if (!prev) return ::DefWindowProcW(h, m, wParam, lParam);
    return CallPrevious(prev, h, m, wParam, lParam);
}

LRESULT CALLBACK SubclassDispatchProc(HWND h, UINT m, WPARAM wParam, LPARAM lParam) noexcept {
    const Value prev = Prev(h);
    if (!prev) return 0;
    const int n = Count(h, m);
    if (n < 1) {
        if (m == WM_DESTROY) ReleaseWindowOnDestroy(h);
        return CallPrevious(prev, h, m, wParam, lParam);
    }
    // Each dispatch keeps its own flag and result: a handler may cause
    // further messages to the same window before this one is done.
    bool previousCalled = false;
    bool called = false;
    std::int32_t lastResponse = 0;
    LRESULT result = 0;
    for (int i = n; i >= 1; --i) {
        ISubclass* object = Entry(h, m, i);
        if (!object) continue;
        g_currentMessage = m;
        const std::int32_t response = object->MsgResponse();
        if (i == 1 && response == 2 && !previousCalled) {
            result = CallPrevious(prev, h, m, wParam, lParam);
            previousCalled = true;
        }
        lastResponse = response;
        called = true;
        try {
            result = object->WindowProc(h, m, wParam, lParam);
        } catch (...) {
            // One handler's failure is reported; the others and the window go on.
            ReportCaught(L"SubclassDispatchProc", h, m);
        }
    }
    if (called && !previousCalled && lastResponse == 1) result = CallPrevious(prev, h, m, wParam, lParam);
    return result;
}

}  // namespace varnu
