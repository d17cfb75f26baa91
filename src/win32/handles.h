#pragma once
// RAII owners for Win32 handles. Copying is deleted everywhere: one owner, one
// release. Moving hands ownership on.
#include <windows.h>

#include <utility>

namespace win32 {

template <class T, class Traits>
class UniqueResource {
public:
    UniqueResource() noexcept = default;
    explicit UniqueResource(T value) noexcept : value_(value) {}
    ~UniqueResource() { reset(); }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return !Traits::IsEmpty(value_); }
    T release() noexcept { return std::exchange(value_, Traits::Empty()); }
    void reset(T value = Traits::Empty()) noexcept {
        T old = std::exchange(value_, value);
        if (!Traits::IsEmpty(old)) Traits::Close(old);
    }

private:
    T value_ = Traits::Empty();
};

struct KernelHandleTraits {
    static HANDLE Empty() noexcept { return nullptr; }
    static bool IsEmpty(HANDLE h) noexcept { return h == nullptr || h == INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;

template <class T>
struct GdiObjectTraits {
    static T Empty() noexcept { return nullptr; }
    static bool IsEmpty(T h) noexcept { return h == nullptr; }
    static void Close(T h) noexcept { ::DeleteObject(h); }
};
template <class T>
using UniqueGdiObject = UniqueResource<T, GdiObjectTraits<T>>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;
using UniquePen = UniqueGdiObject<HPEN>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;

struct MemoryDcTraits {
    static HDC Empty() noexcept { return nullptr; }
    static bool IsEmpty(HDC h) noexcept { return h == nullptr; }
    static void Close(HDC h) noexcept { ::DeleteDC(h); }
};
using UniqueMemoryDc = UniqueResource<HDC, MemoryDcTraits>;

struct HookTraits {
    static HHOOK Empty() noexcept { return nullptr; }
    static bool IsEmpty(HHOOK h) noexcept { return h == nullptr; }
    static void Close(HHOOK h) noexcept { ::UnhookWindowsHookEx(h); }
};
using UniqueHook = UniqueResource<HHOOK, HookTraits>;

struct WinEventHookTraits {
    static HWINEVENTHOOK Empty() noexcept { return nullptr; }
    static bool IsEmpty(HWINEVENTHOOK h) noexcept { return h == nullptr; }
    static void Close(HWINEVENTHOOK h) noexcept { ::UnhookWinEvent(h); }
};
using UniqueWinEventHook = UniqueResource<HWINEVENTHOOK, WinEventHookTraits>;

struct ModuleTraits {
    static HMODULE Empty() noexcept { return nullptr; }
    static bool IsEmpty(HMODULE h) noexcept { return h == nullptr; }
    static void Close(HMODULE h) noexcept { ::FreeLibrary(h); }
};
using UniqueModule = UniqueResource<HMODULE, ModuleTraits>;

struct MenuTraits {
    static HMENU Empty() noexcept { return nullptr; }
    static bool IsEmpty(HMENU h) noexcept { return h == nullptr; }
    static void Close(HMENU h) noexcept { ::DestroyMenu(h); }
};
using UniqueMenu = UniqueResource<HMENU, MenuTraits>;

struct IconTraits {
    static HICON Empty() noexcept { return nullptr; }
    static bool IsEmpty(HICON h) noexcept { return h == nullptr; }
    static void Close(HICON h) noexcept { ::DestroyIcon(h); }
};
using UniqueIcon = UniqueResource<HICON, IconTraits>;

struct WindowTraits {
    static HWND Empty() noexcept { return nullptr; }
    static bool IsEmpty(HWND h) noexcept { return h == nullptr; }
    static void Close(HWND h) noexcept { ::DestroyWindow(h); }
};
using UniqueWindow = UniqueResource<HWND, WindowTraits>;

// GetDC / ReleaseDC for the lifetime of a scope.
class ScopedGetDc {
public:
    explicit ScopedGetDc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~ScopedGetDc() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    ScopedGetDc(const ScopedGetDc&) = delete;
    ScopedGetDc& operator=(const ScopedGetDc&) = delete;
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// SelectObject that puts the previous object back when the scope ends.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~ScopedSelect() {
        if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace win32
