// SPDX-License-Identifier: GPL-3.0-or-later
// The TFTP server of parvolink-cli: the window's server on port 69, serving one firmware file,
// with each card's transfer followed on its own (its progress, and how it ended).
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

#include "core/devices/SettingsFile.h"
#include "core/upgrade/TftpServer.h"
#include "shell/upgrade/TftpServerSocket.h"

namespace parvolink::cli {

class FirmwareServer : public QObject {
    Q_OBJECT
public:
    explicit FirmwareServer(const std::string& path, QObject* parent = nullptr);

    // Binds port 69 (or the port given, for tests); false when it cannot.
    [[nodiscard]] bool Open(quint16 port);
    // Why port 69 could not be had through the helper; empty when it was not asked.
    const std::string& failure() const { return socket_.failure(); }
    // Called as each card's transfer ends.
    void OnEnded(std::function<void(const TftpTransferEnd&)> handler) {
        onEnded_ = std::move(handler);
    }
    std::optional<TftpServer::PeerProgress> ProgressOf(const Ipv4Address& card) const {
        return server_.ProgressOf(card);
    }

private:
    void Apply(const TftpActions& actions);

    FirmwareSettings firmware_;
    TftpServer server_{firmware_};
    TftpServerSocket socket_;
    QTimer tick_;
    std::function<void(const TftpTransferEnd&)> onEnded_;
};

}  // namespace parvolink::cli
