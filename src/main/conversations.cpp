#include "main/conversations.h"

#include "controls/tabcontrol/core/tab_drag.h"

namespace varnu {

LinkPtr Conversations::AtTab(int tab) const {
    if (tab < 0 || tab >= winList_->Count) return nullptr;
    LinkPtr node = winList_->getNode(tab + 1);
    return node == winList_ ? nullptr : node;
}

std::optional<int> Conversations::TabOf(const LinkPtr& node) const {
    for (int t = 0; node && t < winList_->Count; ++t)
        if (winList_->getNode(t + 1) == node) return t;
    return std::nullopt;
}

void Conversations::Append(const LinkPtr& node) { winList_->insertNode(node); }

bool Conversations::RemoveAtTab(int tab) { return tab >= 0 && winList_->delNode(tab + 1); }

bool Conversations::Move(int from, int to) {
    if (!winList_->moveNode(from + 1, to + 1)) return false;
    if (curNode_ && curIndex_ >= 1) curIndex_ = tabs::IndexAfterMove(curIndex_ - 1, from, to) + 1;
    return true;
}

void Conversations::Clear() {
    winList_ = MakeWinList();
    ClearSelection();
}

LinkPtr Conversations::Select(int tab) {
    curNode_ = AtTab(tab);
    curIndex_ = curNode_ ? tab + 1 : -1;
    return curNode_;
}

void Conversations::ClearSelection() noexcept {
    curNode_.reset();
    curIndex_ = -1;
}

void Conversations::LetGo(const LinkPtr& node) noexcept {
    if (curNode_ == node) curNode_.reset();
}

}  // namespace varnu
