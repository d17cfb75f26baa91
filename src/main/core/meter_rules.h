#pragma once
// Where each messenger thread's history lengths come from, tick by tick:
// from inside the messenger (one posted request per thread, answered by the
// hook library with the lengths in its table), or from outside (one length
// query per history, on the thread's lane), as before the library could.
//
// The switch, per thread:
//   - A thread starts outside, and is asked from inside too (a probe). Its
//     first answer moves it inside.
//   - Inside, it gets a new request as soon as the last one is answered,
//     never two at once, so nothing piles up in a busy messenger's queue.
//     A request left unanswered for kAnswerWithinMs moves it outside again:
//     the library is not in that thread (missing, refused, the other
//     bitness) or the thread is stuck.
//   - Outside, it is probed at most every kProbeEveryMs, and only while its
//     outside measurements answer: a thread that takes no messages at all
//     gets nothing posted that would wait in its queue. A late answer to any
//     request still counts and moves it inside.
#include <cstdint>
#include <optional>
#include <vector>

namespace varnu {

using MeterThread = std::uint32_t;

inline constexpr std::uint64_t kAnswerWithinMs = 3000;
inline constexpr std::uint64_t kProbeEveryMs = 1000;

struct MeterPlan {
    bool post = false;     // post a request now (then Posted or NotPosted)
    bool outside = false;  // measure this tick's lengths from outside
};

class MeterRules {
public:
    // This tick's plan for `thread`. `answering`: its last outside
    // measurement came back with an answer.
    MeterPlan Tick(MeterThread thread, std::uint64_t nowMs, bool answering);

    void Posted(MeterThread thread, std::uint32_t sequence, std::uint64_t nowMs);
    // The request could not be posted (the window is gone, or the system
    // refused): outside until a probe goes through.
    void NotPosted(MeterThread thread, std::uint64_t nowMs);

    // The library answered request `sequence`: the thread it went to (now
    // measured inside), none for a request nobody here posted.
    std::optional<MeterThread> Answered(std::uint32_t sequence);

    bool Inside(MeterThread thread) const;
    // Forgets the threads not in `live`.
    void Keep(const std::vector<MeterThread>& live);

private:
    struct Entry {
        MeterThread thread = 0;
        bool inside = false;
        bool waiting = false;        // `sequence` is unanswered
        std::uint32_t sequence = 0;  // the last request posted, 0 before the first
        std::uint64_t postedAt = 0;
        bool tried = false;  // a request was posted or tried at `postedAt`
    };
    Entry& Of(MeterThread thread);
    std::vector<Entry> entries_;
};

}  // namespace varnu
