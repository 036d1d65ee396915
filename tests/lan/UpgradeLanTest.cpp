// SPDX-License-Identifier: GPL-3.0-or-later
#include <QLineEdit>
#include <QPushButton>

#include "LanTestSupport.h"
#include "kit/ControlIds.h"
#include "shell/upgrade/UpgradeDialog.h"

namespace parvolink {
namespace {

using testing::LanTest;
using testing::WhenModal;

class UpgradeLanTest : public LanTest {
protected:
    // A 200 KiB firmware file chosen in the dialog, and Upgrade Now for the card at .2.
    MainDialog& UpgradeCard() {
        MainDialog& window = OpenWindow(69);
        EXPECT_TRUE(window.tftpSocketReady());
        content.resize(200 * 1024);
        for (std::size_t i = 0; i < content.size(); ++i) {
            content[i] = static_cast<char>((i * 7919) >> 3);
        }
        firmware = dir.Write("nmc-2.2.bin", content);
        DeviceList& list = window.deviceList();
        list.Append({.ipAddress = "198.051.100.002", .flashSize = "256K"});
        list.SetAccount(0, "admin", "lanterns");
        list.Select(0);
        window.findChild<UpgradeDialog*>()->ChooseFilesWith(
            [this] { return QString::fromStdString(firmware.string()); });
        WhenModal<UpgradeDialog>([](UpgradeDialog* d) {
            d->findChild<QPushButton*>(ids::upgrade::kBrowse)->click();
            d->findChild<QPushButton*>(ids::upgrade::kUpgradeNow)->click();
        });
        window.findChild<QPushButton*>(ids::upgrade::kUpgradeNow)->click();
        return window;
    }

    std::string content;
    std::filesystem::path firmware;
};

// The card's side of the fetch done by Debian's tftp-hpa client.
TEST_F(UpgradeLanTest, ServesTheFileToARealTftpClient) {
    StartCards();
    MainDialog& window = UpgradeCard();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window.engine().pendingReply() == PendingReply::Idle; }, 3000))
        << "no OK from the card";
    const auto upgrades = LogLines("Upgrade");
    ASSERT_EQ(upgrades.size(), 1u);
    EXPECT_EQ(upgrades[0], "198.51.100.2 direct Parvolink\\tUpgrade\\tadmin\\tlanterns\\t");

    const auto fetched = dir.path() / "fetched.bin";
    QProcess card;
    card.start("ip", {"netns", "exec", qEnvironmentVariable("PARVOLINK_LAN_NS"), "tftp", "-m",
                      "binary", "198.51.100.1", "-c", "get", "nmc-2.2.bin",
                      QString::fromStdString(fetched.string())});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.empty(); }, 30000));
    EXPECT_EQ(prompter.Messages(), std::vector<Message>{tftp::kUpgradeOk});
    card.waitForFinished(5000);
    EXPECT_EQ(dir.Read("fetched.bin"), content);
    EXPECT_EQ(dir.Read("Parvolink.ini"), firmware.string() + "\r\nnmc-2.2.bin\r\n");
}

// The simulated card fetches the file itself after its "OK", as a real card would.
TEST_F(UpgradeLanTest, TheCardFetchesTheFileAfterItsOk) {
    StartCards({"--firmware-name", "nmc-2.2.bin"});
    MainDialog& window = UpgradeCard();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.empty(); }, 30000));
    EXPECT_EQ(prompter.Messages(), std::vector<Message>{tftp::kUpgradeOk});
    // The card logs its fetch after its last ACK, which may be after we have read that ACK.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !LogLines("fetched").empty(); }, 3000));
    EXPECT_EQ(LogLines("fetched"), std::vector<std::string>{"198.51.100.2 fetched 204800 bytes"});
    EXPECT_EQ(window.tftpServer().connectionCount(), 0u);
}

// A card that stops acknowledging: its block is sent again every 3 s, and 15 s after the last
// progress the transfer is abandoned, the progress window closed, and nothing said.
TEST_F(UpgradeLanTest, AStalledFetchIsAbandonedSilently) {
    StartCards({"--firmware-name", "nmc-2.2.bin", "--stall-after", "3"});
    fastTicks = true;  // fifteen seconds of retransmissions in under one
    MainDialog& window = UpgradeCard();
    bool progressSeen = false;
    QTimer watcher;  // a timer of its own keeps firing inside the progress window's loop
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        progressSeen = progressSeen || window.findChild<UpgradeProgressDialog*>()->isVisible();
    });
    watcher.start(50);
    ASSERT_TRUE(QTest::qWaitFor([&] { return progressSeen; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !window.findChild<UpgradeProgressDialog*>()->isVisible(); }, 10000));
    EXPECT_EQ(window.tftpServer().connectionCount(), 0u);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_TRUE(LogLines("fetched").empty());
}

}  // namespace
}  // namespace parvolink
