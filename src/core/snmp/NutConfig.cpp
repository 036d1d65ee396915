// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/snmp/NutConfig.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <set>
#include <sstream>

namespace parvolink::snmp {
namespace {

constexpr std::array<const char*, 3> kLevels = {"noAuthNoPriv", "authNoPriv", "authPriv"};

// A value in double quotes, as NUT's configuration parser reads them back.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += (c == '\n' || c == '\r') ? ' ' : c;
    }
    return quoted + "\"";
}

// The section's name: the card's host name in the letters NUT takes, or one made of its
// address; never one an earlier card took.
std::string SectionName(const NutCard& card, std::set<std::string>& taken) {
    std::string name;
    for (const char c : card.hostName) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_') {
            name += c;
        }
    }
    if (name.empty() || name != card.hostName) {
        name = "ups-" + card.address;
        std::replace(name.begin(), name.end(), '.', '-');
    }
    std::string unique = name;
    for (int n = 2; taken.count(unique) != 0; ++n) {
        unique = name + "-" + std::to_string(n);
    }
    taken.insert(unique);
    return unique;
}

void Secret(std::ostream& out, const char* key, const std::string& value, bool include) {
    if (include) {
        out << "\t" << key << " = " << Quoted(value) << "\n";
    } else {
        out << "\t# " << key << " = (not printed; parvolink-cli nut-config --include-secrets)\n";
    }
}

}  // namespace

std::string NutSections(const std::vector<NutCard>& cards, const Credentials& credentials,
                        bool includeSecrets) {
    std::ostringstream out;
    std::set<std::string> taken;
    for (const NutCard& card : cards) {
        out << "[" << SectionName(card, taken) << "]\n"
            << "\tdriver = snmp-ups\n"
            << "\tport = " << card.address << "\n"
            << "\tdesc = " << Quoted(card.hostName + " " + card.mac) << "\n"
            << "\tmibs = ietf\n";
        if (credentials.version == Credentials::Version::V3) {
            const int level = std::clamp(credentials.level, 0, 2);
            out << "\tsnmp_version = v3\n"
                << "\tsecLevel = " << kLevels[static_cast<std::size_t>(level)] << "\n"
                << "\tsecName = " << Quoted(credentials.user) << "\n";
            if (level >= 1) {
                out << "\tauthProtocol = MD5\n";
                Secret(out, "authPassword", credentials.authPassword, includeSecrets);
            }
            if (level >= 2) {
                out << "\tprivProtocol = DES\n";
                Secret(out, "privPassword", credentials.privPassword, includeSecrets);
            }
        } else {
            out << "\tsnmp_version = "
                << (credentials.version == Credentials::Version::V1 ? "v1" : "v2c") << "\n";
            Secret(out, "community", credentials.community, includeSecrets);
        }
        out << "\n";
    }
    return out.str();
}

}  // namespace parvolink::snmp
