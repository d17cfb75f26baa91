// Layout glue: makes the main window follow the selected chat window's size,
// with the arithmetic in core/layout, and the window check that runs it on
// every tick. Each step that fails is skipped, and LayoutBusy is always
// cleared, or Form_Resize would stay switched off.
#include <windows.h>
#include <commctrl.h>

#include "main/core/layout.h"
#include "main/main_window.h"
#include "main/core/tab_actions.h"
#include "main/release_guard.h"
#include "win32/peer_lanes.h"
#include "win32/winapi.h"
#include "main/watch.h"
#include "settings/settings.h"

namespace varnu {
namespace {

struct BusyFlag {
    explicit BusyFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyFlag() { flag_ = false; }
    bool& flag_;
};

}  // namespace

void frmMain::ApplyLayout(const LayoutChange& change, const RECT& picRect) noexcept {
    HWND self = hwnd();
    // Unchanged on most timer ticks.
    win32::MoveContainer(picWin, picRect.left, change.picWinTop, change.picWinWidth, change.picWinHeight);

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
    btnTab.Move(0, 0, client.right, client.bottom);
}

LayoutInput frmMain::ReadLayoutInput(int chatWidth, int chatHeight, std::int32_t kind, RECT& picRect) noexcept {
    LayoutInput in;
    in.chatWidth = chatWidth;
    in.chatHeight = chatHeight;
    picRect = win32::RectInParent(picWin);
    in.picWinWidth = picRect.right - picRect.left;
    in.picWinHeight = picRect.bottom - picRect.top;
    in.picWinTop = picRect.top;
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    in.innerHeight = client.bottom;
    in.headerHeight = btnTab.GetHeaderHeight();
    in.showState = state_.ShowState;
    in.tabsAtBottom = AppSettings().tab_Bottom;
    in.kind = kind;
    return in;
}

void frmMain::AdjustQQWindow() {
    if (state_.FrameTracking) return;
    BusyFlag busy(LayoutBusy);
    LinkPtr node = chats_.CurNode();
    if (!node) return;
    HWND chat = ToHwnd(node->hWnd);
    // A size of ours still on its way to the window: its own size is about
    // to change, so the main window does not follow it now.
    if (win32::PeerLanes::Program().Pending(chat, win32::lanes::Kind::Place)) return;

    RECT chatRect{};
    ::GetWindowRect(chat, &chatRect);
    // This runs on every timer tick. A move of the messenger's window is a
    // message to its thread and a repaint there, so it is only made when the
    // window has left its place or the top of the conversation area.
    win32::lanes::Placement place;
    place.x = -8;
    place.y = -ChatCaptionHeight(node->version);
    place.toTop = true;
    POINT at{chatRect.left, chatRect.top};
    ::ScreenToClient(picWin, &at);
    if (at.x != *place.x || at.y != *place.y || ::GetWindow(picWin, GW_CHILD) != chat) PlaceChat(*node, place);

    RECT picRect{};
    LayoutInput in =
        ReadLayoutInput(chatRect.right - chatRect.left, chatRect.bottom - chatRect.top, node->version, picRect);
    ApplyLayout(AdjustQQWindowSizes(in), picRect);
}

void frmMain::AdjustTabWindow() {
    BusyFlag busy(LayoutBusy);
    LinkPtr node = chats_.CurNode();
    if (!node) return;
    RECT picRect{};
    LayoutInput in = ReadLayoutInput(node->W, node->H, node->version, picRect);
    ApplyLayout(AdjustTabWindowSizes(in), picRect);
}

void frmMain::TakeInAgainAfterRescue() {
    if (Leaving()) return;
    // A record whose window is no longer inside, once nothing of ours is on
    // its way to it, was given back by the watchdog while we did not answer:
    // it comes in again with its tab and its unread count as they were.
    // Given back a second time within a minute of that, it stays on the
    // desktop (and its tab goes with the window check), so the two never loop.
    const std::uint64_t now = ::GetTickCount64();
    auto& lanes = win32::PeerLanes::Program();
    for (LinkPtr node = chats_.WinList()->theNext; node; node = node->theNext) {
        const HWND window = ToHwnd(node->hWnd);
        // Our own tables first: a window inside is in the guard's, and this
        // runs every tick for every tab, where asking the system about each
        // window would cost as much as the new-message poll.
        if (ReleaseGuardHolds(window) || capture_.LeftOut(window) ||
            lanes.Pending(window, win32::lanes::Kind::GiveBack) || lanes.Pending(window, win32::lanes::Kind::Capture))
            continue;
        if (!::IsWindow(window) || ::GetAncestor(window, GA_PARENT) == picWin) continue;
        if (!rescues_.MayTakeInAgain(ToId(window), now)) {
            capture_.LeaveOut(window);
            continue;
        }
        capture_.TakeInAgain(node);
        rescues_.TakenInAgain(ToId(window), now);
    }
}

void frmMain::tmrChkWin_Timer() {
    TakeInAgainAfterRescue();
    // Every record's window is looked at, selected or not: a conversation
    // its messenger closed must not keep a tab. IsWindow is answered from
    // the window table; nothing is sent to the messenger.
    const LinkPtr current = chats_.CurNode();
    const VanishedTabs gone =
        FindVanishedTabs(RecordWindowsAlive(chats_.WinList(), [this](HWND w) { return capture_.LeftOut(w); }),
                         current ? chats_.CurIndex() - 1 : -1);
    for (int tab : gone.others) {
        ReleaseGuardRemove(ToHwnd(chats_.AtTab(tab)->hWnd));
        chats_.RemoveAtTab(tab);
        // DelItem would select by index, which is another conversation
        // once a tab before the selected one is gone; the tab window's
        // own removal keeps its selection on the same tab.
        ::SendMessageW(btnTab.hWnd(), TCM_DELETEITEM, static_cast<WPARAM>(tab), 0);
    }
    if (!gone.others.empty() && gone.selected >= 0) {
        chats_.SelectedMovedTo(gone.selected);
        ::SendMessageW(btnTab.hWnd(), TCM_SETCURSEL, static_cast<WPARAM>(gone.selected), 0);
    }
    if (gone.selectedGone) {
        // There is nothing left to give back; the tab that takes its
        // place is selected as after any closed tab.
        const int tab = chats_.CurIndex() - 1;
        HWND window = ToHwnd(current->hWnd);
        chats_.RemoveAtTab(tab);
        ReleaseGuardRemove(window);
        btnTab.DelItem(tab);
    } else if (current) {
        if (state_.ShowState == kShownNormal)
            AdjustQQWindow();
        else if (state_.ShowState == kShownMaximized)
            Form_Resize();
    }
    if (!gone.any()) return;
    if (numbers_.Shown()) {
        // Ctrl is held: the numbers follow the new row.
        HideNumer();
        ShowNumer();
    }
    ShowMsg();
}

}  // namespace varnu
