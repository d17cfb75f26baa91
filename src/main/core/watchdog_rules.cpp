#include "main/core/watchdog_rules.h"

namespace varnu {

bool FreezeWatch::Look(std::uint64_t nowMs) noexcept {
    const bool paused = lastLook_ != kNone && nowMs - lastLook_ >= kPauseMs;
    lastLook_ = nowMs;
    if (paused && waitingSince_ != kNone) waitingSince_ = nowMs;
    return waitingSince_ == kNone;
}

void FreezeWatch::Posted(std::uint64_t nowMs) noexcept { waitingSince_ = nowMs; }

bool RescueHistory::MayTakeInAgain(Key window, std::uint64_t nowMs) const {
    const auto found = takenAgain_.find(window);
    return found == takenAgain_.end() || nowMs - found->second >= kAgainMs;
}

}  // namespace varnu
