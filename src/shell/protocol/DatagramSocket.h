// SPDX-License-Identifier: GPL-3.0-or-later
// A UDP socket on every local IPv4 address, watched by the event loop. Datagrams are read as
// soon as they arrive and handed over either just after, from the event loop (a handler may
// then open a modal dialog, and datagrams arriving meanwhile are read and handled inside that
// dialog's loop), or at once (a handler that never opens one: no hop through the event loop).
// Not copyable: it owns the descriptor.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/DottedAddress.h"
#include "base/SendOutcome.h"

namespace parvolink {

class DatagramSocket : public QObject {
    Q_OBJECT
public:
    struct Received {
        std::string bytes;
        Ipv4Address from{};
        std::uint16_t port = 0;
    };
    enum class Handling { FromEventLoop, AtOnce };

    // Datagrams longer than largest bytes are dropped.
    DatagramSocket(std::size_t largest, Handling handling, QObject* parent = nullptr);
    ~DatagramSocket() override;
    DatagramSocket(const DatagramSocket&) = delete;
    DatagramSocket& operator=(const DatagramSocket&) = delete;

    // Binds port (0: any free one) on every local IPv4 address, for this socket alone; false
    // when another socket holds it or the process may not bind it (ports below 1024 need root
    // or CAP_NET_BIND_SERVICE; bindError() then tells).
    [[nodiscard]] bool Bind(std::uint16_t port);
    // The errno of the last Bind that failed (EACCES or EPERM: for want of privilege), else 0.
    int bindError() const { return bindError_; }
    // Takes over a socket bound elsewhere (non-blocking), as Bind would have made it.
    void Adopt(int descriptor);
    void OnDatagram(std::function<void(const Received&)> handler) { handler_ = std::move(handler); }
    // Hands one datagram to the system without ever waiting for room in the socket's queue.
    [[nodiscard]] SendOutcome SendTo(std::string_view bytes, const Ipv4Address& address,
                                     std::uint16_t port);
    // Calls resume once, from the event loop, when the socket can queue a datagram again. A
    // later call replaces an earlier resume not yet called.
    void WhenWritable(std::function<void()> resume);
    // Sends in order: a datagram the socket cannot queue yet waits, with any sent after it,
    // until the socket is writable, instead of being lost. A datagram the system refuses is
    // dropped. Uses WhenWritable: not for a socket whose caller waits on that itself.
    void SendInOrder(std::string_view bytes, const Ipv4Address& address, std::uint16_t port);
    void Close();
    std::uint16_t LocalPort() const;

protected:
    // -1 when not bound.
    int Descriptor() const { return fd_; }

private:
    struct Waiting {
        std::string bytes;
        Ipv4Address address{};
        std::uint16_t port = 0;
    };

    void ReadPending();
    void HandleQueued();
    void SendWaiting();

    std::size_t largest_;
    Handling handling_;
    int fd_ = -1;
    int bindError_ = 0;
    std::unique_ptr<QSocketNotifier> readable_;
    std::unique_ptr<QSocketNotifier> writable_;
    std::function<void()> resume_;
    std::function<void(const Received&)> handler_;
    std::deque<Received> received_;
    std::deque<Waiting> waiting_;
    Received reading_;  // reused for every datagram read
};

Ipv4Address ToIpv4Address(const QHostAddress& address);

}  // namespace parvolink
