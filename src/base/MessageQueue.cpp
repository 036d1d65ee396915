#include "base/MessageQueue.h"

#include <algorithm>
#include <utility>

namespace parvolink {

bool MessageQueue::Push(const Message& message, Clock::time_point now) {
    const bool repeating =
        onScreen_ == message || (lastShown_ == message && now - lastSighting_ < kQuiet);
    if (repeating) {
        lastSighting_ = now;  // the flood goes on: it stays quiet for a while longer
        return false;
    }
    if (waiting_.size() >= kCapacity ||
        std::find(waiting_.begin(), waiting_.end(), message) != waiting_.end()) {
        return false;
    }
    waiting_.push_back(message);
    return true;
}

std::optional<Message> MessageQueue::Next() {
    if (onScreen_ || waiting_.empty()) {
        return std::nullopt;
    }
    onScreen_ = std::move(waiting_.front());
    waiting_.pop_front();
    return onScreen_;
}

void MessageQueue::Shown(Clock::time_point now) {
    lastShown_ = std::exchange(onScreen_, std::nullopt);
    lastSighting_ = now;
}

}  // namespace parvolink
