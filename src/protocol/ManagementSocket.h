// The UDP socket that requests leave from and replies arrive at: any local port, broadcasts
// allowed. Not copyable: it owns the socket.
#pragma once

#include <QObject>
#include <QUdpSocket>

namespace parvolink {

class ManagementSocket : public QObject {
    Q_OBJECT
public:
    enum class OpenResult { Ready, CannotOpen, CannotSetBroadcast };

    explicit ManagementSocket(QObject* parent = nullptr);

    OpenResult Open();
    void Close();
    quint16 LocalPort() const { return socket_.localPort(); }

private:
    QUdpSocket socket_;
};

}  // namespace parvolink
