// SPDX-License-Identifier: GPL-3.0-or-later
#include <QPushButton>

#include "LanTestSupport.h"
#include "core/protocol/RequestEngine.h"
#include "kit/ControlIds.h"

namespace parvolink {
namespace {

using testing::LanTest;

class ConfigureLanTest : public LanTest {
protected:
    // A hand-entered row for the card at 198.51.100.2, selected, and Configuration pressed.
    MainDialog& ConfigureCard(const std::string& password) {
        MainDialog& window = OpenWindow();
        DeviceList& list = window.deviceList();
        list.Append({.ipAddress = "198.051.100.002"});
        list.SetAccount(0, "admin", password);
        list.Select(0);
        window.findChild<QPushButton*>(ids::mainwindow::kConfiguration)->click();
        return window;
    }
};

TEST_F(ConfigureLanTest, LocalCardGetsTheRequestTwiceAndItsReplyIsStored) {
    StartCards();
    MainDialog& window = ConfigureCard("lanterns");
    EXPECT_EQ(window.hostAddress(), (Ipv4Address{198, 51, 100, 1}));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.engine().pendingReply() == PendingReply::ConfigureReady; }, 3000));
    EXPECT_EQ(window.configuration().netbiosName, "CARD-1");
    EXPECT_EQ(window.configuration().ipAddr, (Ipv4Address{198, 51, 100, 2}));
    // The reply to the first copy can come before the card has read the second.
    EXPECT_TRUE(QTest::qWaitFor([&] { return LogLines("198.51.100.2 ").size() >= 2; }, 3000));
    const auto requests = LogLines("198.51.100.2 ");
    const std::string line = "Parvolink\\tConfigure\\t198.051.100.002\\t\\tadmin\\tlanterns\\t";
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "198.51.100.2 direct " + line);
    EXPECT_EQ(requests[1], "198.51.100.2 broadcast " + line);
    EXPECT_FALSE(window.findChild<QPushButton*>(ids::mainwindow::kDiscover)->isEnabled());
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(ConfigureLanTest, WrongPasswordIsReported) {
    StartCards();
    MainDialog& window = ConfigureCard("wrong");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.empty(); }, 3000));
    for (const Message& message : prompter.Messages()) {
        EXPECT_EQ(message, exchange::kAccountMismatch);
    }
    // The operation ends at the next tick, quietly.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.operationTimer().isActive(); }, 3000));
    EXPECT_TRUE(window.findChild<QPushButton*>(ids::mainwindow::kConfiguration)->isEnabled());
    EXPECT_EQ(window.engine().pendingReply(), PendingReply::Idle);
}

TEST_F(ConfigureLanTest, SilentCardLetsTheCountdownRunOut) {
    StartCards({"--silent"});
    fastTicks = true;
    MainDialog& window = ConfigureCard("lanterns");
    EXPECT_TRUE(window.operationTimer().isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.operationTimer().isActive(); }, 6000));
    for (const char* id :
         {ids::mainwindow::kDiscover, ids::mainwindow::kAdd, ids::mainwindow::kModify,
          ids::mainwindow::kRemove, ids::mainwindow::kConfiguration, ids::mainwindow::kUpgrade}) {
        EXPECT_TRUE(window.findChild<QPushButton*>(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(LogLines("Configure").size(), 4u);  // two datagrams, the broadcast seen by all
}

}  // namespace
}  // namespace parvolink
