#include "upgrade/TftpServerSocket.h"

namespace parvolink {

TftpServerSocket::TftpServerSocket(QObject* parent) : QObject(parent) {}

bool TftpServerSocket::Open(quint16 port) {
    // Without address sharing, so that a port already in use is reported, not shared.
    return socket_.bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress);
}

void TftpServerSocket::Close() { socket_.close(); }

}  // namespace parvolink
