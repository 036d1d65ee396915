// SPDX-License-Identifier: GPL-3.0-or-later
// What an audit finds on a card from what it read: each finding with a stable id, a severity
// and a sentence a person can act on. Plain logic: the card's identity, its configuration
// record and its SNMPv3 users in, findings out.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/config/DeviceConfiguration.h"
#include "core/config/UsmConfiguration.h"
#include "core/devices/DeviceList.h"

namespace parvolink::fleet {

enum class Severity { Info, Low, Medium, High };
std::string_view SeverityName(Severity severity);
std::optional<Severity> ParseSeverity(std::string_view name);

struct Finding {
    std::string id;  // kept from release to release: "telnet-enabled"
    Severity severity = Severity::Info;
    std::string text;
    bool operator==(const Finding&) const = default;
};

struct AuditLimits {
    std::string minVersion;  // empty: any version passes
};

// From the card's identity and configuration: Telnet and HTTP enabled, the administrator's
// access open to any address, SNTP chosen with no server, firmware older than minVersion.
std::vector<Finding> AuditConfiguration(const DeviceEntry& card, const DeviceConfiguration& record,
                                        const AuditLimits& limits);
// From its SNMPv3 users: a user without authentication.
std::vector<Finding> AuditUsers(const UsmConfiguration& users);

}  // namespace parvolink::fleet
