// The UDP socket that requests leave from and replies arrive at: any local port, broadcasts
// allowed. It only moves bytes.
#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <string_view>

#include "protocol/DatagramSocket.h"

namespace parvolink {

class ManagementSocket : public DatagramSocket {
    Q_OBJECT
public:
    enum class OpenResult { Ready, CannotOpen, CannotSetBroadcast };

    explicit ManagementSocket(QObject* parent = nullptr);
    ~ManagementSocket() override;

    OpenResult Open();

    // Sends wire bytes to port of host: a dotted address, else a host name to resolve (a text
    // of digits and dots only is never looked up, and fails).
    SendOutcome Send(std::string_view wire, std::string_view host, quint16 port);

    // Calls resume once, from the event loop, when the socket can queue a datagram again.
    // A later call replaces an earlier resume not yet called.
    void WhenWritable(std::function<void()> resume);

    // Called with every reply datagram and its sender, in arrival order (see DatagramSocket).
    void OnReceive(std::function<void(std::string_view, const Ipv4Address&)> handler) {
        OnDatagram([handler = std::move(handler)](const Received& d) { handler(d.bytes, d.from); });
    }

private:
    // Writability is watched on a second descriptor of the same socket, so that Qt's own
    // notifiers on the first are left alone.
    int watchedDescriptor_ = -1;
    std::unique_ptr<QSocketNotifier> writable_;
    std::function<void()> resume_;
};

}  // namespace parvolink
