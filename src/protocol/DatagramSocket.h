// A UDP socket whose datagrams are read as soon as they arrive and handled from the event loop
// just after, in arrival order. A handler may open a modal dialog: datagrams that arrive
// meanwhile are read and handled inside that dialog's loop. Not copyable: it owns the socket.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "protocol/DottedAddress.h"
#include "protocol/SendOutcome.h"

namespace parvolink {

class DatagramSocket : public QObject {
    Q_OBJECT
public:
    struct Received {
        std::string bytes;
        Ipv4Address from{};
        quint16 port = 0;
    };

    // Datagrams longer than largest bytes are dropped unread.
    explicit DatagramSocket(std::size_t largest, QObject* parent = nullptr);

    void OnDatagram(std::function<void(const Received&)> handler) { handler_ = std::move(handler); }
    // Hands one datagram to the system without ever waiting for room in the socket's queue.
    SendOutcome SendTo(std::string_view bytes, const Ipv4Address& address, quint16 port);
    void Close() { socket_.close(); }
    quint16 LocalPort() const { return socket_.localPort(); }

protected:
    QUdpSocket socket_;

private:
    void ReadPending();
    void HandleQueued();

    std::size_t largest_;
    std::function<void(const Received&)> handler_;
    std::deque<Received> received_;
};

QHostAddress ToHostAddress(const Ipv4Address& address);
Ipv4Address ToIpv4Address(const QHostAddress& address);

}  // namespace parvolink
