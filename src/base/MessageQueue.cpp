// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/MessageQueue.h"

#include <algorithm>
#include <utility>

namespace parvolink {

bool MessageQueue::Push(const Message& message, MessageOrigin origin, Clock::time_point now) {
    if (waiting_.size() >= kCapacity) {
        origin = MessageOrigin::Unasked;  // a flood of "results" is a flood all the same
    }
    if (origin == MessageOrigin::Unasked) {
        if (const Sighting* seen = FindSighting(message);
            seen != nullptr && (Busy() || now - seen->last < kQuiet)) {
            Sighted(message, now);  // the flood goes on: it stays quiet for a while longer
            return false;
        }
        if (waiting_.size() >= kCapacity) {
            return false;
        }
        Sighted(message, now);
    }
    waiting_.push_back({message, origin});
    return true;
}

std::optional<Message> MessageQueue::Next() {
    if (onScreen_ || waiting_.empty()) {
        return std::nullopt;
    }
    onScreen_ = std::move(waiting_.front());
    waiting_.pop_front();
    return onScreen_->message;
}

void MessageQueue::Shown(Clock::time_point now) {
    if (const std::optional<Entry> closed = std::exchange(onScreen_, std::nullopt);
        closed && closed->origin == MessageOrigin::Unasked) {
        Sighted(closed->message, now);  // its quiet spell starts when the user closes it
    }
}

MessageQueue::Sighting* MessageQueue::FindSighting(const Message& message) {
    const auto it = std::find_if(sightings_.begin(), sightings_.end(),
                                 [&](const Sighting& s) { return s.message == message; });
    return it == sightings_.end() ? nullptr : &*it;
}

void MessageQueue::Sighted(const Message& message, Clock::time_point now) {
    if (Sighting* seen = FindSighting(message)) {
        seen->last = now;
        return;
    }
    if (sightings_.size() >= kSightingsKept) {
        // Forget the one quiet longest: it would be shown again by now anyway.
        sightings_.erase(
            std::min_element(sightings_.begin(), sightings_.end(),
                             [](const Sighting& a, const Sighting& b) { return a.last < b.last; }));
    }
    sightings_.push_back({message, now});
}

}  // namespace parvolink
