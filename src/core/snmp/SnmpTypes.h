// SPDX-License-Identifier: GPL-3.0-or-later
// What an SNMP request to a card is made of and what came of it, in plain types: the
// credentials, the object identifiers asked for, the values answered, and the outcome named as
// an administrator reads it (the USM's reasons of RFC 3414 among them).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Message.h"

namespace parvolink::snmp {

using Oid = std::vector<std::uint32_t>;

// "1.3.6.1.2.1.1.2.0" and ".1.3..." alike; nothing for text that is not one.
std::optional<Oid> ParseOid(std::string_view text);
std::string FormatOid(const Oid& oid);

struct Credentials {
    enum class Version { V1, V2c, V3 };
    Version version = Version::V3;
    std::string community;  // V1, V2c
    std::string user;       // V3
    int level = 0;          // V3: 0 noAuthNoPriv, 1 authNoPriv, 2 authPriv (MD5 and DES)
    std::string authPassword;
    std::string privPassword;
};

enum class Outcome {
    Answered,          // a response came, with or without an error status
    UnknownUser,       // usmStatsUnknownUserNames
    WrongDigest,       // usmStatsWrongDigests: the authentication password is wrong
    WrongPrivacy,      // silence at authPriv while authNoPriv is answered: the privacy password
    NotInTimeWindow,   // usmStatsNotInTimeWindows
    UnknownEngine,     // usmStatsUnknownEngineIDs
    UnsupportedLevel,  // usmStatsUnsupportedSecLevels: the user has no such level
    DecryptionError,   // usmStatsDecryptionErrors
    OtherReport,       // a report of another kind
    NoResponse,
    LocalFault,   // this PC could not ask (no socket, say)
    Interrupted,  // the run was stopped before it was answered
};

// The outcome as a short phrase: "unknown user", "wrong digest (wrong authentication
// password)", and so on.
std::string_view OutcomeText(Outcome outcome);

// The outcome a report's first variable names; OtherReport for one not of the USM.
Outcome OutcomeOfReport(const Oid& reported);

struct Value {
    Oid oid;
    bool present = false;  // false: noSuchObject, noSuchInstance or endOfMibView
    std::optional<std::int64_t> number;
    std::string text;        // octet strings, and object identifiers as dotted text
    bool otherType = false;  // present, of a type no reading takes (Counter64, IpAddress...)
};

struct Answer {
    Outcome outcome = Outcome::NoResponse;
    bool agentFound = false;  // an agent answered something: the discovery, a report, a reply
    std::string errorStatus;  // Answered with an error: its name ("authorizationError")
    std::vector<Value> values;
};

// The window's one message when a user it wrote does not verify over SNMP.
Message UserNotVerified(std::string_view user, std::string_view address, Outcome outcome);

}  // namespace parvolink::snmp
