// SPDX-License-Identifier: GPL-3.0-or-later
#include <QProgressBar>
#include <QPushButton>
#include <cstdio>

#include "LanTestSupport.h"
#include "kit/ControlIds.h"
#include "kit/IpAddressEdit.h"

namespace parvolink {
namespace {

using testing::LanTest;

class DiscoverLanTest : public LanTest {
protected:
    static constexpr std::size_t kCards = 253;

    QPushButton* Button(MainDialog& window, const char* id) {
        return window.findChild<QPushButton*>(id);
    }
    // Presses Discover and waits until the sweep is over and count rows are listed.
    void DiscoverAll(MainDialog& window, std::size_t rows) {
        Button(window, ids::mainwindow::kDiscover)->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Discovering(); }, 10000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.deviceList().size() >= rows; }, 5000));
        QTest::qWait(200);  // any reply still on its way
    }
};

TEST_F(DiscoverLanTest, ListsEveryCardOfTheSubnetOnce) {
    StartCards();
    MainDialog& window = OpenWindow();
    DiscoverAll(window, kCards);
    const DeviceList& list = window.deviceList();
    ASSERT_EQ(list.size(), kCards);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const DeviceEntry& row = list.row(i);
        Ipv4Address address{};
        ASSERT_TRUE(ParseDottedAddress(row.ipAddress, address)) << row.ipAddress;
        char mac[18];
        std::snprintf(mac, sizeof mac, "00:C0:B7:%02X:%02X:%02X", address[1], address[2],
                      address[3]);
        EXPECT_EQ(row.macAddress, mac);
        EXPECT_EQ(row.version, "2.1");
        EXPECT_EQ(row.model, "NMC-3");
        EXPECT_EQ(row.hostName.rfind("card-", 0), 0u);
        EXPECT_TRUE(row.flashSize == "256K" || row.flashSize == "512K");
        EXPECT_EQ(row.passwordMask, "????????");
        EXPECT_EQ(list.FindRowByIp(row.ipAddress), static_cast<int>(i));  // no duplicates
    }
    EXPECT_EQ(list.selected(), static_cast<int>(kCards) - 1);  // the last new row
    EXPECT_TRUE(prompter.shown.empty());
    // Buttons come back with the countdown, about two seconds after the sweep.
    EXPECT_FALSE(Button(window, ids::mainwindow::kAdd)->isEnabled());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Button(window, ids::mainwindow::kAdd)->isEnabled(); }, 4000));
    EXPECT_EQ(Button(window, ids::mainwindow::kDiscover)->text(), "&Discover");
}

TEST_F(DiscoverLanTest, SecondDiscoverUpdatesInPlaceAndKeepsAccounts) {
    StartCards();
    MainDialog& window = OpenWindow();
    DeviceList& list = window.deviceList();
    list.Append({.ipAddress = "198.051.100.020"});  // entered by hand, zero-padded
    list.SetAccount(0, "admin", "secret");
    DiscoverAll(window, kCards + 1);
    ASSERT_EQ(list.size(), kCards + 1);  // 198.51.100.20 is another text: its own row
    list.SetAccount(5, "root", "pw5");
    list.row(5).model = "stale";
    list.Select(7);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Button(window, ids::mainwindow::kDiscover)->isEnabled(); }, 4000));
    DiscoverAll(window, kCards + 1);
    EXPECT_EQ(list.size(), kCards + 1);
    EXPECT_EQ(list.row(0).password, "secret");
    EXPECT_EQ(list.row(5).account, "root");
    EXPECT_EQ(list.row(5).password, "pw5");
    EXPECT_EQ(list.row(5).passwordMask, "********");
    EXPECT_EQ(list.row(5).model, "NMC-3");
    EXPECT_EQ(list.selected(), 7);
}

TEST_F(DiscoverLanTest, StopEndsALongSweep) {
    StartCards();
    MainDialog& window = OpenWindow();
    // A /16 takes minutes to sweep.
    window.findChild<IpAddressEdit*>(ids::mainwindow::kSubnetMask)->SetAddress({255, 255, 0, 0});
    QPushButton* discover = Button(window, ids::mainwindow::kDiscover);
    discover->click();
    EXPECT_TRUE(window.Discovering());
    EXPECT_EQ(discover->text(), "&Stop");
    EXPECT_TRUE(discover->isEnabled());
    for (const char* id :
         {ids::mainwindow::kAdd, ids::mainwindow::kModify, ids::mainwindow::kRemove,
          ids::mainwindow::kConfiguration, ids::mainwindow::kUpgrade}) {
        EXPECT_FALSE(Button(window, id)->isEnabled()) << id;
    }
    auto* progress = window.findChild<QProgressBar*>();
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress->isVisible(); }, 3000));
    EXPECT_GT(progress->value(), 0);
    discover->click();
    EXPECT_FALSE(window.Discovering());
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(discover->text(), "&Discover");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Button(window, ids::mainwindow::kAdd)->isEnabled(); }, 4000));
    EXPECT_TRUE(discover->isEnabled());
}

}  // namespace
}  // namespace parvolink
