#include "protocol/ManagementSocket.h"

#include <QHostInfo>
#include <QTimer>
#include <sys/socket.h>

#include "app/Text.h"
#include "protocol/Messages.h"

namespace parvolink {

ManagementSocket::ManagementSocket(QObject* parent) : QObject(parent) {
    connect(&socket_, &QUdpSocket::readyRead, this, &ManagementSocket::ReadPending);
}

ManagementSocket::OpenResult ManagementSocket::Open() {
    if (!socket_.bind(QHostAddress::AnyIPv4, 0)) {
        return OpenResult::CannotOpen;
    }
    // Room for the replies of a full list of cards arriving together. Root may go past the
    // system's limit; anyone else gets as much of it as the system allows.
    const int receiveBuffer = 4 << 20;
    const int fd = static_cast<int>(socket_.socketDescriptor());
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &receiveBuffer, sizeof receiveBuffer) != 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    const int on = 1;
    if (::setsockopt(static_cast<int>(socket_.socketDescriptor()), SOL_SOCKET, SO_BROADCAST, &on,
                     sizeof on) != 0) {
        return OpenResult::CannotSetBroadcast;
    }
    return OpenResult::Ready;
}

void ManagementSocket::Close() { socket_.close(); }

bool ManagementSocket::Send(std::string_view wire, std::string_view host, quint16 port) {
    QHostAddress address;
    if (!address.setAddress(FromText(host)) ||
        address.protocol() != QAbstractSocket::IPv4Protocol) {
        if (IsNumericHostText(host)) {
            return false;  // such as 192.168.1.300: not an address, and no name either
        }
        address.clear();
        for (const QHostAddress& found : QHostInfo::fromName(FromText(host)).addresses()) {
            if (found.protocol() == QAbstractSocket::IPv4Protocol) {
                address = found;
                break;
            }
        }
        if (address.isNull()) {
            return false;
        }
    }
    return socket_.writeDatagram(wire.data(), static_cast<qint64>(wire.size()), address, port) ==
           static_cast<qint64>(wire.size());
}

void ManagementSocket::ReadPending() {
    // Every waiting datagram is read now; they are handled outside this notification, so that
    // a modal dialog opened by one of them still gets the notifications of later ones.
    while (socket_.hasPendingDatagrams()) {
        const qint64 size = socket_.pendingDatagramSize();
        std::string datagram(static_cast<std::size_t>(std::max<qint64>(size, 0)), '\0');
        const qint64 read = socket_.readDatagram(datagram.data(), size);
        if (read < 0) {
            break;
        }
        if (static_cast<std::size_t>(read) > wire::kReceiveBufferSize) {
            continue;  // longer than any reply: dropped
        }
        datagram.resize(static_cast<std::size_t>(read));
        received_.push_back(std::move(datagram));
    }
    if (!received_.empty()) {
        QTimer::singleShot(0, this, &ManagementSocket::HandleQueued);
    }
}

void ManagementSocket::HandleQueued() {
    // A nested call (from a dialog's loop) takes over the queue; the outer call then finds it
    // empty. Either way the datagrams are handled once, in arrival order.
    while (!received_.empty()) {
        const std::string datagram = std::move(received_.front());
        received_.pop_front();
        if (handler_) {
            handler_(datagram);
        }
    }
}

}  // namespace parvolink
