// The TFTP server's UDP socket on port 69. Its handler never opens a dialog (the server's
// messages are posted), so datagrams are handled at once, without a hop through the event loop.
#pragma once

#include "core/upgrade/TftpServer.h"
#include "shell/protocol/DatagramSocket.h"

namespace parvolink {

constexpr quint16 kTftpPort = 69;

class TftpServerSocket : public DatagramSocket {
public:
    explicit TftpServerSocket(QObject* parent = nullptr)
        : DatagramSocket(tftp::kReceiveBufferSize, Handling::AtOnce, parent) {}

    bool Open(quint16 port) { return Bind(port); }
};

}  // namespace parvolink
