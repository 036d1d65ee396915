// SPDX-License-Identifier: GPL-3.0-or-later
// The engine discovery of many agents at once, as a schedule: which probes are due when, and
// which report settles which agent. Each probe has its own deadline and tries; at most a given
// number are out at once; a report is taken only for a probe of its own message ID, from the
// address and port that probe went to. No socket and no clock: the caller sends what it is
// told, hands over each datagram with its sender, and says what time it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parvolink::snmp {

// An agent's UDP address, host order.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    bool operator==(const Endpoint&) const = default;
};

// What the discovery came to for one agent.
struct AgentEngine {
    std::string id;  // empty: the agent did not answer
    std::uint32_t boots = 0;
    std::uint32_t time = 0;
    bool localFault = false;  // the probe could not be sent, or the address is none
    bool settled = false;     // found, or known silent or unreachable
};

class DiscoverySchedule {
public:
    using Millis = std::int64_t;  // a steady clock's milliseconds

    struct Send {
        std::size_t index = 0;
        Endpoint to;
        std::string bytes;
    };

    // agents: one per query, nothing for one that is not discovered. Each probe waits
    // timeoutMs and is sent retries more times; at most mostOut are awaited at once. Message
    // IDs count up from firstMessageId (0 to 2^30), so that a late report to an earlier run
    // is not taken.
    DiscoverySchedule(const std::vector<std::optional<Endpoint>>& agents, int timeoutMs,
                      int retries, std::size_t mostOut, std::int32_t firstMessageId);

    // The probes to send at now: new ones while fewer than mostOut are out, and again those
    // whose wait is over with tries left; those without tries left are settled silent. next
    // is when the next one falls due (at most 100 ms on).
    [[nodiscard]] std::vector<Send> Due(Millis now, Millis& next);
    // A probe that could not be sent: its agent is a local fault.
    void SendFailed(std::size_t index);
    // A query whose agent has no address to probe: a local fault.
    void NoAddress(std::size_t index);
    // A datagram that came from from.
    void OnDatagram(std::string_view datagram, const Endpoint& from);

    const AgentEngine& engine(std::size_t index) const { return engines_.at(index); }
    bool empty() const { return probes_.empty(); }

private:
    struct Probe {
        std::size_t index = 0;
        Endpoint to;
        std::int32_t messageId = 0;
        int triesLeft = 0;
        Millis deadline = 0;
        bool sent = false;
        bool done = false;
    };

    std::vector<AgentEngine> engines_;
    std::vector<Probe> probes_;
    int timeoutMs_;
    std::size_t mostOut_;
};

}  // namespace parvolink::snmp
