#include "protocol/ManagementSocket.h"

#include <QHostInfo>
#include <sys/socket.h>

#include "app/Text.h"
#include "protocol/Messages.h"

namespace parvolink {

ManagementSocket::ManagementSocket(QObject* parent)
    : DatagramSocket(wire::kReceiveBufferSize, parent) {}

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
    if (::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        return OpenResult::CannotSetBroadcast;
    }
    return OpenResult::Ready;
}

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
    return SendTo(wire, ToIpv4Address(address), port);
}

}  // namespace parvolink
