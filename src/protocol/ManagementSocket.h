// The UDP socket that requests leave from and replies arrive at: any local port, broadcasts
// allowed. It only moves bytes. Not copyable: it owns the socket.
#pragma once

#include <QObject>
#include <QUdpSocket>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace parvolink {

class ManagementSocket : public QObject {
    Q_OBJECT
public:
    enum class OpenResult { Ready, CannotOpen, CannotSetBroadcast };

    explicit ManagementSocket(QObject* parent = nullptr);

    OpenResult Open();
    void Close();
    quint16 LocalPort() const { return socket_.localPort(); }

    // Sends wire bytes to port 3456 of host: a dotted address, else a host name to resolve
    // (a text of digits and dots only is never looked up). False when the send failed.
    bool Send(std::string_view wire, std::string_view host, quint16 port);

    // Called with every datagram received, in arrival order. The handler may open modal
    // dialogs: datagrams arriving meanwhile are read and handled inside that dialog's loop.
    void OnReceive(std::function<void(std::string_view)> handler) { handler_ = std::move(handler); }

private:
    void ReadPending();
    void HandleQueued();

    QUdpSocket socket_;
    std::function<void(std::string_view)> handler_;
    std::deque<std::string> received_;
};

}  // namespace parvolink
