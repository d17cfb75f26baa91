#pragma once
// The XP style engine. WindowsXPC looks through the windows of a form and
// attaches one clsWinXPCEngine to each tab window; the engine makes the tab
// window owner-drawn, follows which tab the mouse is over and repaints the
// strip with clsTabStripXP in the look and colours its owner hands it.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "controls/xpstyle/core/hover.h"
#include "controls/xpstyle/core/strip_paint.h"
#include "win32/subclass.h"

namespace varnu {

class clsWinXPCEngine final : public ISubclass {
public:
    // Watches the mouse leaving the strip. Not 1: the tab window's own
    // procedure uses timer 1 for its hot tracking on some systems.
    static constexpr UINT_PTR kLeaveTimer = 0x5850;

    clsWinXPCEngine() = default;
    ~clsWinXPCEngine();
    clsWinXPCEngine(const clsWinXPCEngine&) = delete;
    clsWinXPCEngine& operator=(const clsWinXPCEngine&) = delete;

    // Attaches to `control` when it is a tab window; anything else gets no hooks.
    void Attach(HWND control) noexcept;
    void UnloadEngine() noexcept;
    void SetStyle(const xp::StripStyle& style) { style_ = style; }

    bool Attached() const noexcept { return attached_; }
    const xp::HoverState& Hover() const noexcept { return hover_; }

    std::int32_t MsgResponse() noexcept override;
    void SetMsgResponse(std::int32_t) override {}
    LRESULT WindowProc(HWND hWnd, UINT iMsg, WPARAM wParam, LPARAM lParam) override;

private:
    void Repaint();  // the strip, over what the screen shows
    void PaintStrip(HDC dc);
    void PaintBuffered();  // the whole window, for WM_PAINT
    void PrintTabWindow(HDC dc, const RECT& client) noexcept;
    void OnTimer();
    void PrintClient(HDC dc) noexcept;
    void Hooks(bool hook) noexcept;

    HWND window_ = nullptr;  // the tab window
    HWND parent_ = nullptr;  // its host, which hears the draw requests
    bool attached_ = false;
    bool clean_ = false;
    bool mouseInside_ = false;
    bool inTabPaint_ = false;     // the tab window is printing itself
    std::vector<int> requested_;  // tabs it asked to have drawn, not yet painted
    xp::HoverState hover_;
    xp::StripStyle style_;
};

class WindowsXPC {
public:
    bool TabStripControl = true;  // engines are made for tab windows only when true

    ~WindowsXPC() { EndWinXPCSubClassing(); }

    // One engine for every tab window among the form's descendants.
    void InitSubClassing(HWND form);
    void EndWinXPCSubClassing() noexcept;

    // What the strips are drawn with, for the engines made from now on and
    // those already attached; it shows at their next repaint.
    void SetStyle(const xp::StripStyle& style);

    bool EngineStarted() const noexcept { return engineStarted_; }
    const std::vector<std::unique_ptr<clsWinXPCEngine>>& Engines() const noexcept { return engines_; }

private:
    std::vector<std::unique_ptr<clsWinXPCEngine>> engines_;
    bool engineStarted_ = false;
    xp::StripStyle style_;
};

}  // namespace varnu
