// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/protocol/ManagementSocket.h"

#include <sys/socket.h>

#include "core/protocol/Messages.h"

namespace parvolink {

ManagementSocket::ManagementSocket(QObject* parent)
    : DatagramSocket(wire::kReceiveBufferSize, Handling::FromEventLoop, parent) {}

ManagementSocket::OpenResult ManagementSocket::Open() {
    if (!Bind(0)) {
        return OpenResult::CannotOpen;
    }
    // Room for the replies of a full list of cards arriving together. Root may go past the
    // system's limit; anyone else gets as much of it as the system allows.
    // The send buffer likewise: a sweep's datagrams to silent addresses wait in it for seconds
    // while their neighbours are looked for.
    const int bufferSize = 4 << 20;
    const int fd = Descriptor();
    for (const auto& [forced, plain] :
         {std::pair{SO_RCVBUFFORCE, SO_RCVBUF}, std::pair{SO_SNDBUFFORCE, SO_SNDBUF}}) {
        if (::setsockopt(fd, SOL_SOCKET, forced, &bufferSize, sizeof bufferSize) != 0) {
            ::setsockopt(fd, SOL_SOCKET, plain, &bufferSize, sizeof bufferSize);
        }
    }
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        return OpenResult::CannotSetBroadcast;
    }
    return OpenResult::Ready;
}

SendOutcome ManagementSocket::Send(std::string_view wire, std::string_view host, quint16 port) {
    // Dotted quads only: every request goes to a row's address made dotted, to a broadcast
    // address or to the sweep's addresses, and a name lookup would block the window.
    const std::optional<Ipv4Address> address = ParseStrictAddress(host);
    if (!address) {
        return SendOutcome::Failed;
    }
    return SendTo(wire, *address, port);
}

}  // namespace parvolink
