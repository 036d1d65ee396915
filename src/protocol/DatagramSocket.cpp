#include "protocol/DatagramSocket.h"

#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace parvolink {

QHostAddress ToHostAddress(const Ipv4Address& a) {
    return QHostAddress((quint32(a[0]) << 24) | (quint32(a[1]) << 16) | (quint32(a[2]) << 8) | a[3]);
}

Ipv4Address ToIpv4Address(const QHostAddress& address) {
    const quint32 value = address.toIPv4Address();
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

DatagramSocket::DatagramSocket(std::size_t largest, QObject* parent)
    : QObject(parent), largest_(largest) {
    connect(&socket_, &QUdpSocket::readyRead, this, &DatagramSocket::ReadPending);
}

SendOutcome DatagramSocket::SendTo(std::string_view bytes, const Ipv4Address& address,
                                   quint16 port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    std::memcpy(&to.sin_addr, address.data(), address.size());  // first octet first, as on the wire
    const auto fd = static_cast<int>(socket_.socketDescriptor());
    const ssize_t sent = ::sendto(fd, bytes.data(), bytes.size(), MSG_DONTWAIT,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent == static_cast<ssize_t>(bytes.size())) {
        return SendOutcome::Sent;
    }
    const bool full = sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS);
    return full ? SendOutcome::NotQueued : SendOutcome::Failed;
}

void DatagramSocket::ReadPending() {
    // Qt does not signal readyRead again inside its own slot, so nothing is handled here:
    // a modal dialog opened by one datagram must still hear of the next.
    while (socket_.hasPendingDatagrams()) {
        const qint64 size = socket_.pendingDatagramSize();
        Received datagram;
        datagram.bytes.resize(static_cast<std::size_t>(std::max<qint64>(size, 0)));
        QHostAddress from;
        const qint64 read = socket_.readDatagram(datagram.bytes.data(), size, &from,
                                                 &datagram.port);
        if (read < 0) {
            break;
        }
        if (static_cast<std::size_t>(read) > largest_) {
            continue;  // longer than anything this socket expects: dropped
        }
        datagram.bytes.resize(static_cast<std::size_t>(read));
        datagram.from = ToIpv4Address(from);
        received_.push_back(std::move(datagram));
    }
    if (!received_.empty()) {
        QTimer::singleShot(0, this, &DatagramSocket::HandleQueued);
    }
}

void DatagramSocket::HandleQueued() {
    // A nested call (from a dialog's loop) takes over the queue; the outer call then finds it
    // empty. Either way each datagram is handled once, in arrival order.
    while (!received_.empty()) {
        const Received datagram = std::move(received_.front());
        received_.pop_front();
        if (handler_) {
            handler_(datagram);
        }
    }
}

}  // namespace parvolink
