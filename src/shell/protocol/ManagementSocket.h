// SPDX-License-Identifier: GPL-3.0-or-later
// The UDP socket that requests leave from and replies arrive at: any local port, broadcasts
// allowed. It only moves bytes.
#pragma once

#include <functional>
#include <string_view>

#include "shell/protocol/DatagramSocket.h"

namespace parvolink {

class ManagementSocket : public DatagramSocket {
    Q_OBJECT
public:
    enum class OpenResult { Ready, CannotOpen, CannotSetBroadcast };

    explicit ManagementSocket(QObject* parent = nullptr);

    [[nodiscard]] OpenResult Open();

    // Sends wire bytes to port of host, a dotted address; any other text fails at once (no
    // name is ever looked up: that would block the event loop).
    [[nodiscard]] SendOutcome Send(std::string_view wire, std::string_view host, quint16 port);

    // Called with every reply datagram and its sender, in arrival order (see DatagramSocket).
    void OnReceive(std::function<void(std::string_view, const Ipv4Address&)> handler) {
        OnDatagram([handler = std::move(handler)](const Received& d) { handler(d.bytes, d.from); });
    }
};

}  // namespace parvolink
