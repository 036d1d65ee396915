// SPDX-License-Identifier: GPL-3.0-or-later
// What became of one datagram handed to a socket.
#pragma once

namespace parvolink {

enum class SendOutcome {
    Sent,
    // The system refused it for its address (no route, not an address): nothing to retry.
    Failed,
    // The socket could not queue it yet (its send buffer is full of datagrams waiting for
    // neighbours to answer): the same datagram can go once the socket is writable again.
    NotQueued,
};

}  // namespace parvolink
