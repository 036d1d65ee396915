// SPDX-License-Identifier: GPL-3.0-or-later
// Floods of datagrams that each raise a message, sent over loopback while the message boxes
// behave as real ones do: each runs an event loop of its own until the user closes it.
#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QUdpSocket>
#include <algorithm>
#include <utility>

#include "app/MainDialog.h"
#include "core/protocol/Exchange.h"
#include "kit/ControlIds.h"
#include "shell/upgrade/UpgradeDialog.h"
#include "support/FakeEngineHost.h"
#include "support/GuiTestSupport.h"
#include "support/TempDir.h"
#include "support/UdpQueue.h"

namespace parvolink {
namespace {

using testing::FakeNetwork;
using testing::TempDir;
using testing::WhenModal;
using namespace std::string_literals;

// A message box that stays open a little while (or until openUntil says so, 5 s at most),
// its loop handling whatever arrives.
class LingeringPrompter : public Prompter {
public:
    std::vector<Message> shown;
    int depth = 0;
    int deepest = 0;
    std::function<bool(const Message&)> openUntil;

    void ShowMessage(QWidget*, const Message& message) override {
        shown.push_back(message);
        deepest = std::max(deepest, ++depth);
        if (openUntil) {
            static_cast<void>(QTest::qWaitFor([&] { return openUntil(message); }, 5000));
        } else {
            QEventLoop loop;
            QTimer::singleShot(30, &loop, &QEventLoop::quit);
            loop.exec();
        }
        --depth;
    }
    bool AskYesNo(QWidget*, const Message&) override { return false; }
};

class FloodTest : public ::testing::Test {
protected:
    FloodTest() : window({network, prompter, dir.path(), 0}) {
        EXPECT_TRUE(sender.bind(QHostAddress::LocalHost, 0));
    }
    void Send(const std::string& datagram, quint16 port, int times) {
        Send(datagram, port, times, sender);
    }
    static void Send(const std::string& datagram, quint16 port, int times, QUdpSocket& from) {
        for (int i = 0; i < times; ++i) {
            from.writeDatagram(datagram.data(), static_cast<qint64>(datagram.size()),
                               QHostAddress::LocalHost, port);
            if (i % 200 == 199) {
                QTest::qWait(1);  // let the window read: nothing is lost to a full buffer
            }
        }
    }
    // The window has read every datagram sent to it and closed every box they raised.
    bool Drained() {
        return testing::UdpReceiveQueue(window.tftpPort()) == 0u &&
               testing::UdpReceiveQueue(window.managementPort()) == 0u && prompter.depth == 0;
    }
    void ChooseFirmware(std::size_t size) {
        const auto firmware = dir.Write("card.bin", std::string(size, 'f'));
        window.deviceList().Append({.ipAddress = "card"});
        window.findChild<UpgradeDialog*>()->ChooseFilesWith(
            [firmware] { return QString::fromStdString(firmware.string()); });
        WhenModal<UpgradeDialog>([](UpgradeDialog* d) {
            d->findChild<QPushButton*>(ids::upgrade::kBrowse)->click();
            d->reject();
        });
        window.OnUpgrade();
    }
    // A card at address that fetches the file, acknowledging every block paceMs after it came.
    std::unique_ptr<QUdpSocket> FetchingCard(const char* address, int paceMs = 0) {
        auto card = std::make_unique<QUdpSocket>();
        EXPECT_TRUE(card->bind(QHostAddress(address), 0));
        QUdpSocket* socket = card.get();
        QObject::connect(socket, &QUdpSocket::readyRead, [this, socket, paceMs] {
            while (socket->hasPendingDatagrams()) {
                QByteArray data(600, '\0');
                socket->readDatagram(data.data(), data.size());
                const QByteArray ack = QByteArray("\0\4", 2) + data.mid(2, 2);
                QTimer::singleShot(paceMs, socket, [this, socket, ack] {
                    socket->writeDatagram(ack, QHostAddress::LocalHost, window.tftpPort());
                });
            }
        });
        const std::string rrq = "\0\1card.bin\0octet\0"s;
        socket->writeDatagram(rrq.data(), static_cast<qint64>(rrq.size()), QHostAddress::LocalHost,
                              window.tftpPort());
        return card;
    }
    int Count(const Message& message) const {
        return static_cast<int>(std::count(prompter.shown.begin(), prompter.shown.end(), message));
    }

