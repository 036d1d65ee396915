#include "protocol/ManagementSocket.h"

#include <sys/socket.h>

namespace parvolink {

ManagementSocket::ManagementSocket(QObject* parent) : QObject(parent) {}

ManagementSocket::OpenResult ManagementSocket::Open() {
    if (!socket_.bind(QHostAddress::AnyIPv4, 0)) {
        return OpenResult::CannotOpen;
    }
    const int on = 1;
    if (::setsockopt(static_cast<int>(socket_.socketDescriptor()), SOL_SOCKET, SO_BROADCAST, &on,
                     sizeof on) != 0) {
        return OpenResult::CannotSetBroadcast;
    }
    return OpenResult::Ready;
}

void ManagementSocket::Close() { socket_.close(); }

}  // namespace parvolink
