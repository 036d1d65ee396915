// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QTest>
#include <QUdpSocket>

#include "shell/protocol/ManagementSocket.h"

namespace parvolink {
namespace {

// Everything here stays on 127.0.0.1.
class ManagementSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(socket.Open(), ManagementSocket::OpenResult::Ready);
        socket.OnReceive(
            [this](std::string_view d, const Ipv4Address&) { received.emplace_back(d); });
    }
    void SendToSocket(const std::string& datagram) {
        peer.writeDatagram(datagram.data(), static_cast<qint64>(datagram.size()),
                           QHostAddress::LocalHost, socket.LocalPort());
    }

    ManagementSocket socket;
    QUdpSocket peer;
    std::vector<std::string> received;
};

TEST_F(ManagementSocketTest, OneNotificationDrainsEveryWaitingDatagramInOrder) {
    SendToSocket("first");
    SendToSocket(std::string(600, 'x'));  // longer than any reply: dropped
    SendToSocket("second");
    SendToSocket("third");
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() >= 3; }, 3000));
    QTest::qWait(50);
    EXPECT_EQ(received, (std::vector<std::string>{"first", "second", "third"}));
}

// A handler that opens a modal loop still gets later datagrams inside that loop.
TEST_F(ManagementSocketTest, DatagramsAreHandledInsideAModalLoop) {
    std::vector<std::string> order;
    socket.OnReceive([&](std::string_view d, const Ipv4Address&) {
        order.emplace_back(d);
        if (d == "opens dialog") {
            SendToSocket("inside");
            // qWaitFor spins the event loop as a modal dialog's exec() would.
            const bool handledInside = QTest::qWaitFor([&] { return order.size() >= 2; }, 3000);
            order.emplace_back(handledInside ? "dialog closed" : "nothing came");
        }
    });
    SendToSocket("opens dialog");
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() >= 3; }, 3000));
    EXPECT_EQ(order, (std::vector<std::string>{"opens dialog", "inside", "dialog closed"}));
}

TEST_F(ManagementSocketTest, SendRefusesTextsThatAreNoAddress) {
    EXPECT_EQ(socket.Send("x", "127.0.0.300", 3456), SendOutcome::Failed);
    EXPECT_EQ(socket.Send("x", "", 3456), SendOutcome::Failed);
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, 0));
    EXPECT_EQ(socket.Send("V7qM", "127.0.0.1", listener.localPort()), SendOutcome::Sent);
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.hasPendingDatagrams(); }, 3000));
    char data[8] = {};
    EXPECT_EQ(listener.readDatagram(data, sizeof data), 4);
    EXPECT_EQ(std::string(data), "V7qM");
}

// The sweep waits on this when the queue is full; with room in it, resume comes at once, once.
TEST_F(ManagementSocketTest, WhenWritableResumesOnceFromTheEventLoop) {
    int resumed = 0;
    socket.WhenWritable([&] { ++resumed; });
    EXPECT_EQ(resumed, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return resumed > 0; }, 3000));
    socket.WhenWritable([&] { resumed += 10; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return resumed > 1; }, 3000));
    QTest::qWait(50);
    EXPECT_EQ(resumed, 11);
}

}  // namespace
}  // namespace parvolink
