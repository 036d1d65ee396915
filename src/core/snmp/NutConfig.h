// SPDX-License-Identifier: GPL-3.0-or-later
// ups.conf sections for Network UPS Tools' snmp-ups driver, one per card, reading the card's
// UPS through the UPS MIB of RFC 1628 with the credentials given.
#pragma once

#include <string>
#include <vector>

#include "core/snmp/SnmpTypes.h"

namespace parvolink::snmp {

struct NutCard {
    std::string address;
    std::string hostName;  // UTF-8; names the section when it makes a name NUT takes
    std::string mac;
};

// The sections; passwords and communities are written only with includeSecrets, otherwise a
// comment says where they go.
std::string NutSections(const std::vector<NutCard>& cards, const Credentials& credentials,
                        bool includeSecrets);

}  // namespace parvolink::snmp
