#include "main/core/win_list.h"

namespace varnu {

void clsLink::insertNode(const std::shared_ptr<clsLink>& theNew) {
    if (!theNew) return;
    clsLink* tail = this;
    while (tail->theNext) tail = tail->theNext.get();
    tail->theNext = theNew;
    theNew->thePrev = tail->weak_from_this();
    ++Count;
}

std::shared_ptr<clsLink> clsLink::getNode(std::int32_t POS) {
    std::shared_ptr<clsLink> node = shared_from_this();
    for (std::int32_t i = 0; i < POS && node->theNext; ++i) node = node->theNext;
    return node;
}

bool clsLink::delNode(std::int32_t POS) {
    if (POS == 0) return true;
    if (POS < 0 || !theNext) return false;  // would reach the head itself
    std::shared_ptr<clsLink> node = getNode(POS);
    std::shared_ptr<clsLink> prev = node->thePrev.lock();
    if (!prev || node.get() == this) return false;
    prev->theNext = node->theNext;
    if (node->theNext) node->theNext->thePrev = prev;
    --Count;
    return true;
}

bool clsLink::moveNode(std::int32_t from, std::int32_t to) {
    if (from < 1 || to < 1 || from > Count || to > Count) return false;
    if (from == to) return true;
    std::shared_ptr<clsLink> node = getNode(from);
    if (!delNode(from)) return false;
    std::shared_ptr<clsLink> prev = getNode(to - 1);
    node->theNext = prev->theNext;
    node->thePrev = prev;
    if (node->theNext) node->theNext->thePrev = node;
    prev->theNext = node;
    ++Count;
    return true;
}

}  // namespace varnu
