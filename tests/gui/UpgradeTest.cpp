// SPDX-License-Identifier: GPL-3.0-or-later
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QUdpSocket>

#include "app/MainDialog.h"
#include "core/upgrade/FirmwareFile.h"
#include "core/upgrade/UpgradeChecks.h"
#include "kit/ControlIds.h"
#include "shell/upgrade/UpgradeDialog.h"
#include "support/GuiTestSupport.h"
#include "support/TempDir.h"

namespace parvolink {
namespace {

using testing::FakeNetwork;
using testing::RecordingPrompter;
using testing::TempDir;
using testing::WhenModal;
using namespace std::string_literals;

class UpgradeTest : public ::testing::Test {
protected:
    UpgradeTest()
        : window(
              {network, prompter, dir.path(), 0, [this](std::string_view, std::string_view host) {
                   sentTo.emplace_back(host);
                   return true;
               }}) {
        firmware = dir.Write("card.bin", std::string(1000, 'f'));
    }
    UpgradeDialog* Dialog() { return window.findChild<UpgradeDialog*>(); }
    // Upgrade..., Browse to the firmware file, Exit: the file is chosen, nothing is sent.
    void ChooseFirmwareAndExit() {
        window.deviceList().Append({.ipAddress = "card"});
        Dialog()->ChooseFilesWith([&] { return QString::fromStdString(firmware.string()); });
        WhenModal<UpgradeDialog>([&](UpgradeDialog* d) {
            Click(d, ids::upgrade::kBrowse);
            Click(d, ids::kCancel);
        });
        window.OnUpgrade();
    }
    void Click(QWidget* parent, const char* id) {
        QTest::mouseClick(parent->findChild<QPushButton*>(id), Qt::LeftButton);
    }

    FakeNetwork network;
    RecordingPrompter prompter;
    TempDir dir;
    std::vector<std::string> sentTo;  // requests are recorded, never sent
    MainDialog window;
    std::filesystem::path firmware;
};

TEST_F(UpgradeTest, EmptyListOpensNothing) {
    bool opened = false;
    Dialog()->ChooseFilesWith([&] {
        opened = true;
        return QString();
    });
    window.OnUpgrade();  // returns at once: no modal dialog ran
    EXPECT_FALSE(opened);
    EXPECT_TRUE(prompter.shown.empty());
}

// The checks in their order, then the request and the wait.
TEST_F(UpgradeTest, ChecksInOrderThenTheWaitBeginsAndTheFileIsRemembered) {
    window.deviceList().Append({.ipAddress = "card"});
    Dialog()->ChooseFilesWith([&] { return QString::fromStdString(firmware.string()); });
    WhenModal<UpgradeDialog>([&](UpgradeDialog* d) {
        Click(d, ids::upgrade::kUpgradeNow);
        Click(d, ids::upgrade::kBrowse);  // Browse
        EXPECT_EQ(d->findChild<QLineEdit*>(ids::upgrade::kFileName)->text().toStdString(),
                  firmware.string());
        EXPECT_EQ(d->findChild<QLineEdit*>(ids::upgrade::kFileInformation)->text(),
                  "This is not a correct upgrade file!!!");
        Click(d, ids::upgrade::kUpgradeNow);
        window.deviceList().Select(0);
        Click(d, ids::upgrade::kUpgradeNow);  // no flash size: nothing fits
        window.deviceList().row(0).flashSize = "256K";
        Click(
            d,
            ids::upgrade::kUpgradeNow);  // no dotted quad: said at once, not after 15 s of waiting
        EXPECT_TRUE(sentTo.empty());
        window.deviceList().row(0).ipAddress = "198.51.100.7";
        Click(d, ids::upgrade::kUpgradeNow);
    });
    window.OnUpgrade();
    EXPECT_EQ(prompter.Messages(),
              (std::vector<Message>{upgrade::kNoFile, upgrade::kNoDevice, upgrade::kFlashMismatch,
                                    upgrade::kNotAnAddress}));
    EXPECT_EQ(sentTo, std::vector<std::string>{"198.51.100.7"});
    EXPECT_EQ(window.engine().pendingReply(), PendingReply::AwaitingUpgrade);
    EXPECT_EQ(window.engine().countdown(), 15);
    EXPECT_FALSE(window.findChild<QPushButton*>(ids::mainwindow::kAdd)->isEnabled());
    EXPECT_EQ(dir.Read("Parvolink.ini"), firmware.string() + "\r\ncard.bin\r\n");
}

// The file chooser opens beside the file chosen last; the first time, beside the package's
// sample firmware when it is installed.
TEST(UpgradeStartDirectory, BesideTheLastFileElseTheSample) {
    EXPECT_EQ(upgrade::StartDirectory("/srv/firmware/nmc-2.40.bin"), "/srv/firmware");
    const bool installed = std::filesystem::is_directory(upgrade::kSampleFirmwareDirectory);
    EXPECT_EQ(upgrade::StartDirectory(""),
              installed ? QString(upgrade::kSampleFirmwareDirectory) : QString());
}

// A settings file that cannot be written is said once a run, not at every upgrade.
TEST_F(UpgradeTest, AnUnwritableSettingsFileIsReportedOncePerRun) {
    std::filesystem::create_directory(dir.path() / "Parvolink.ini");
    window.deviceList().Append({.ipAddress = "198.51.100.7", .flashSize = "512K"});
    window.deviceList().Select(0);
    Dialog()->ChooseFilesWith([&] { return QString::fromStdString(firmware.string()); });
    for (int upgrade = 0; upgrade < 3; ++upgrade) {
        WhenModal<UpgradeDialog>([&](UpgradeDialog* d) {
            Click(d, ids::upgrade::kBrowse);
            Click(d, ids::upgrade::kUpgradeNow);
        });
        window.OnUpgrade();
    }
    EXPECT_EQ(sentTo.size(), 3u);
    EXPECT_EQ(prompter.Messages(), std::vector<Message>{devices::kCannotWriteSettings});
}

TEST_F(UpgradeTest, BrowseThenExitServesTheFileButRemembersNothing) {
    ChooseFirmwareAndExit();
    EXPECT_EQ(window.firmware().firmwareFileName, "card.bin");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Parvolink.ini"));
    EXPECT_EQ(window.engine().pendingReply(), PendingReply::Idle);
}

// A TFTP client on 127.0.0.1 fetches the chosen file: the progress window follows the transfer,
// closing it with Escape does not stop it, and "Upgrade OK!" ends it. The client answers from
// readyRead, so it keeps working inside the progress window's modal loop.
TEST_F(UpgradeTest, ServesTheChosenFileOverLoopback) {
    std::string content(1300, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>(i % 251);
    }
    firmware = dir.Write("card.bin", content);
    ChooseFirmwareAndExit();
    ASSERT_TRUE(window.tftpServer().connectionCount() == 0);

    QUdpSocket client;
    ASSERT_TRUE(client.bind(QHostAddress::LocalHost, 0));
    std::string received;
    bool progressShown = false;
    bool progressClosed = false;
    QObject::connect(&client, &QUdpSocket::readyRead, [&] {
        while (client.hasPendingDatagrams()) {
            QByteArray data(static_cast<int>(client.pendingDatagramSize()), '\0');
            QHostAddress from;
            quint16 port = 0;
            client.readDatagram(data.data(), data.size(), &from, &port);
            if (data.size() < 4 || data[1] != 3) {
                continue;
            }
            received.append(data.constData() + 4, static_cast<std::size_t>(data.size() - 4));
            auto* progress = window.findChild<UpgradeProgressDialog*>();
            progressShown = progressShown || progress->isVisible();
            if (progress->isVisible() && !progressClosed) {
                QTest::keyClick(progress, Qt::Key_Escape);  // the transfer must go on
                progressClosed = !progress->isVisible();
            }
            // A card's pace: a little later than the server's 100 ms tick, so the progress
            // window has its turn.
            const QByteArray ack = QByteArray("\0\4", 2) + data.mid(2, 2);
            QTimer::singleShot(120, &client, [&client, ack, from, port] {
                client.writeDatagram(ack, from, port);
            });
        }
    });
    const std::string rrq = "\0\1card.bin\0octet\0"s;
    client.writeDatagram(rrq.data(), static_cast<qint64>(rrq.size()), QHostAddress::LocalHost,
                         window.tftpPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.empty(); }, 10000));
    EXPECT_EQ(prompter.Messages(), std::vector<Message>{tftp::kUpgradeOk});
    EXPECT_EQ(received, content);
    EXPECT_TRUE(progressShown);
    EXPECT_TRUE(progressClosed);
    EXPECT_FALSE(window.findChild<UpgradeProgressDialog*>()->isVisible());
}

