// The TFTP server's UDP socket on port 69.
#pragma once

#include "protocol/DatagramSocket.h"
#include "upgrade/TftpServer.h"

namespace parvolink {

constexpr quint16 kTftpPort = 69;

class TftpServerSocket : public DatagramSocket {
public:
    explicit TftpServerSocket(QObject* parent = nullptr)
        : DatagramSocket(tftp::kReceiveBufferSize, parent) {}

    // Binds the port for this program alone; false when another program holds it or the
    // process may not bind it (ports below 1024 need root or CAP_NET_BIND_SERVICE).
    bool Open(quint16 port) {
        return socket_.bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress);
    }
};

}  // namespace parvolink
