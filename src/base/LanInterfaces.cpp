// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/LanInterfaces.h"

namespace parvolink {

std::vector<LanChoice> LanBoxEntries(const std::vector<InterfaceRow>& table) {
    constexpr Ipv4Address kAny{0, 0, 0, 0};
    constexpr Ipv4Address kLoopback{127, 0, 0, 1};
    std::vector<LanChoice> entries;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].address != kAny && table[i].address != kLoopback) {
            entries.push_back({FormatPaddedAddress(table[i].address), i});
        }
    }
    return entries;
}

SubnetFields InterfaceSubnet(const InterfaceRow& row) {
    SubnetFields fields{{}, row.mask};
    for (std::size_t i = 0; i < fields.subnet.size(); ++i) {
        fields.subnet[i] = static_cast<std::uint8_t>(row.address[i] & row.mask[i]);
    }
    return fields;
}

std::optional<std::size_t> RowForLanText(const std::vector<InterfaceRow>& table,
                                         std::string_view text) {
    for (const LanChoice& choice : LanBoxEntries(table)) {
        if (choice.text == text) {
            return choice.row;
        }
    }
    return std::nullopt;
}

Ipv4Address ChooseHostAddress(const std::vector<Ipv4Address>& resolved,
                              const std::vector<InterfaceRow>& table) {
    for (const Ipv4Address& address : resolved) {
        if (address[0] != 127) {
            return address;
        }
    }
    if (resolved.empty()) {
        return {};
    }
    const std::vector<LanChoice> usable = LanBoxEntries(table);
    for (const LanChoice& choice : usable) {
        if (table[choice.row].address[0] != 127) {
            return table[choice.row].address;
        }
    }
    return resolved.front();
}

}  // namespace parvolink
