// SPDX-License-Identifier: GPL-3.0-or-later
// Discover replies from a hostile host, sent over loopback as real datagrams: addresses padded,
// zero-padded and far longer than any address, hundreds of each, and then a real card. The
// window and the command line's discover must both list the real card and stay bounded.
#include <QTest>
#include <QTreeWidget>
#include <QUdpSocket>
#include <set>

#include "app/MainDialog.h"
#include "app/cli/DiscoverSession.h"
#include "core/protocol/DatagramCodec.h"
#include "kit/ControlIds.h"
#include "support/GuiTestSupport.h"
#include "support/TempDir.h"

namespace parvolink {
namespace {

using testing::FakeNetwork;
using testing::Find;

const std::vector<std::string> kHostileAddresses = {
    "127.0.0.00002", "127.0.0.2        ", "127.0.0.2\x1b]0;pwned\x07", std::string(300, '7')};

std::string DiscoverReply(const std::string& address, const std::string& mac) {
    return DatagramCodec::EncodeText("QorinWebConfig\tDiscover\t" + address + "\t" + mac +
                                     "\t2.1\tNMC\tups\t0\t");
}

// Answers every Discover it receives with 300 replies of each hostile address, then as the
// real card it is.
class HostileCard {
public:
    explicit HostileCard(quint16 port) {
        EXPECT_TRUE(socket_.bind(QHostAddress("127.0.0.2"), port));
        QObject::connect(&socket_, &QUdpSocket::readyRead, [this] {
            while (socket_.hasPendingDatagrams()) {
                QHostAddress from;
                quint16 fromPort = 0;
                QByteArray data(600, '\0');
                socket_.readDatagram(data.data(), data.size(), &from, &fromPort);
                AnswerTo(from, fromPort);
            }
        });
    }
    void AnswerTo(const QHostAddress& to, quint16 port) {
        for (int i = 0; i < 300; ++i) {
            for (const std::string& address : kHostileAddresses) {
                Send(DiscoverReply(address, "00:C0:B7:66:66:66"), to, port);
            }
            if (i % 50 == 49) {
                QTest::qWait(1);  // let the receiver read: nothing is lost to a full buffer
            }
        }
        Send(DiscoverReply("127.0.0.2", "00:C0:B7:00:00:02"), to, port);
    }

private:
    void Send(const std::string& datagram, const QHostAddress& to, quint16 port) {
        socket_.writeDatagram(datagram.data(), static_cast<qint64>(datagram.size()), to, port);
    }
    QUdpSocket socket_;
};

TEST(HostileReplies, TheWindowListsEachAddressTextOnceAndTheRealCard) {
    FakeNetwork network;
    testing::RecordingPrompter prompter;
    testing::TempDir dir;
    MainDialog window({network, prompter, dir.path(), 0});
    window.show();
    HostileCard card(0);
    card.AnswerTo(QHostAddress::LocalHost, window.managementPort());
    QTRY_VERIFY_WITH_TIMEOUT(window.deviceList().FindRowByIp("127.0.0.2") != DeviceList::kNone,
                             10000);
    EXPECT_EQ(window.deviceList().size(), kHostileAddresses.size() + 1);
    auto* view = Find<QTreeWidget>(&window, ids::mainwindow::kDeviceList);
    QTRY_COMPARE(view->topLevelItemCount(), static_cast<int>(kHostileAddresses.size() + 1));
    EXPECT_TRUE(prompter.shown.empty());
}

// The command line's discover, which aborted on the first such reply, lists each address text
// once and the real card; it sweeps only 127.0.0.0/30.
TEST(HostileReplies, TheCommandLineDiscoverListsEachAddressTextOnce) {
    HostileCard card(3456);
    cli::DiscoverSession session;
    std::vector<std::string> found;
    bool finished = false;
    ASSERT_TRUE(session.Start(
        {{127, 0, 0, 0}, {255, 255, 255, 252}},
        [&](const DeviceEntry& row) { found.push_back(row.ipAddress); }, [&] { finished = true; }));
    QTRY_VERIFY_WITH_TIMEOUT(finished, 15000);
    const std::set<std::string> distinct(found.begin(), found.end());
    EXPECT_EQ(found.size(), distinct.size()) << "a card listed twice";
    EXPECT_EQ(distinct.size(), kHostileAddresses.size() + 1);
    EXPECT_TRUE(distinct.contains("127.0.0.2"));
}

}  // namespace
}  // namespace parvolink
