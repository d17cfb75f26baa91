#include "win32/core/lane_rules.h"

namespace win32::lanes {

namespace {

bool Barrier(Kind kind) noexcept { return kind == Kind::Capture || kind == Kind::GiveBack; }

bool LeavesWithGiveBack(Kind kind) noexcept { return kind == Kind::Place || kind == Kind::Read || kind == Kind::Focus; }

}  // namespace

std::vector<std::size_t> Superseded(const std::vector<Queued>& queued, Queued added) {
    std::vector<std::size_t> dropped;
    if (added.kind == Kind::Capture) return dropped;
    // Walking back from the newest: a capture or give-back of the window
    // shuts off everything of that window before it.
    bool shutOff = false;
    for (std::size_t i = queued.size(); i-- > 0;) {
        const Queued& q = queued[i];
        if (q.kind == Kind::Focus && added.kind == Kind::Focus) {
            dropped.push_back(i);
            continue;
        }
        if (q.window != added.window) continue;
        if (Barrier(q.kind)) {
            shutOff = true;
            continue;
        }
        if (shutOff) continue;
        const bool replaced = added.kind != Kind::GiveBack && q.kind == added.kind;
        const bool leaves = added.kind == Kind::GiveBack && LeavesWithGiveBack(q.kind);
        if (replaced || leaves) dropped.push_back(i);
    }
    return {dropped.rbegin(), dropped.rend()};
}

Placement Merge(const Placement& older, const Placement& newer) noexcept {
    Placement merged = newer;
    if (!merged.x) {
        merged.x = older.x;
        merged.y = older.y;
    }
    if (!merged.width) {
        merged.width = older.width;
        merged.height = older.height;
    }
    merged.toTop = older.toTop || newer.toTop;
    merged.show = older.show || newer.show;
    return merged;
}

}  // namespace win32::lanes
