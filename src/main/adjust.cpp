// Layout glue: makes the main window follow the selected chat window's size,
// with the arithmetic in core/layout. Each step that fails is skipped, and
// LayoutBusy is always cleared, or Form_Resize would stay switched off.
#include <windows.h>

#include "main/core/layout.h"
#include "main/main_window.h"
#include "main/release_guard.h"
#include "settings/settings.h"

namespace varnu {
namespace {

struct BusyFlag {
    explicit BusyFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyFlag() { flag_ = false; }
    bool& flag_;
};

// A child's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child) noexcept {
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

// Shared by both procedures once the chat window's size is known.
static void ApplyLayout(frmMain& main, const LayoutChange& change, const RECT& picRect) noexcept {
    HWND self = main.hwnd();
    // Unchanged on most timer ticks; moving anyway would repaint needlessly.
    if (change.picWinTop != picRect.top || change.picWinWidth != picRect.right - picRect.left ||
        change.picWinHeight != picRect.bottom - picRect.top)
        ::MoveWindow(main.picWin, picRect.left, change.picWinTop, change.picWinWidth, change.picWinHeight, TRUE);

    const int dx = change.outerWidthDeltaTwips / kTwipsPerPixel;
    const int dy = change.outerHeightDeltaTwips / kTwipsPerPixel;
    if (dx != 0 || dy != 0) {
        RECT outer{};
        if (::GetWindowRect(self, &outer))
            ::SetWindowPos(self, nullptr, 0, 0, outer.right - outer.left + dx, outer.bottom - outer.top + dy,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    RECT client{};
    ::GetClientRect(self, &client);
    try {
        main.btnTab.Move(0, 0, client.right, client.bottom);
    } catch (...) {
    }
}

static LayoutInput ReadLayoutInput(frmMain& main, int chatWidth, int chatHeight, std::int32_t kind,
                                   RECT& picRect) noexcept {
    LayoutInput in;
    in.chatWidth = chatWidth;
    in.chatHeight = chatHeight;
    picRect = RectInParent(main.picWin);
    in.picWinWidth = picRect.right - picRect.left;
    in.picWinHeight = picRect.bottom - picRect.top;
    in.picWinTop = picRect.top;
    RECT client{};
    ::GetClientRect(main.hwnd(), &client);
    in.innerHeight = client.bottom;
    try {
        in.headerHeight = main.btnTab.GetHeaderHeight();
    } catch (...) {
    }
    in.showState = App().ShowState;
    in.tabsAtBottom = AppSettings().tab_Bottom;
    in.kind = kind;
    return in;
}

void frmMain::AdjustQQWindow() {
    if (App().FrameTracking) return;
    BusyFlag busy(LayoutBusy);
    LinkPtr node = CurNode;
    if (!node) return;
    HWND chat = ToHwnd(node->hWnd);

    RECT chatRect{};
    ::GetWindowRect(chat, &chatRect);
    // This runs on every timer tick. A move of the messenger's window is a
    // message to its thread and a repaint there, so it is only made when the
    // window has left its place or the top of the conversation area; and it
    // is asynchronous, so a hung messenger cannot stop our thread. Every
    // give-back queues its final place behind such requests.
    const POINT place{-8, -ChatCaptionHeight(node->version)};
    POINT at{chatRect.left, chatRect.top};
    ::ScreenToClient(picWin, &at);
    const bool moved = at.x != place.x || at.y != place.y || ::GetWindow(picWin, GW_CHILD) != chat;
    if (CapturedTouch touch; moved && touch)
        ::SetWindowPos(chat, HWND_TOP, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);

    RECT picRect{};
    LayoutInput in = ReadLayoutInput(*this, chatRect.right - chatRect.left, chatRect.bottom - chatRect.top,
                                     node->version, picRect);
    ApplyLayout(*this, AdjustQQWindowSizes(in), picRect);
}

void frmMain::AdjustTabWindow() {
    BusyFlag busy(LayoutBusy);
    LinkPtr node = CurNode;
    if (!node) return;
    RECT picRect{};
    LayoutInput in = ReadLayoutInput(*this, node->W, node->H, node->version, picRect);
    ApplyLayout(*this, AdjustTabWindowSizes(in), picRect);
}

}  // namespace varnu
