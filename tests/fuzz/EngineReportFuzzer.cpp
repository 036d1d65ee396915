// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the reading of an agent's report to an engine discovery probe: any bytes from the
// network. What it takes has an engine ID of 5 to 32 bytes and boots and time below 2^31, and
// nothing longer than the datagram is ever read.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/snmp/EngineDiscovery.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto engine = parvolink::snmp::ParseDiscoveryReport(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (engine &&
        (engine->engineId.size() < 5 || engine->engineId.size() > 32 ||
         engine->boots > 0x7FFFFFFFu || engine->time > 0x7FFFFFFFu || engine->messageId < 0)) {
        std::abort();
    }
    return 0;
}