    FakeNetwork network;
    LingeringPrompter prompter;
    TempDir dir;
    MainDialog window;
    QUdpSocket sender;
};

// Read requests naming no file while none is chosen, and "Error" replies, thousands of each:
// one box at a time, each message a handful of times at most, and the window still serves.
TEST_F(FloodTest, MessageBoxesNeverNest) {
    Send("\0\1\0octet\0"s, window.tftpPort(), 3000);
    Send(testing::ReplyDatagram({"Error", "1"}), window.managementPort(), 3000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Count(exchange::kPacketMismatch) > 0; }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Drained(); }, 20000));
    EXPECT_EQ(prompter.deepest, 1);
    EXPECT_EQ(Count(tftp::kCannotOpenFile), 1);
    EXPECT_EQ(Count(exchange::kPacketMismatch), 1);

    // Afterwards a chosen file is served as ever: to ten hosts at once, while an eleventh
    // floods the server with requests it must refuse.
    ChooseFirmware(700);
    const std::string rrq = "\0\1card.bin\0octet\0"s;
    // Ten cards fetch it. They acknowledge the first block at once and hold the last one until
    // released; they answer from their sockets' notifications, so they go on inside whatever
    // window is open (the progress window runs modally while they fetch).
    bool released = false;
    int finished = 0;
    std::vector<std::unique_ptr<QUdpSocket>> cards;
    std::vector<QByteArray> heldAcks(10);
    for (std::size_t i = 0; i < heldAcks.size(); ++i) {
        auto card = std::make_unique<QUdpSocket>();
        ASSERT_TRUE(card->bind(QHostAddress(QString("127.0.0.%1").arg(i + 2)), 0));
        QUdpSocket* socket = card.get();
        QObject::connect(socket, &QUdpSocket::readyRead, [&, socket, i] {
            while (socket->hasPendingDatagrams()) {
                QByteArray data(600, '\0');
                const qint64 size = socket->readDatagram(data.data(), data.size());
                const QByteArray ack = QByteArray("\0\4", 2) + data.mid(2, 2);
                if (size == 516) {
                    socket->writeDatagram(ack, QHostAddress::LocalHost, window.tftpPort());
                } else if (heldAcks[i].isEmpty()) {
                    heldAcks[i] = ack;
                }
            }
        });
        socket->writeDatagram(rrq.data(), static_cast<qint64>(rrq.size()), QHostAddress::LocalHost,
                              window.tftpPort());
        cards.push_back(std::move(card));
    }
    QTimer release;
    QObject::connect(&release, &QTimer::timeout, [&] {
        for (std::size_t i = 0; released && i < heldAcks.size(); ++i) {
            if (!heldAcks[i].isEmpty()) {
                cards[i]->writeDatagram(std::exchange(heldAcks[i], {}), QHostAddress::LocalHost,
                                        window.tftpPort());
                ++finished;
            }
        }
        // An eleventh host floods the server while all ten hold their transfers.
        if (!released && window.tftpServer().connectionCount() == 10 &&
            std::all_of(heldAcks.begin(), heldAcks.end(),
                        [](const auto& a) { return !a.isEmpty(); })) {
            QUdpSocket eleventh;
            eleventh.bind(QHostAddress("127.0.0.12"), 0);
            for (int n = 0; n < 1000; ++n) {
                eleventh.writeDatagram(rrq.data(), static_cast<qint64>(rrq.size()),
                                       QHostAddress::LocalHost, window.tftpPort());
            }
        }
        released = released || Count(tftp::kTooManyConnections) > 0;
    });
    release.start(10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 10; }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.tftpServer().connectionCount() == 0; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Drained(); }, 10000));
    EXPECT_EQ(Count(tftp::kTooManyConnections), 1);
    EXPECT_EQ(Count(tftp::kUpgradeOk), 10);  // every finished card is told, one box at a time
    EXPECT_EQ(prompter.deepest, 1);
}

// While one card's "Upgrade OK!" is still on screen, the next card's transfer opens its
// progress window over it.
TEST_F(FloodTest, TheNextProgressWindowOpensOverUpgradeOk) {
    ChooseFirmware(30000);
    auto* progress = window.findChild<UpgradeProgressDialog*>();
    std::unique_ptr<QUdpSocket> second;
    bool openedOverTheBox = false;
    // Watched from every loop, the progress window's own included.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        openedOverTheBox =
            openedOverTheBox || (second && progress->isVisible() && prompter.depth == 1);
    });
    watch.start(5);
    prompter.openUntil = [&](const Message& message) {
        if (message == tftp::kUpgradeOk && !second) {
            second = FetchingCard("127.0.0.3", 20);  // slow: its window has time to open
        }
        return openedOverTheBox || message != tftp::kUpgradeOk;
    };
    const auto first = FetchingCard("127.0.0.2");
    ASSERT_TRUE(QTest::qWaitFor([&] { return second && Count(tftp::kUpgradeOk) == 2; }, 10000));
    EXPECT_EQ(window.tftpServer().connectionCount(), 0u);
    EXPECT_TRUE(openedOverTheBox);
    EXPECT_EQ(prompter.deepest, 1);
}

}  // namespace
}  // namespace parvolink