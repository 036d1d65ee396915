// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/snmp/SnmpTypes.h"

#include <charconv>

namespace parvolink::snmp {

std::optional<Oid> ParseOid(std::string_view text) {
    if (!text.empty() && text.front() == '.') {
        text.remove_prefix(1);
    }
    Oid oid;
    while (!text.empty()) {
        std::uint32_t arc = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), arc);
        if (error != std::errc() || end == text.data()) {
            return std::nullopt;
        }
        oid.push_back(arc);
        text.remove_prefix(static_cast<std::size_t>(end - text.data()));
        if (!text.empty()) {
            if (text.front() != '.' || text.size() == 1) {
                return std::nullopt;
            }
            text.remove_prefix(1);
        }
    }
    if (oid.size() < 2) {
        return std::nullopt;
    }
    return oid;
}

std::string FormatOid(const Oid& oid) {
    std::string text;
    for (const std::uint32_t arc : oid) {
        text += (text.empty() ? "" : ".") + std::to_string(arc);
    }
    return text;
}

std::string_view OutcomeText(Outcome outcome) {
    switch (outcome) {
        case Outcome::Answered:
            return "answered";
        case Outcome::UnknownUser:
            return "unknown user";
        case Outcome::WrongDigest:
            return "wrong digest (wrong authentication password)";
        case Outcome::WrongPrivacy:
            return "wrong privacy password";
        case Outcome::NotInTimeWindow:
            return "not in time window";
        case Outcome::UnknownEngine:
            return "unknown engine ID";
        case Outcome::UnsupportedLevel:
            return "unsupported security level for this user";
        case Outcome::DecryptionError:
            return "decryption error (wrong privacy password)";
        case Outcome::OtherReport:
            return "the agent reported an error";
        case Outcome::NoResponse:
            return "no response";
        case Outcome::LocalFault:
            return "could not send the request";
        case Outcome::Interrupted:
            return "interrupted";
    }
    return "";
}

Outcome OutcomeOfReport(const Oid& reported) {
    // usmStats (RFC 3414): 1.3.6.1.6.3.15.1.1.N.0
    static const Oid kUsmStats = {1, 3, 6, 1, 6, 3, 15, 1, 1};
    if (reported.size() < kUsmStats.size() + 1 ||
        !std::equal(kUsmStats.begin(), kUsmStats.end(), reported.begin())) {
        return Outcome::OtherReport;
    }
    switch (reported[kUsmStats.size()]) {
        case 1:
            return Outcome::UnsupportedLevel;
        case 2:
            return Outcome::NotInTimeWindow;
        case 3:
            return Outcome::UnknownUser;
        case 4:
            return Outcome::UnknownEngine;
        case 5:
            return Outcome::WrongDigest;
        case 6:
            return Outcome::DecryptionError;
        default:
            return Outcome::OtherReport;
    }
}

Message UserNotVerified(std::string_view user, std::string_view address, Outcome outcome) {
    return {"The SNMPv3 user \"" + std::string(user) + "\" was written, but the SNMP agent at " +
                std::string(address) + " does not accept it: " + std::string(OutcomeText(outcome)) +
                ".",
            "Warning", MessageIcon::Warning};
}

}  // namespace parvolink::snmp
