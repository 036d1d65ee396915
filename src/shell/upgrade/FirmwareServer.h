// SPDX-License-Identifier: GPL-3.0-or-later
// The firmware server of the window and of parvolink-cli alike: the TFTP server on its UDP
// socket (port 69, through the helper when the program may not bind it) with its 100 ms tick.
// The host hears of what each datagram and tick did once the packets are sent, and of each
// tick. Not copyable.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

#include "core/upgrade/TftpServer.h"
#include "shell/upgrade/TftpServerSocket.h"

namespace parvolink {

class FirmwareServer : public QObject {
    Q_OBJECT
public:
    // chosen: the file served, asked at each read request. tick: the retransmission tick.
    explicit FirmwareServer(std::function<ServedFirmware()> chosen,
                            std::chrono::milliseconds tick = std::chrono::milliseconds(100),
                            QObject* parent = nullptr);

    // Binds port (69, or any free one for tests with 0) and starts the tick; false when it
    // cannot, failure() then says why and what would get the port.
    [[nodiscard]] bool Open(quint16 port);
    void Close();
    const PortFailure& failure() const { return socket_.failure(); }
    quint16 LocalPort() const { return socket_.LocalPort(); }

    // After the packets of a datagram or a tick are sent: the rest of what it did (the
    // progress window to end, a message, transfers ended).
    void OnActions(std::function<void(const TftpActions&)> handler) {
        onActions_ = std::move(handler);
    }
    // After each tick. It runs from the event loop, not from the timer's own handler, so that
    // a modal window opened from it lets the next ticks through.
    void OnTick(std::function<void()> handler) { onTick_ = std::move(handler); }

    const TftpServer& server() const { return server_; }
    bool TakeTransferStarted() { return server_.TakeTransferStarted(); }
    std::optional<TftpServer::PeerProgress> ProgressOf(const Ipv4Address& card) const {
        return server_.ProgressOf(card);
    }

private:
    void Apply(const TftpActions& actions);
    void Tick();

    TftpServer server_;
    TftpServerSocket socket_;
    QTimer tick_;
    std::function<void(const TftpActions&)> onActions_;
    std::function<void()> onTick_;
};

}  // namespace parvolink