// The window may open after blocks went, or for a file under one block.
TEST_F(UpgradeTest, ProgressBarStartsWhereTheTransferIs) {
    UpgradeProgressDialog progress;
    struct Case {
        int blocks, position, maximum;
    };
    for (const Case c : {Case{0, 0, 1}, Case{400, 120, 400}, Case{2, 5, 2}}) {
        WhenModal<UpgradeProgressDialog>([&](UpgradeProgressDialog* p) {
            auto* bar = p->findChild<QProgressBar*>(ids::upgrade::kProgressBar);
            EXPECT_EQ(bar->minimum(), 0);
            EXPECT_EQ(bar->maximum(), c.maximum);
            EXPECT_EQ(bar->value(), std::min(c.position, c.maximum));
            p->done(1);
        });
        progress.Run(c.blocks, c.position);
    }
}

TEST_F(UpgradeTest, BrowseRefusesAFileTooLargeForTftp) {
    const auto huge = dir.Write("huge.bin", "");
    std::filesystem::resize_file(huge, firmware::kLargestServable + 1);
    window.deviceList().Append({.ipAddress = "card"});
    Dialog()->ChooseFilesWith([&] { return QString::fromStdString(huge.string()); });
    WhenModal<UpgradeDialog>([&](UpgradeDialog* d) {
        Click(d, ids::upgrade::kBrowse);
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].message, upgrade::kFileTooLarge);
        EXPECT_EQ(prompter.shown[0].parent, d);
        EXPECT_TRUE(d->findChild<QLineEdit*>(ids::upgrade::kFileName)->text().isEmpty());
        Click(d, ids::kCancel);
    });
    window.OnUpgrade();
    EXPECT_EQ(window.firmware().firmwarePath, "");
}

}  // namespace
}  // namespace parvolink