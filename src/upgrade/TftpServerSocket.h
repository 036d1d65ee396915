// The TFTP server's UDP socket on port 69. Not copyable: it owns the socket.
#pragma once

#include <QObject>
#include <QUdpSocket>

namespace parvolink {

constexpr quint16 kTftpPort = 69;

class TftpServerSocket : public QObject {
    Q_OBJECT
public:
    explicit TftpServerSocket(QObject* parent = nullptr);

    // Binds the port for this program alone; false when another program holds it or the
    // process may not bind it (ports below 1024 need root or CAP_NET_BIND_SERVICE).
    bool Open(quint16 port);
    void Close();

private:
    QUdpSocket socket_;
};

}  // namespace parvolink
