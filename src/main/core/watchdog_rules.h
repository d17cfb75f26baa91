#pragma once
// Decisions of the watchdog that keeps conversations out of a frozen
// Varnu: when the window thread counts as not answering, and which windows
// that were given back may be taken in again. Times are milliseconds of a
// steady clock.
#include <cstdint>
#include <map>

namespace varnu {

// A heartbeat is posted to the window thread and answered when the thread
// handles it; the thread is frozen once a beat has waited kFrozenMs, which
// is when the system itself marks a window as not responding.
class FreezeWatch {
public:
    static constexpr std::uint64_t kFrozenMs = 5000;
    // A gap this long between two looks of the watchdog itself means the
    // whole machine was asleep, not our window thread: the wait starts anew.
    static constexpr std::uint64_t kPauseMs = 3000;

    // The watchdog looks now; true when a new beat should be posted.
    bool Look(std::uint64_t nowMs) noexcept;
    void Posted(std::uint64_t nowMs) noexcept;
    void Answered() noexcept { waitingSince_ = kNone; }
    bool Frozen(std::uint64_t nowMs) const noexcept {
        return waitingSince_ != kNone && nowMs - waitingSince_ >= kFrozenMs;
    }

private:
    static constexpr std::uint64_t kNone = ~std::uint64_t{0};
    std::uint64_t waitingSince_ = kNone;
    std::uint64_t lastLook_ = kNone;
};

// Windows given back by the watchdog are taken in again once the window
// thread answers, unless they were taken in again after an earlier rescue
// less than kAgainMs ago: give-back and take-in must never loop, so those
// stay on the desktop.
class RescueHistory {
public:
    static constexpr std::uint64_t kAgainMs = 60000;
    using Key = std::uintptr_t;

    // `window` was given back by the watchdog; true when it may come in again.
    bool MayTakeInAgain(Key window, std::uint64_t nowMs) const;
    void TakenInAgain(Key window, std::uint64_t nowMs) { takenAgain_[window] = nowMs; }
    void Forget(Key window) { takenAgain_.erase(window); }

private:
    std::map<Key, std::uint64_t> takenAgain_;
};

}  // namespace varnu
