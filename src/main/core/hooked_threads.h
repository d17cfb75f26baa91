#pragma once
// Which messenger threads carry the hook library. A thread is hooked the
// first time it is seen and never again while it runs: a second hook on one
// thread would run the hook procedure twice per message, so every Ctrl notice
// would come twice and every wheel gesture would step two tabs. A thread that
// has ended is forgotten, so the threads of a restarted messenger are hooked
// again even when the system hands out the same ids once more.
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace varnu {

using ThreadId = std::uint32_t;

// Token is what the caller keeps per thread to tell later whether it has
// ended (on Windows an open thread handle, which also keeps the id from being
// given to a new thread while it is held).
template <class Token>
class HookedThreads {
public:
    // Forgets the threads that have ended (ended(token) is true), then gives
    // the threads among `seen` that need a hook: each at most once, in the
    // order seen, never 0 (which would hook every thread on the desktop),
    // none already known.
    template <class Ended>
    std::vector<ThreadId> Unhooked(const std::vector<ThreadId>& seen, Ended&& ended) {
        known_.erase(
            std::remove_if(known_.begin(), known_.end(), [&](const Entry& entry) { return ended(entry.second); }),
            known_.end());
        std::vector<ThreadId> result;
        for (ThreadId thread : seen) {
            if (thread == 0 || Knows(thread) || std::find(result.begin(), result.end(), thread) != result.end())
                continue;
            result.push_back(thread);
        }
        return result;
    }

    // The library was asked to hook the thread. Whether it managed or not,
    // the thread is not asked for again while it runs: a hook the system
    // refused once would be refused on every window of that thread.
    void Remember(ThreadId thread, Token token) { known_.emplace_back(thread, std::move(token)); }

    bool Knows(ThreadId thread) const {
        return std::any_of(known_.begin(), known_.end(),
                           [thread](const Entry& entry) { return entry.first == thread; });
    }
    std::size_t Size() const { return known_.size(); }

private:
    using Entry = std::pair<ThreadId, Token>;
    std::vector<Entry> known_;
};

}  // namespace varnu
