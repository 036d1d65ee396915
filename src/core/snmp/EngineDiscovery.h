// SPDX-License-Identifier: GPL-3.0-or-later
// SNMPv3 engine discovery (RFC 3414, 4): the probe, an unauthenticated GET with no user and
// no engine ID that an agent answers with a report naming its engine, and the reading of that
// report. Bytes in, bytes out: no socket here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parvolink::snmp {

// An agent's engine as its report names it.
struct DiscoveredEngine {
    std::int32_t messageId = 0;  // of the probe the report answers
    std::string engineId;        // 5 to 32 bytes, as RFC 3411 allows
    std::uint32_t boots = 0;     // both at most 2^31 - 1
    std::uint32_t time = 0;
};

// The probe's bytes; messageId (0 to 2^31 - 1) is also its request ID.
std::string DiscoveryProbe(std::int32_t messageId);

// The engine a datagram names when it is an SNMPv3 report to a probe: whole, well formed BER,
// the user-based security model, its engine ID, boots and time in range. Nothing otherwise.
std::optional<DiscoveredEngine> ParseDiscoveryReport(std::string_view datagram);

}  // namespace parvolink::snmp
