// SPDX-License-Identifier: GPL-3.0-or-later
// The TFTP server's UDP socket on port 69. Its handler never opens a dialog (the server's
// messages are posted), so datagrams are handled at once, without a hop through the event loop.
#pragma once

#include "core/upgrade/TftpServer.h"
#include "shell/protocol/DatagramSocket.h"
#include "shell/protocol/PrivilegedBind.h"

namespace parvolink {

constexpr quint16 kTftpPort = 69;

class TftpServerSocket : public DatagramSocket {
public:
    explicit TftpServerSocket(QObject* parent = nullptr)
        : DatagramSocket(tftp::kReceiveBufferSize, Handling::AtOnce, parent) {}

    // Binds port; port 69 refused for want of privilege is asked of the helper, whose
    // failure() then says why it could not be had.
    bool Open(quint16 port) {
        failure_.clear();
        if (Bind(port)) {
            return true;
        }
        if (port != kTftpPort || !bindRefused()) {
            return false;
        }
        const HelperBinding helped = BindThroughHelper(port);
        if (helped.descriptor < 0) {
            failure_ = helped.failure;
            return false;
        }
        Adopt(helped.descriptor);
        return true;
    }
    const std::string& failure() const { return failure_; }

private:
    std::string failure_;
};

}  // namespace parvolink
