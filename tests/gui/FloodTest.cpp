// Floods of datagrams that each raise a message, sent over loopback while the message boxes
// behave as real ones do: each runs an event loop of its own until the user closes it.
#include <QEventLoop>
#include <algorithm>
#include <utility>
#include <QPushButton>
#include <QTest>
#include <QUdpSocket>

#include "../unit/FakeEngineHost.h"
#include "../unit/TempDir.h"
#include "GuiTestSupport.h"
#include "app/MainDialog.h"
#include "protocol/RequestEngine.h"
#include "upgrade/UpgradeDialog.h"

namespace parvolink {
namespace {

using testing::FakeNetwork;
using testing::TempDir;
using testing::WhenModal;
using namespace std::string_literals;

// A message box that stays open a little while, its loop handling whatever arrives.
class LingeringPrompter : public Prompter {
public:
    std::vector<Message> shown;
    int depth = 0;
    int deepest = 0;

    void ShowMessage(QWidget*, const Message& message) override {
        shown.push_back(message);
        deepest = std::max(deepest, ++depth);
        QEventLoop loop;
        QTimer::singleShot(30, &loop, &QEventLoop::quit);
        loop.exec();
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return Count(engine::kPacketMismatch) > 0; }, 20000));
    QTest::qWait(300);
    EXPECT_EQ(prompter.deepest, 1);
    EXPECT_EQ(Count(tftp::kCannotOpenFile), 1);
    EXPECT_EQ(Count(engine::kPacketMismatch), 1);

    // Afterwards a chosen file is served as ever: to ten hosts at once, while an eleventh
    // floods the server with requests it must refuse.
    const auto firmware = dir.Write("card.bin", std::string(700, 'f'));
    window.deviceList().Append({.ipAddress = "card"});
    window.findChild<UpgradeDialog*>()->ChooseFilesWith(
        [&] { return QString::fromStdString(firmware.string()); });
    WhenModal<UpgradeDialog>([](UpgradeDialog* d) {
        d->findChild<QPushButton*>("1032")->click();
        d->reject();
    });
    window.OnUpgrade();
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
        socket->writeDatagram(rrq.data(), static_cast<qint64>(rrq.size()),
                              QHostAddress::LocalHost, window.tftpPort());
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
            std::all_of(heldAcks.begin(), heldAcks.end(), [](const auto& a) { return !a.isEmpty(); })) {
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
    QTest::qWait(300);
    EXPECT_EQ(Count(tftp::kTooManyConnections), 1);
    EXPECT_EQ(Count(tftp::kUpgradeOk), 1);
    EXPECT_EQ(prompter.deepest, 1);
}

}  // namespace
}  // namespace parvolink
