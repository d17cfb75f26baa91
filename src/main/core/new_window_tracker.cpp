#include "main/core/new_window_tracker.h"

#include <algorithm>

namespace varnu {

bool NewWindowTracker::OnEvent(WindowId window, WindowEvent event, Clock::time_point now) {
    auto it = std::find_if(entries_.begin(), entries_.end(), [window](const Entry& e) { return e.window == window; });
    switch (event) {
    case WindowEvent::Created:
        if (it != entries_.end()) {
            // The handle was freed and given to a new window.
            *it = Entry{window, now, now, now + kWatchFor, false, std::nullopt, std::nullopt};
            return true;
        }
        if (entries_.size() >= 256) {
            // Every tooltip and menu of every program is born too; keep
            // only what is still being watched.
            entries_.erase(
                std::remove_if(entries_.begin(), entries_.end(), [now](const Entry& e) { return e.watchUntil < now; }),
                entries_.end());
        }
        entries_.push_back(Entry{window, now, now, now + kWatchFor, false, std::nullopt, std::nullopt});
        return true;
    case WindowEvent::Shown:
    case WindowEvent::Renamed:
        if (it == entries_.end()) return false;
        it->watchUntil = std::max(it->watchUntil, now + kWatchFor);
        it->lastNotice = now;
        it->shown = true;
        return true;
    case WindowEvent::Foreground: break;
    }
    return false;
}

std::vector<WindowId> NewWindowTracker::Due(Clock::time_point now, const std::function<WindowLook(WindowId)>& look) {
    std::vector<WindowId> due;
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (now > it->watchUntil) {
            ++it;
            continue;
        }
        WindowLook current = look(it->window);
        if (!current.exists || !current.topLevel) {
            // Gone, or somebody made it a child: no new top-level window.
            it = entries_.erase(it);
            continue;
        }
        const bool built = it->shown || now >= it->born + kSettle || (it->lastSeen && it->lastSeen->Same(current));
        it->lastSeen = current;
        // Hidden or owned windows wait: the shell, too, reports a window
        // only once it shows, and never an owned one.
        if (built && current.visible && !current.owned &&
            !(it->lastChecked && it->lastChecked->SameForRecognition(current))) {
            it->lastChecked = std::move(current);
            due.push_back(it->window);
        }
        ++it;
    }
    return due;
}

bool NewWindowTracker::Watching(Clock::time_point now) const {
    return std::any_of(entries_.begin(), entries_.end(), [now](const Entry& e) { return e.watchUntil >= now; });
}

bool NewWindowTracker::Quick(Clock::time_point now) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [now](const Entry& e) { return now - e.lastNotice < kQuickFor && e.watchUntil >= now; });
}

void NewWindowTracker::Forget(WindowId window) {
    entries_.erase(
        std::remove_if(entries_.begin(), entries_.end(), [window](const Entry& e) { return e.window == window; }),
        entries_.end());
}

bool NewWindowTracker::IsPending(WindowId window) const {
    return std::any_of(entries_.begin(), entries_.end(), [window](const Entry& e) { return e.window == window; });
}

}  // namespace varnu
