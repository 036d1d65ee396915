// SPDX-License-Identifier: GPL-3.0-or-later
// Discover on a /22 where almost every address is silent (nothing answers ARP for it), with the
// cards high in the range answering only when the sweep reaches their own address.
#include <QPushButton>

#include "LanTestSupport.h"
#include "kit/ControlIds.h"
#include "kit/IpAddressEdit.h"

namespace parvolink {
namespace {

using testing::LanTest;

// The cards testlan puts on the network for this test (see tests/CMakeLists.txt).
const char* const kCards[] = {"198.18.1.5", "198.18.2.17", "198.18.3.200", "198.18.3.254"};

TEST_F(LanTest, SparseSlash22ListsEveryCard) {
    StartCards({"--unicast-only"});
    MainDialog& window = OpenWindow();
    ASSERT_EQ(window.findChild<IpAddressEdit*>(ids::mainwindow::kSubnet)->Address(),
              (Ipv4Address{198, 18, 0, 0}));
    ASSERT_EQ(window.findChild<IpAddressEdit*>(ids::mainwindow::kSubnetMask)->Address(),
              (Ipv4Address{255, 255, 252, 0}));
    window.findChild<QPushButton*>(ids::mainwindow::kDiscover)->click();
    // 1021 addresses make 48 pauses of 100 ms; silent neighbours must not stretch that much.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Discovering(); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.deviceList().size() >= 4; }, 3000));
    for (const char* card : kCards) {
        EXPECT_NE(window.deviceList().FindRowByIp(card), DeviceList::kNone) << card;
    }
    // The sweep reached each card's own address exactly once.
    const auto directDiscovers = [&] {
        std::size_t count = 0;
        for (const std::string& line : LogLines(" direct ")) {
            count += line.find("Discover") != std::string::npos ? 1 : 0;
        }
        return count;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return directDiscovers() >= std::size(kCards); }, 3000));
    QTest::qWait(100);
    EXPECT_EQ(directDiscovers(), std::size(kCards));
    EXPECT_TRUE(prompter.shown.empty());
}

}  // namespace
}  // namespace parvolink
