// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <vector>

#include "core/protocol/DiscoverSweep.h"

namespace parvolink {
namespace {

// Every address of a sweep, and the indices (from 1) of the sends after which it pauses.
struct Walk {
    std::vector<std::string> addresses;
    std::vector<std::uint64_t> pausesAfter;
};

Walk WalkAll(DiscoverSweep& sweep) {
    Walk walk;
    while (!sweep.Done()) {
        walk.addresses.push_back(sweep.Next());
        if (sweep.RecordSend(SendOutcome::Sent)) {
            walk.pausesAfter.push_back(walk.addresses.size());
        }
    }
    return walk;
}

TEST(DiscoverSweep, SizesAndPausesOfCommonMasks) {
    struct Case {
        Ipv4Address mask;
        std::uint64_t datagrams;
        std::uint64_t pauses;
    };
    const Case cases[] = {
        {{255, 255, 255, 0}, 255, 12},      {{255, 255, 255, 128}, 128, 6},
        {{255, 255, 255, 252}, 4, 0},       {{255, 255, 255, 255}, 1, 0},
        {{255, 255, 254, 0}, 508, 25},      {{255, 255, 0, 0}, 64770, 3238},
        {{255, 0, 0, 0}, 16451580, 783408},
    };
    for (const Case& c : cases) {
        DiscoverSweep sweep({10, 0, 0, 0}, c.mask);
        EXPECT_EQ(sweep.Total(), c.datagrams) << FormatDottedAddress(c.mask);
        EXPECT_EQ(sweep.PausesWhenAllSucceed(), c.pauses) << FormatDottedAddress(c.mask);
        if (c.datagrams < 100000) {  // walk the small ones whole: the counts must agree
            const Walk walk = WalkAll(sweep);
            EXPECT_EQ(walk.addresses.size(), c.datagrams);
            EXPECT_EQ(walk.pausesAfter.size(), c.pauses);
        }
    }
}

TEST(DiscoverSweep, SlashTwentyFourOrderAndPausePositions) {
    DiscoverSweep sweep({192, 168, 1, 0}, {255, 255, 255, 0});
    EXPECT_EQ(sweep.BroadcastAddress(), "192.168.1.255");
    const Walk walk = WalkAll(sweep);
    ASSERT_EQ(walk.addresses.size(), 255u);
    for (std::size_t i = 0; i < walk.addresses.size(); ++i) {
        ASSERT_EQ(walk.addresses[i], "192.168.1." + std::to_string(i + 1));
    }
    std::vector<std::uint64_t> expected;
    for (std::uint64_t n = 21; n <= 252; n += 21) {
        expected.push_back(n);
    }
    EXPECT_EQ(walk.pausesAfter, expected);
}

TEST(DiscoverSweep, SlashSixteenRunsThirdOctetFromOneAndPausesEveryTwenty) {
    DiscoverSweep sweep({10, 1, 0, 0}, {255, 255, 0, 0});
    EXPECT_EQ(sweep.BroadcastAddress(), "10.1.255.255");
    const Walk walk = WalkAll(sweep);
    EXPECT_EQ(walk.addresses.front(), "10.1.1.1");
    EXPECT_EQ(walk.addresses[253], "10.1.1.254");
    EXPECT_EQ(walk.addresses[254], "10.1.2.1");
    EXPECT_EQ(walk.addresses.back(), "10.1.255.254");
    EXPECT_EQ(walk.pausesAfter.front(), 20u);
    EXPECT_EQ(walk.pausesAfter[1], 40u);
}

TEST(DiscoverSweep, SlashEightStartsAndEndsWhereItShould) {
    DiscoverSweep sweep({10, 0, 0, 0}, {255, 0, 0, 0});
    EXPECT_EQ(sweep.BroadcastAddress(), "10.255.255.255");
    EXPECT_EQ(sweep.Next(), "10.1.1.1");
    EXPECT_EQ(sweep.Next(), "10.1.1.2");
    for (int i = 0; i < 252; ++i) {
        sweep.Next();
    }
    EXPECT_EQ(sweep.Next(), "10.1.2.1");
}

TEST(DiscoverSweep, SlashTwentyFiveIncludesItsNetworkAddress) {
    DiscoverSweep sweep({192, 168, 1, 128}, {255, 255, 255, 128});
    EXPECT_EQ(sweep.BroadcastAddress(), "192.168.1.255");
    const Walk walk = WalkAll(sweep);
    EXPECT_EQ(walk.addresses.front(), "192.168.1.128");
    EXPECT_EQ(walk.addresses.back(), "192.168.1.255");
}

// An edited Subnet takes octets past 255; those sends fail and do not count for pausing.
TEST(DiscoverSweep, SubnetEditedPast255) {
    DiscoverSweep sweep({192, 168, 1, 100}, {255, 255, 255, 0});
    std::vector<std::string> addresses;
    std::uint64_t pauses = 0;
    while (!sweep.Done()) {
        const std::string address = sweep.Next();
        addresses.push_back(address);
        Ipv4Address parsed{};
        const bool sendable =
            ParseDottedAddress(address, parsed) && FormatDottedAddress(parsed) == address;
        pauses += sweep.RecordSend(sendable ? SendOutcome::Sent : SendOutcome::Failed) ? 1 : 0;
    }
    EXPECT_EQ(addresses.front(), "192.168.1.101");
    EXPECT_EQ(addresses[155], "192.168.1.256");
    EXPECT_EQ(addresses.back(), "192.168.1.355");
    EXPECT_EQ(pauses, 155u / 21u);  // only the 155 sendable addresses count
}

TEST(DiscoverSweep, FailedSendsNeverPause) {
    DiscoverSweep sweep({10, 0, 0, 0}, {255, 255, 255, 0});
    for (int i = 0; i < 100; ++i) {
        sweep.Next();
        EXPECT_FALSE(sweep.RecordSend(SendOutcome::Failed));
    }
}

// A send the socket could not queue yet skips nothing: the same address comes again, and the
// pauses fall after the same addresses as on a network where every send went at once.
TEST(DiscoverSweep, AnAddressNotQueuedComesAgain) {
    DiscoverSweep tidy({198, 18, 0, 0}, {255, 255, 252, 0});
    const Walk expected = WalkAll(tidy);
    DiscoverSweep crowded({198, 18, 0, 0}, {255, 255, 252, 0});
    Walk walk;
    int refusals = 0;
    while (!crowded.Done()) {
        const std::string address = crowded.Next();
        // Every 7th address is refused twice before it goes.
        if (walk.addresses.size() % 7 == 3 && refusals < 2) {
            ++refusals;
            EXPECT_FALSE(crowded.RecordSend(SendOutcome::NotQueued));
            EXPECT_FALSE(crowded.Done());
            continue;
        }
        refusals = 0;
        walk.addresses.push_back(address);
        if (crowded.RecordSend(SendOutcome::Sent)) {
            walk.pausesAfter.push_back(walk.addresses.size());
        }
    }
    EXPECT_EQ(walk.addresses, expected.addresses);
    EXPECT_EQ(walk.pausesAfter, expected.pausesAfter);
    EXPECT_EQ(crowded.Handed(), crowded.Total());
}

}  // namespace
}  // namespace parvolink
