#pragma once
// The rules of the peer lanes (win32/peer_lanes.h): which queued requests a
// new one makes pointless, how two placements of one window become one, and
// how the steps of a sequence share one deadline. Pure, so that they can be
// tested without windows.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace win32::lanes {

// A window handle as a plain number.
using WindowKey = std::uintptr_t;

enum class Kind : std::uint8_t {
    Capture,   // style, ex-style and parent: the window comes in
    GiveBack,  // parent, style, owner, place and size: the window goes back
    Place,     // position, size, z-order, show
    Focus,     // a keyboard focus change that involves the window's thread
    Read,      // text or length of a control
    Close,     // WM_CLOSE
};

struct Queued {
    WindowKey window = 0;
    Kind kind = Kind::Read;
};

// The requests among `queued` (in queue order, none of them started yet)
// that `added` makes pointless, as indices in ascending order:
// - a newer request of the same kind for the same window replaces the older
//   one (the last placement, read or focus is the only one that matters),
//   unless a capture or a give-back of that window lies between them, which
//   must see the older one carried out first;
// - a give-back drops the placements, reads and focus changes still waiting
//   for that window: the window leaves, they would only delay it;
// - a focus change replaces every older focus change, whatever its window
//   (only the latest wish for the keyboard focus counts);
// - captures and give-backs are never dropped.
std::vector<std::size_t> Superseded(const std::vector<Queued>& queued, Queued added);

// Where a request may be carried out: SetWindowPos's arguments as they are
// decided, each part only when it is set.
struct Placement {
    std::optional<int> x, y;           // both or neither
    std::optional<int> width, height;  // both or neither
    bool toTop = false;                // HWND_TOP
    bool show = false;                 // SWP_SHOWWINDOW
    friend bool operator==(const Placement&, const Placement&) = default;
};

// One placement doing what `older` and then `newer` would have done.
Placement Merge(const Placement& older, const Placement& newer) noexcept;

// One deadline for a whole sequence (closing several tabs, leaving): each
// step may use what the sequence has left, never more than its own bound.
class Deadline {
public:
    Deadline(std::uint64_t nowMs, std::uint64_t budgetMs) noexcept : end_(nowMs + budgetMs) {}
    // How long a step may still wait at `nowMs`: at most `stepMs`, 0 once the
    // sequence's time is up.
    std::uint64_t Allow(std::uint64_t nowMs, std::uint64_t stepMs) const noexcept {
        if (nowMs >= end_) return 0;
        return end_ - nowMs < stepMs ? end_ - nowMs : stepMs;
    }
    bool Passed(std::uint64_t nowMs) const noexcept { return nowMs >= end_; }

private:
    std::uint64_t end_;
};

}  // namespace win32::lanes
