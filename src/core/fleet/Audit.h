// SPDX-License-Identifier: GPL-3.0-or-later
// What an audit finds on a card from what was read of it: each finding with a stable id, a
// severity and a sentence a person can act on. Plain logic: what the card said over its own
// protocol and its agent over SNMP in, findings out; the PC's clock is passed in.
#pragma once

#include <cstdint>
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

// What an audit read of one card.
struct CardFacts {
    DeviceEntry card;  // as its Discover reply described it
    // Why the card could not be read over its protocol; empty when it was.
    std::string unreadable;
    std::optional<DeviceConfiguration> configuration;
    std::optional<UsmConfiguration> users;  // none for a card without SNMPv3
    // Whether the card takes the factory account; none when it did not say.
    std::optional<bool> factoryAccountAccepted;
    // The MAC addresses of other cards that answered for the same address.
    std::vector<std::string> otherMacs;
    // Over SNMP: the versions ("SNMPv1", "SNMPv2c") whose community "public" the agent answered,
    // and the users it answered with the factory passphrase.
    std::vector<std::string> publicCommunityVersions;
    std::vector<std::string> factoryPassphraseUsers;
};

struct AuditLimits {
    std::string minVersion;  // empty: any version passes
    // The most a card's clock may be off the PC's, in seconds; none: not checked.
    std::optional<std::int64_t> maxClockDrift;
    std::int64_t now = 0;  // the PC's clock, seconds since 1970 (UTC)
};

// Every finding on the card, the most severe first.
std::vector<Finding> Audit(const CardFacts& facts, const AuditLimits& limits);

// The card's clock as seconds since 1970 (UTC): its date and time are its time zone's; a card
// with no time zone set is taken to keep UTC. None for a date no calendar has.
std::optional<std::int64_t> CardClock(const DeviceConfiguration& record);
// The time zone's offset from UTC in seconds, from its name ("GMT-03:30 Newfoundland").
std::optional<std::int64_t> TimeZoneOffset(std::uint8_t timeZoneIndex);

}  // namespace parvolink::fleet
