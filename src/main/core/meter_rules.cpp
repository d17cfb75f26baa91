#include "main/core/meter_rules.h"

#include <algorithm>

namespace varnu {

MeterRules::Entry& MeterRules::Of(MeterThread thread) {
    for (Entry& e : entries_)
        if (e.thread == thread) return e;
    Entry& e = entries_.emplace_back();
    e.thread = thread;
    return e;
}

MeterPlan MeterRules::Tick(MeterThread thread, std::uint64_t nowMs, bool answering) {
    Entry& e = Of(thread);
    if (e.waiting && nowMs - e.postedAt >= kAnswerWithinMs) {
        // The next probe waits its turn: by then the outside measurement
        // has told whether the thread takes messages at all.
        e.waiting = false;
        e.inside = false;
        e.postedAt = nowMs;
    }
    MeterPlan plan;
    if (e.inside) {
        plan.post = !e.waiting;
        return plan;
    }
    plan.outside = true;
    plan.post = !e.waiting && answering && (!e.tried || nowMs - e.postedAt >= kProbeEveryMs);
    return plan;
}

void MeterRules::Posted(MeterThread thread, std::uint32_t sequence, std::uint64_t nowMs) {
    Entry& e = Of(thread);
    e.sequence = sequence;
    e.waiting = true;
    e.tried = true;
    e.postedAt = nowMs;
}

void MeterRules::NotPosted(MeterThread thread, std::uint64_t nowMs) {
    Entry& e = Of(thread);
    e.inside = false;
    e.tried = true;
    e.postedAt = nowMs;
}

std::optional<MeterThread> MeterRules::Answered(std::uint32_t sequence) {
    if (sequence == 0) return std::nullopt;
    for (Entry& e : entries_) {
        if (e.sequence != sequence) continue;
        e.waiting = false;
        e.inside = true;
        return e.thread;
    }
    return std::nullopt;
}

bool MeterRules::Inside(MeterThread thread) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [thread](const Entry& e) { return e.thread == thread && e.inside; });
}

void MeterRules::Keep(const std::vector<MeterThread>& live) {
    std::erase_if(entries_,
                  [&](const Entry& e) { return std::find(live.begin(), live.end(), e.thread) == live.end(); });
}

}  // namespace varnu
