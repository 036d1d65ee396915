#include <gtest/gtest.h>

#include <string>

#include "base/MessageQueue.h"

namespace parvolink {
namespace {

using namespace std::chrono_literals;
using Clock = MessageQueue::Clock;

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

// A flood while a box is open: each distinct message once, in order, the rest dropped.
TEST(MessageQueue, AFloodWaitsBoundedAndEachMessageOnce) {
    const Clock::time_point start{};
    MessageQueue queue;
    ASSERT_TRUE(queue.Push(Numbered(0), start));
    ASSERT_EQ(queue.Next(), Numbered(0));
    EXPECT_TRUE(queue.Showing());
    EXPECT_EQ(queue.Next(), std::nullopt);  // one box at a time
    for (int round = 0; round < 10000; ++round) {
        queue.Push(Numbered(round % 3), start);  // the one on screen and two others
    }
    for (int n = 3; n < 100; ++n) {
        queue.Push(Numbered(n), start);
    }
    queue.Shown(start);
    const std::vector<Message> shown = ShowAll(queue, start);
    ASSERT_EQ(shown.size(), MessageQueue::kCapacity);
    EXPECT_EQ(shown[0], Numbered(1));
    EXPECT_EQ(shown[1], Numbered(2));
    EXPECT_EQ(shown[2], Numbered(3));
    EXPECT_EQ(shown.back(), Numbered(static_cast<int>(MessageQueue::kCapacity)));
    EXPECT_FALSE(queue.Showing());
}

// A message that keeps coming after its box was closed is the same flood; once it has been
// quiet for a while it is news again.
TEST(MessageQueue, ARepeatIsShownAgainOnlyAfterAQuietSpell) {
    MessageQueue queue;
    Clock::time_point now{};
    ASSERT_TRUE(queue.Push(Numbered(0), now));
    ASSERT_EQ(ShowAll(queue, now).size(), 1u);
    for (int i = 0; i < 50; ++i) {  // every half second for 25 s
        now += 500ms;
        EXPECT_FALSE(queue.Push(Numbered(0), now)) << i;
    }
    EXPECT_TRUE(queue.Push(Numbered(1), now));  // another message is shown meanwhile
    EXPECT_EQ(ShowAll(queue, now).size(), 1u);
    now += MessageQueue::kQuiet;
    EXPECT_TRUE(queue.Push(Numbered(0), now));
}

}  // namespace
}  // namespace parvolink
