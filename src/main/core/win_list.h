#pragma once
// The captured-window list: one record per tab, in tab order. The head node
// carries no window; tab index t shows the node at list position t + 1.
#include <cstdint>
#include <memory>
#include <string>

namespace varnu {

// A window handle kept as a plain number, so this file needs no windows.h.
using WindowId = std::uintptr_t;

class clsLink : public std::enable_shared_from_this<clsLink> {
public:
    std::shared_ptr<clsLink> theNext;  // none at the tail
    std::weak_ptr<clsLink> thePrev;    // the head for the first node

    WindowId hWnd = 0;      // the captured top-level chat window
    WindowId chatHwnd = 0;  // conversation history control
    WindowId sayHwnd = 0;   // input box; the chat window itself when none was found
    bool isGroup = false;
    std::int32_t version = 0;  // window-kind code: 0, 3, 4, 5 or 6
    std::wstring Title;        // text of the tab
    std::wstring Caption;      // full window title at capture
    bool Locked = false;
    // "免打扰": new messages still count on the tab, but call for nothing
    // else (no highlight, balloon, announcement, switch, badge or tip total).
    bool Quiet = false;
    std::int32_t x = 0, Y = 0;        // place before capture, screen pixels
    std::int32_t W = 0, H = 0;        // size before capture; then the size the layout gives
    std::int32_t orgW = 0, orgH = 0;  // size given back at release
    std::int32_t Msg = 0;             // history length (characters + 1) when last looked at
    std::int32_t MsgNum = 0;          // unread count shown on the tab
    // What the history's cheap length query answered when last polled; -1
    // (never) makes the first poll read the text. Not the same measure as Msg.
    std::int32_t MsgQueried = -1;
    std::uint32_t winLong = 0;  // GWL_STYLE before capture
    std::uint32_t exStyle = 0;  // GWL_EXSTYLE before capture
    WindowId owner = 0;         // owner window before capture
    std::int32_t Count = 0;     // head only: number of nodes after it

    bool hasNext() const noexcept { return theNext != nullptr; }

    // Appends at the tail and counts it on the node this is called on.
    void insertNode(const std::shared_ptr<clsLink>& theNew);

    // Follows theNext POS times from this node, stopping at the tail.
    // POS <= 0 gives this node itself.
    std::shared_ptr<clsLink> getNode(std::int32_t POS);

    // Unlinks the node at POS (1-based), found as getNode finds it, so a POS
    // past the end unlinks the tail; POS 0 does nothing. Returns false,
    // changing nothing, for a negative POS or when no node follows this one.
    bool delNode(std::int32_t POS);

    // Moves the node at position `from` to position `to` (both 1-based, as
    // its tab moves in the row); false, changing nothing, when either names
    // no node after this one.
    bool moveNode(std::int32_t from, std::int32_t to);
};

using LinkPtr = std::shared_ptr<clsLink>;

inline LinkPtr MakeWinList() { return std::make_shared<clsLink>(); }

}  // namespace varnu
