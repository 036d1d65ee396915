// SPDX-License-Identifier: GPL-3.0-or-later
// Messages waiting for the one message box the window shows at a time. Datagrams keep arriving
// while a box is open (its loop handles them), and each may raise a message: opening a box for
// each inside the last would nest without end. So a message waits here while a box is open.
// What the user asked for (the result of an operation, the end of a transfer) is shown once
// per occurrence, in turn. What the network sends unasked is merged: each distinct such message
// is shown at most once while any box is open or waiting, and again only after it has been
// quiet for a while, however many others alternate with it.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

#include "base/Message.h"

namespace parvolink {

class MessageQueue {
public:
    using Clock = std::chrono::steady_clock;
    // Boxes waiting at most; past it a result is merged as if unasked.
    static constexpr std::size_t kCapacity = 64;
    // An unasked message that comes again within this time of its last showing or sighting is
    // the same flood: it is not shown again.
    static constexpr Clock::duration kQuiet = std::chrono::seconds(1);

    // False when the message is dropped: an unasked message already shown or waiting in this
    // busy spell, or still repeating; or no room left.
    bool Push(const Message& message, MessageOrigin origin, Clock::time_point now);
    // The next message to show, which is then on screen until Shown; nothing when one is
    // already on screen or none waits.
    std::optional<Message> Next();
    // The message on screen was closed at now.
    void Shown(Clock::time_point now);
    bool Showing() const { return onScreen_.has_value(); }

private:
    struct Entry {
        Message message;
        MessageOrigin origin;
    };
    // An unasked message that has been queued, and when it was last queued, shown or sighted.
    struct Sighting {
        Message message;
        Clock::time_point last;
    };
    static constexpr std::size_t kSightingsKept = 32;

    bool Busy() const { return onScreen_ || !waiting_.empty(); }
    Sighting* FindSighting(const Message& message);
    void Sighted(const Message& message, Clock::time_point now);

    std::deque<Entry> waiting_;
    std::optional<Entry> onScreen_;
    std::vector<Sighting> sightings_;
};

}  // namespace parvolink
