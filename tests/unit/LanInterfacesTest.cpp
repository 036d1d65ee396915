#include "app/LanInterfaces.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace parvolink
