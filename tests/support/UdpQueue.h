// SPDX-License-Identifier: GPL-3.0-or-later
// How many bytes wait in the kernel for the UDP sockets bound to a local port, read from
// /proc/net/udp: zero once the program has read every datagram sent to it.
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace parvolink::testing {

inline std::optional<std::uint64_t> UdpReceiveQueue(std::uint16_t port) {
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);  // the heading
    std::optional<std::uint64_t> waiting;
    while (std::getline(table, line)) {
        // "  sl  local_address rem_address st tx_queue:rx_queue ...", addresses as HEX:PORT.
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues;
        fields >> slot >> local >> remote >> state >> queues;
        const std::size_t colon = local.find(':');
        const std::size_t split = queues.find(':');
        if (colon == std::string::npos || split == std::string::npos ||
            std::stoul(local.substr(colon + 1), nullptr, 16) != port) {
            continue;
        }
        waiting = waiting.value_or(0) + std::stoull(queues.substr(split + 1), nullptr, 16);
    }
    return waiting;
}

}  // namespace parvolink::testing
