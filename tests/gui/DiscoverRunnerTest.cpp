// SPDX-License-Identifier: GPL-3.0-or-later
// The sweep runner from the event loop, with a sender that records instead of sending: nothing
// here reaches a network.
#include <gtest/gtest.h>

#include <QTest>

#include "shell/protocol/DiscoverRunner.h"

namespace parvolink {
namespace {

// A socket whose queue is full refuses a send: the runner waits for it to be writable, sends
// nothing meanwhile, then sends the same address again and goes on.
TEST(DiscoverRunner, WaitsForTheSocketWhenASendCannotBeQueued) {
    std::vector<std::string> sent;
    std::function<void()> resume;
    const std::string refused = "198.18.0.5";
    bool refusedOnce = false;
    DiscoverRunner runner(
        [&](std::string_view host) {
            sent.emplace_back(host);
            if (host == refused && !std::exchange(refusedOnce, true)) {
                return SendOutcome::NotQueued;
            }
            return SendOutcome::Sent;
        },
        [&](std::function<void()> whenWritable) { resume = std::move(whenWritable); });
    bool finished = false;
    QObject::connect(&runner, &DiscoverRunner::Finished, [&] { finished = true; });
    runner.Start({198, 18, 0, 0}, {255, 255, 255, 240});

    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(resume); }, 5000))
        << "the runner did not ask to be told when the socket is writable";
    EXPECT_EQ(sent.back(), refused);
    const std::size_t beforeResume = sent.size();
    EXPECT_FALSE(finished);
    EXPECT_TRUE(runner.Running());

    resume();
    QTRY_VERIFY(finished);
    EXPECT_EQ(sent[beforeResume], refused);  // the same address, again
    // The broadcast address, then every address of the sweep once, the refused one twice.
    std::vector<std::string> expected = {"198.18.0.15"};
    for (int host = 0; host < 16; ++host) {
        expected.push_back("198.18.0." + std::to_string(host));
        if (expected.back() == refused) {
            expected.push_back(refused);
        }
    }
    EXPECT_EQ(sent, expected);
}

}  // namespace
}  // namespace parvolink
