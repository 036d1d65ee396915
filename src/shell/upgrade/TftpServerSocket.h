// SPDX-License-Identifier: GPL-3.0-or-later
// The TFTP server's UDP socket on port 69. Its handler never opens a dialog (the server's
// messages are posted), so datagrams are handled at once, without a hop through the event loop.
#pragma once

#include <cerrno>

#include "core/upgrade/TftpServer.h"
#include "shell/protocol/DatagramSocket.h"
#include "shell/protocol/PrivilegedBind.h"

namespace parvolink {

constexpr quint16 kTftpPort = 69;

class TftpServerSocket : public DatagramSocket {
public:
    explicit TftpServerSocket(QObject* parent = nullptr)
        : DatagramSocket(tftp::kReceiveBufferSize, Handling::AtOnce, parent) {}

    // Binds port; port 69 refused for want of privilege is asked of the helper. On failure,
    // failure() says why the port could not be had and what would get it.
    bool Open(quint16 port) {
        failure_ = {};
        if (Bind(port)) {
            return true;
        }
        const bool wantsPrivilege = bindError() == EACCES || bindError() == EPERM;
        if (port != kTftpPort || !wantsPrivilege) {
            failure_ = DirectBindFailure(port, bindError());
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
    const PortFailure& failure() const { return failure_; }

private:
    PortFailure failure_;
};

}  // namespace parvolink
