#pragma once
// The conversations the main window holds: the captured-window list WinList
// and the selection, the record of the selected tab (CurNode) and its list
// position (CurIndex). Tab t shows the record at list position t + 1; the
// list head carries no window and is never handed out as a conversation.
#include <optional>

#include "main/core/win_list.h"

namespace varnu {

class Conversations {
public:
    const LinkPtr& WinList() const noexcept { return winList_; }
    int Count() const noexcept { return winList_->Count; }

    // The record shown by tab `tab`; none when no record stands there.
    LinkPtr AtTab(int tab) const;
    // The tab that shows `node` now, if it is still listed.
    std::optional<int> TabOf(const LinkPtr& node) const;

    // Appends the record of a new last tab.
    void Append(const LinkPtr& node);
    // Drops the record of tab `tab`; false when there is none. The selection
    // is left as it is: the caller knows which tab is selected afterwards.
    bool RemoveAtTab(int tab);
    // Tab `from` was dragged to `to`: its record follows, and so does the
    // selected record's position.
    bool Move(int from, int to);
    // An empty list with nothing selected.
    void Clear();

    const LinkPtr& CurNode() const noexcept { return curNode_; }
    int CurIndex() const noexcept { return curIndex_; }
    // CurIndex for a reader that must see it move while it works (the
    // new-message poll, whose automatic switch selects another tab).
    const int& CurIndexRef() const noexcept { return curIndex_; }
    // Selects the record of tab `tab`; with none there, nothing is selected
    // and CurIndex is -1. Returns the selected record.
    LinkPtr Select(int tab);
    void ClearSelection() noexcept;
    // The selected record is on its way out: nothing lays it out any more.
    // Its position stays until the next selection.
    void LetGo(const LinkPtr& node) noexcept;
    void LetGoOfAny() noexcept { curNode_.reset(); }
    // The selected record now stands at tab `tab` (tabs before it were dropped).
    void SelectedMovedTo(int tab) noexcept { curIndex_ = tab + 1; }

private:
    LinkPtr winList_ = MakeWinList();
    LinkPtr curNode_;
    int curIndex_ = -1;
};

}  // namespace varnu
