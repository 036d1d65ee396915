// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fleet/Audit.h"

#include <array>

#include "core/fleet/ConfigurationFields.h"

namespace parvolink::fleet {
namespace {

constexpr std::array<std::string_view, 4> kSeverityNames = {"info", "low", "medium", "high"};

// A field's value by its readable name; empty when the card has no such field.
std::string ValueOf(const std::vector<NamedValue>& fields, std::string_view name) {
    for (const NamedValue& field : fields) {
        if (field.name == name) {
            return field.value;
        }
    }
    return {};
}

bool NoServer(const std::string& server) {
    return server.empty() || server == "0.0.0.0";
}

}  // namespace

std::string_view SeverityName(Severity severity) {
    return kSeverityNames.at(static_cast<std::size_t>(severity));
}

std::optional<Severity> ParseSeverity(std::string_view name) {
    for (std::size_t i = 0; i < kSeverityNames.size(); ++i) {
        if (kSeverityNames[i] == name) {
            return static_cast<Severity>(i);
        }
    }
    return std::nullopt;
}

std::vector<Finding> AuditConfiguration(const DeviceEntry& card, const DeviceConfiguration& record,
                                        const AuditLimits& limits) {
    const std::vector<NamedValue> fields =
        ReadConfigurationFields(record, GatesFor(card.version, card.model));
    std::vector<Finding> findings;
    if (ValueOf(fields, "telnet") == "enabled") {
        findings.push_back({"telnet-enabled", Severity::High,
                            "Telnet is enabled: its password crosses the network in clear. "
                            "Disable it (config set telnet=disabled)."});
    }
    if (ValueOf(fields, "http") == "enabled") {
        findings.push_back({"http-enabled", Severity::Medium,
                            "The web interface is served over plain HTTP. Disable it where it "
                            "is not needed (config set http=disabled)."});
    }
    if (ValueOf(fields, "access-administrator") == "any") {
        findings.push_back({"admin-access-any", Severity::Medium,
                            "The administrator may log in from any address. Restrict it to the "
                            "LAN (config set access-administrator=lan)."});
    }
    if (ValueOf(fields, "time-source") == "sntp" && NoServer(ValueOf(fields, "sntp-server-1")) &&
        NoServer(ValueOf(fields, "sntp-server-2"))) {
        findings.push_back({"sntp-no-server", Severity::Low,
                            "The clock is set by SNTP but no server is named, so its time drifts. "
                            "Name one (config set sntp-server-1=ADDRESS)."});
    }
    if (!limits.minVersion.empty() && ReadVersion(card.version) < ReadVersion(limits.minVersion)) {
        findings.push_back({"firmware-old", Severity::Medium,
                            "The firmware is version " + card.version + ", older than " +
                                limits.minVersion + ". Upgrade it (parvolink-cli upgrade)."});
    }
    return findings;
}

std::vector<Finding> AuditUsers(const UsmConfiguration& users) {
    std::vector<Finding> findings;
    for (int row = 0; row < usm::kUsers; ++row) {
        const std::string& name = users.userNames[static_cast<std::size_t>(row)];
        if (!name.empty() && LevelOf(users.securityLevels, row) == NoAuthNoPriv) {
            findings.push_back({"snmpv3-noauth-user", Severity::High,
                                "SNMPv3 user \"" + name + "\" (row " + std::to_string(row) +
                                    ") needs no password. Give it a level with authentication "
                                    "(snmpv3 set --level authPriv)."});
        }
    }
    return findings;
}

}  // namespace parvolink::fleet
