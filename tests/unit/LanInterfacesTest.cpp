// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "base/LanInterfaces.h"

namespace parvolink {
namespace {

TEST(LanInterfaces, ListsUsableAddressesPaddedWithTheirSubnets) {
    const std::vector<InterfaceRow> table = {
        {{127, 0, 0, 1}, {255, 0, 0, 0}},
        {{192, 168, 1, 20}, {255, 255, 255, 0}},
        {{0, 0, 0, 0}, {0, 0, 0, 0}},
        {{10, 0, 0, 5}, {255, 0, 0, 0}},
    };
    const std::vector<LanChoice> entries = LanBoxEntries(table);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].text, "192.168.001.020");
    EXPECT_EQ(entries[0].row, 1u);
    EXPECT_EQ(entries[1].text, "010.000.000.005");
    EXPECT_EQ(entries[1].row, 3u);

    const SubnetFields first = InterfaceSubnet(table[1]);
    EXPECT_EQ(first.subnet, (Ipv4Address{192, 168, 1, 0}));
    EXPECT_EQ(first.mask, (Ipv4Address{255, 255, 255, 0}));
    EXPECT_EQ(RowForLanText(table, "010.000.000.005"), 3u);
    EXPECT_EQ(RowForLanText(table, "127.000.000.001"), std::nullopt);
    EXPECT_EQ(RowForLanText(table, "10.0.0.5"), std::nullopt);
}

TEST(LanInterfaces, HostAddressSkipsLoopbackResolutions) {
    const std::vector<InterfaceRow> table = {{{127, 0, 0, 1}, {255, 0, 0, 0}},
                                             {{198, 51, 100, 1}, {255, 255, 255, 0}}};
    struct Case {
        std::vector<Ipv4Address> resolved;
        Ipv4Address chosen;
    };
    const Case cases[] = {
        {{{198, 51, 100, 9}}, {198, 51, 100, 9}},
        {{{127, 0, 1, 1}, {10, 0, 0, 2}}, {10, 0, 0, 2}},
        {{{127, 0, 1, 1}}, {198, 51, 100, 1}},  // Debian's own mapping: the LAN address instead
        {{}, {0, 0, 0, 0}},                     // does not resolve
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseHostAddress(c.resolved, table), c.chosen);
    }
    EXPECT_EQ(ChooseHostAddress({{127, 0, 1, 1}}, {{{127, 0, 0, 1}, {255, 0, 0, 0}}}),
              (Ipv4Address{127, 0, 1, 1}));
}

}  // namespace
}  // namespace parvolink
