// Messages waiting for the one message box the window shows at a time. Datagrams keep arriving
// while a box is open (its loop handles them), and each may raise a message: opening a box for
// each inside the last would nest without end. So a message waits here while a box is open; the
// same message is never waiting twice, nor shown again while it is on screen or while it keeps
// coming (a flood shows it once); past the capacity further messages are dropped.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>

#include "base/Message.h"

namespace parvolink {

class MessageQueue {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kCapacity = 8;
    // A message that comes again within this time of its last showing or sighting is the same
    // flood: it is not shown again.
    static constexpr Clock::duration kQuiet = std::chrono::seconds(1);

    // False when the message is dropped: already waiting, on screen, still repeating, or no
    // room left.
    bool Push(const Message& message, Clock::time_point now);
    // The next message to show, which is then on screen until Shown; nothing when one is
    // already on screen or none waits.
    std::optional<Message> Next();
    // The message on screen was closed at now.
    void Shown(Clock::time_point now);
    bool Showing() const { return onScreen_.has_value(); }

private:
    std::deque<Message> waiting_;
    std::optional<Message> onScreen_;
    std::optional<Message> lastShown_;
    Clock::time_point lastSighting_{};
};

}  // namespace parvolink
