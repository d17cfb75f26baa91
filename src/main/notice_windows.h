#pragma once
// The main window's two small windows of its own: the notice frame shown
// while no tab exists, and a tab number of the overlay shown while Ctrl is
// held. Each object lives exactly as long as its window: it is made by
// Create and ends with the window.
#include <windows.h>

#include "win32/window.h"

namespace varnu {

// A small window of ours that keeps the font it is given (WM_SETFONT /
// WM_GETFONT) and paints in one place for WM_PAINT and WM_PRINTCLIENT.
class SmallWindow : public win32::Window {
protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) noexcept override;
    void OnFinalMessage() noexcept override { delete this; }
    virtual void PaintContent(HDC dc) noexcept = 0;
    HFONT Font() const noexcept;

    // Created through the subclasses' Create only; they own themselves.
    HWND CreateIn(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, const RECT& rect,
                  HWND parent);

private:
    HFONT font_ = nullptr;
};

// The notice frame paints its own face, so the tab strip below it never
// shows through (a plain group box is transparent inside).
class NoticeFrame final : public SmallWindow {
public:
    static HWND Create(HWND parent, const wchar_t* caption, const RECT& rect);

private:
    void PaintContent(HDC dc) noexcept override;
};

// A tab number: orange face, the window text in yellow at the top-left.
class TabNumber final : public SmallWindow {
public:
    static HWND Create(HWND parent, const RECT& rect);

private:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) noexcept override;
    void PaintContent(HDC dc) noexcept override;
};

}  // namespace varnu
