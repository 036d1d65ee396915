// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "base/MessageQueue.h"

namespace parvolink {
namespace {

using namespace std::chrono_literals;
using Clock = MessageQueue::Clock;

// Far from the clock's zero, where a forgotten "last seen" would also sit.
const Clock::time_point kStart = Clock::time_point{} + 24h;

Message Numbered(int n) {
    return {"message " + std::to_string(n), "Warning", MessageIcon::None};
}

// Shows what waits, one box at a time, each closed at now.
std::vector<Message> ShowAll(MessageQueue& queue, Clock::time_point now) {
    std::vector<Message> shown;
    while (const auto next = queue.Next()) {
        shown.push_back(*next);
        queue.Shown(now);
    }
    return shown;
}

// Results of what the user did are shown once each, in turn, even when they read the same:
// ten finished transfers are ten boxes, and a retry after closing an error shows it again.
TEST(MessageQueue, EveryResultIsShownInTurn) {
    const Message ok{"Upgrade OK!\nNow the SNMP/Web device is rebooting.", "Parvolink"};
    MessageQueue queue;
    ASSERT_TRUE(queue.Push(ok, MessageOrigin::Result, kStart));
    ASSERT_EQ(queue.Next(), ok);
    EXPECT_EQ(queue.Next(), std::nullopt);  // one box at a time
    for (int i = 1; i < 10; ++i) {
        EXPECT_TRUE(queue.Push(ok, MessageOrigin::Result, kStart + i * 10ms));
    }
    queue.Shown(kStart + 1s);
    EXPECT_EQ(ShowAll(queue, kStart + 1s), std::vector<Message>(9, ok));

    const Message mismatch{"Account or Password mismatched.", "Error"};
    ASSERT_TRUE(queue.Push(mismatch, MessageOrigin::Result, kStart + 2s));
    ASSERT_EQ(ShowAll(queue, kStart + 2s).size(), 1u);
    EXPECT_TRUE(queue.Push(mismatch, MessageOrigin::Result, kStart + 2s + 100ms));
    EXPECT_EQ(ShowAll(queue, kStart + 3s), std::vector<Message>{mismatch});
}

// Floods of unasked messages alternating while a box is open: each distinct one is seen once,
// and the boxes end with the flood, however many kinds alternate.
TEST(MessageQueue, AlternatingFloodsShowEachMessageOnce) {
    for (const int kinds : {2, 3}) {
        SCOPED_TRACE(kinds);
        MessageQueue queue;
        ASSERT_TRUE(queue.Push(Numbered(0), MessageOrigin::Unasked, kStart));
        ASSERT_EQ(queue.Next(), Numbered(0));
        Clock::time_point now = kStart;
        std::vector<Message> shown{Numbered(0)};
        // 30 s of a message every millisecond; the user closes a box every 2 s.
        for (int i = 0; i < 30000; ++i) {
            now += 1ms;
            queue.Push(Numbered(i % kinds), MessageOrigin::Unasked, now);
            if (i % 2000 == 1999 && queue.Showing()) {
                queue.Shown(now);
                if (const auto next = queue.Next()) {
                    shown.push_back(*next);
                }
            }
        }
        ASSERT_EQ(shown.size(), static_cast<std::size_t>(kinds));
        for (int n = 0; n < kinds; ++n) {
            EXPECT_EQ(shown[static_cast<std::size_t>(n)], Numbered(n));
        }
        // Once every kind has been quiet for a while, each is news again.
        queue.Shown(now);
        now += MessageQueue::kQuiet;
        EXPECT_TRUE(queue.Push(Numbered(1), MessageOrigin::Unasked, now));
    }
}

// The quiet spell of an unasked message starts when its box is closed, not when it came: a
// box left open for a minute is followed by a second of quiet.
TEST(MessageQueue, QuietIsCountedFromTheClosing) {
    MessageQueue queue;
    ASSERT_TRUE(queue.Push(Numbered(0), MessageOrigin::Unasked, kStart));
    ASSERT_TRUE(queue.Next());
    queue.Shown(kStart + 60s);
    EXPECT_FALSE(queue.Push(Numbered(0), MessageOrigin::Unasked, kStart + 60s + 500ms));
    EXPECT_FALSE(queue.Push(Numbered(0), MessageOrigin::Unasked, kStart + 61s));  // kept coming
    EXPECT_TRUE(queue.Push(Numbered(0), MessageOrigin::Unasked, kStart + 62s));
}

// However many results pile up behind an open box, the queue stays bounded: past its capacity
// they are merged as unasked traffic is, so each distinct one is still seen.
TEST(MessageQueue, ResultsBeyondTheCapacityAreMerged) {
    MessageQueue queue;
    ASSERT_TRUE(queue.Push(Numbered(-1), MessageOrigin::Result, kStart));
    ASSERT_TRUE(queue.Next());
    for (int i = 0; i < 10000; ++i) {
        queue.Push(Numbered(i % 2 == 0 ? 0 : i), MessageOrigin::Result, kStart);
    }
    queue.Shown(kStart);
    const std::vector<Message> shown = ShowAll(queue, kStart);
    EXPECT_EQ(shown.size(), MessageQueue::kCapacity);
    EXPECT_EQ(shown.front(), Numbered(0));
    EXPECT_EQ(shown[1], Numbered(1));
}

}  // namespace
}  // namespace parvolink
