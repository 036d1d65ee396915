// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fleet/Audit.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>

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

// "1 h 2 min 5 s", the larger units only when there are some.
std::string Duration(std::int64_t seconds) {
    std::string text;
    if (seconds >= 86400) {
        text += std::to_string(seconds / 86400) + " d ";
        seconds %= 86400;
    }
    if (!text.empty() || seconds >= 3600) {
        text += std::to_string(seconds / 3600) + " h ";
        seconds %= 3600;
    }
    if (!text.empty() || seconds >= 60) {
        text += std::to_string(seconds / 60) + " min ";
        seconds %= 60;
    }
    return text + std::to_string(seconds) + " s";
}

void AuditConfiguration(const CardFacts& facts, const AuditLimits& limits,
                        std::vector<Finding>& findings) {
    const DeviceEntry& card = facts.card;
    const DeviceConfiguration& record = *facts.configuration;
    const std::vector<NamedValue> fields =
        ReadConfigurationFields(record, GatesFor(card.version, card.model));
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
    if (limits.maxClockDrift) {
        const std::optional<std::int64_t> clock = CardClock(record);
        const std::int64_t drift = clock ? *clock - limits.now : 0;
        const std::string zone = ValueOf(fields, "time-zone");
        const std::string zoneNote = zone.empty()
                                         ? " (it has no time zone: taken as UTC)"
                                         : " (its time zone, " + zone + ", taken into account)";
        if (!clock) {
            findings.push_back({"clock-invalid", Severity::Low,
                                "The card's date (" + ValueOf(fields, "date") +
                                    ") is no calendar's. Set it (config set date=MM/DD/YYYY "
                                    "time=HH:MM:SS) or name an SNTP server."});
        } else if (std::abs(drift) > *limits.maxClockDrift) {
            findings.push_back(
                {"clock-drift", Severity::Low,
                 "The card's clock is " + Duration(std::abs(drift)) +
                     (drift < 0 ? " behind" : " ahead of") + " this PC's" + zoneNote +
                     ". Set it (config set date=MM/DD/YYYY time=HH:MM:SS) or name an SNTP "
                     "server."});
        }
    }
}

void AuditUsers(const UsmConfiguration& users, std::vector<Finding>& findings) {
    for (int row = 0; row < usm::kUsers; ++row) {
        const std::string& name = users.userNames[static_cast<std::size_t>(row)];
        if (!name.empty() && LevelOf(users.securityLevels, row) == NoAuthNoPriv) {
            findings.push_back({"snmpv3-noauth-user", Severity::High,
                                "SNMPv3 user \"" + name + "\" (row " + std::to_string(row) +
                                    ") needs no password. Give it a level with authentication "
                                    "(snmpv3 set --level authPriv)."});
        }
    }
}

std::string Joined(const std::vector<std::string>& words, std::string_view between) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : std::string(between)) + word;
    }
    return text;
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

std::optional<std::int64_t> TimeZoneOffset(std::uint8_t timeZoneIndex) {
    if (timeZoneIndex >= configuration::kTimeZoneNames.size()) {
        return std::nullopt;
    }
    // "GMT Dublin...", "GMT+05 ...", "GMT-03:30 ..."
    const std::string_view name = configuration::kTimeZoneNames[timeZoneIndex];
    if (name.size() < 6 || (name[3] != '+' && name[3] != '-')) {
        return 0;
    }
    std::int64_t minutes = ((name[4] - '0') * 10 + (name[5] - '0')) * 60;
    if (name.size() >= 9 && name[6] == ':') {
        minutes += (name[7] - '0') * 10 + (name[8] - '0');
    }
    return (name[3] == '-' ? -minutes : minutes) * 60;
}

std::optional<std::int64_t> CardClock(const DeviceConfiguration& record) {
    using namespace std::chrono;
    // The card may send any number: bound each before the calendar's narrower types see it,
    // or 257 would wrap to January and the 67562nd year to this one.
    const auto within = [](std::int32_t value, std::int32_t low, std::int32_t high) {
        return value >= low && value <= high;
    };
    if (!within(record.year, 1, 9999) || !within(record.month, 1, 12) ||
        !within(record.day, 1, 31) || !within(record.hour, 0, 23) ||
        !within(record.minute, 0, 59) || !within(record.second, 0, 59)) {
        return std::nullopt;
    }
    const year_month_day date{year{record.year}, month{static_cast<unsigned>(record.month)},
                              day{static_cast<unsigned>(record.day)}};
    if (!date.ok()) {
        return std::nullopt;
    }
    const std::int64_t local = sys_days{date}.time_since_epoch() / seconds(1) + record.hour * 3600 +
                               record.minute * 60 + record.second;
    return local - TimeZoneOffset(record.timeZoneIndex).value_or(0);
}

std::vector<Finding> Audit(const CardFacts& facts, const AuditLimits& limits) {
    std::vector<Finding> findings;
    if (!facts.unreadable.empty()) {
        findings.push_back({"card-unreadable", Severity::High,
                            "The card could not be read: " + facts.unreadable +
                                ". Nothing else about it is known; check that it is on, "
                                "reachable and given its account (--accounts)."});
    }
    if (!facts.otherMacs.empty()) {
        findings.push_back({"address-shared", Severity::High,
                            "Another card (" + Joined(facts.otherMacs, ", ") +
                                ") answers for this address too: requests to it may reach "
                                "either. Give each card an address of its own."});
    }
    if (facts.factoryAccountAccepted.value_or(false)) {
        findings.push_back({"factory-account", Severity::High,
                            "The card still takes the factory account \"admin\" with its "
                            "factory password. Give the administrator a password of your own "
                            "on the card."});
    }
    if (facts.configuration) {
        AuditConfiguration(facts, limits, findings);
    }
    if (facts.users) {
        AuditUsers(*facts.users, findings);
    }
    for (const std::string& user : facts.factoryPassphraseUsers) {
        findings.push_back({"snmpv3-factory-passphrase", Severity::High,
                            "SNMPv3 user \"" + user +
                                "\" still answers with the factory passphrase. Give it "
                                "passwords of your own (snmpv3 set)."});
    }
    if (!facts.publicCommunityVersions.empty()) {
        findings.push_back({"snmp-public-community", Severity::High,
                            "The card's agent answers " +
                                Joined(facts.publicCommunityVersions, " and ") +
                                " with the community \"public\": anyone on the network reads "
                                "it. Set a community of your own on the card, or use SNMPv3 "
                                "only."});
    }
    if (facts.unreadable.empty() && !facts.factoryAccountAccepted && facts.configuration) {
        findings.push_back({"factory-account-unknown", Severity::Info,
                            "The card did not answer a request made with the factory account, "
                            "so whether it still takes it is not known."});
    }
    if (!limits.minVersion.empty() && !facts.card.version.empty() &&
        ReadVersion(facts.card.version) < ReadVersion(limits.minVersion)) {
        findings.push_back({"firmware-old", Severity::Medium,
                            "The firmware is version " + facts.card.version + ", older than " +
                                limits.minVersion + ". Upgrade it (parvolink-cli upgrade)."});
    }
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.severity > b.severity; });
    return findings;
}

}  // namespace parvolink::fleet
