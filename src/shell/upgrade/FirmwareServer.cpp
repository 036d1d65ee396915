// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/upgrade/FirmwareServer.h"

namespace parvolink {

FirmwareServer::FirmwareServer(std::function<ServedFirmware()> chosen,
                               std::chrono::milliseconds tick, QObject* parent)
    : QObject(parent), server_(std::move(chosen)), socket_(this) {
    // Coarse timers drift by up to 5 %: retransmissions keep to their seconds.
    tick_.setTimerType(Qt::PreciseTimer);
    tick_.setInterval(tick);
    // Qt never fires a timer again while its own timeout is being handled, and a tick's host
    // may open a modal window: each tick runs just after its timeout instead.
    connect(&tick_, &QTimer::timeout, this,
            [this] { QTimer::singleShot(0, this, [this] { Tick(); }); });
    socket_.OnDatagram([this](const DatagramSocket::Received& d) {
        Apply(server_.OnDatagram(
            {reinterpret_cast<const std::uint8_t*>(d.bytes.data()), d.bytes.size()},
            {d.from, d.port}));
    });
}

bool FirmwareServer::Open(quint16 port) {
    if (!socket_.Open(port)) {
        return false;
    }
    tick_.start();
    return true;
}

void FirmwareServer::Close() {
    tick_.stop();
    socket_.Close();
}

void FirmwareServer::Tick() {
    Apply(server_.OnTick());
    if (onTick_) {
        onTick_();
    }
}

void FirmwareServer::Apply(const TftpActions& actions) {
    // A block the socket could not queue yet goes as soon as it can, rather than after the 3 s
    // of retransmission.
    for (const TftpDatagram& datagram : actions.sends) {
        socket_.SendInOrder(datagram.bytes, datagram.to.address, datagram.to.port);
    }
    if (onActions_) {
        onActions_(actions);
    }
}

}  // namespace parvolink
