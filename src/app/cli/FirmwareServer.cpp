// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/FirmwareServer.h"

#include <filesystem>

namespace parvolink::cli {

FirmwareServer::FirmwareServer(const std::string& path, QObject* parent)
    : QObject(parent),
      firmware_{path, std::filesystem::path(path).filename().string()},
      socket_(this) {
    tick_.setTimerType(Qt::PreciseTimer);
    tick_.setInterval(100);
    connect(&tick_, &QTimer::timeout, this, [this] { Apply(server_.OnTick()); });
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

void FirmwareServer::Apply(const TftpActions& actions) {
    for (const TftpDatagram& datagram : actions.sends) {
        socket_.SendInOrder(datagram.bytes, datagram.to.address, datagram.to.port);
    }
    if (onEnded_) {
        for (const TftpTransferEnd& end : actions.ended) {
            onEnded_(end);
        }
    }
}

}  // namespace parvolink::cli
