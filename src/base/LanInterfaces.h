// SPDX-License-Identifier: GPL-3.0-or-later
// The LAN box: the PC's IPv4 interfaces as zero-padded texts, and the subnet each one gives.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/DottedAddress.h"

namespace parvolink {

struct InterfaceRow {
    Ipv4Address address{};
    Ipv4Address mask{};
};

struct LanChoice {
    std::string text;     // "%03d.%03d.%03d.%03d"
    std::size_t row = 0;  // index into the interface table
};

struct SubnetFields {
    Ipv4Address subnet{};
    Ipv4Address mask{};
};

// The rows to list, in table order, without 0.0.0.0 and 127.0.0.1.
std::vector<LanChoice> LanBoxEntries(const std::vector<InterfaceRow>& table);

// Subnet = address AND mask, octet by octet; Subnet Mask = mask.
SubnetFields InterfaceSubnet(const InterfaceRow& row);

// The first listed row whose text equals the LAN box's selected text.
std::optional<std::size_t> RowForLanText(const std::vector<InterfaceRow>& table,
                                         std::string_view text);

// The PC's own address from what its host name resolves to: the first address that is not
// loopback. Debian maps the host name to 127.0.1.1, which tells nothing of the LAN, so the
// first usable interface address stands in then. 0.0.0.0 when the name did
// not resolve at all.
Ipv4Address ChooseHostAddress(const std::vector<Ipv4Address>& resolved,
                              const std::vector<InterfaceRow>& table);

}  // namespace parvolink
