// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/DottedAddress.h"

#include <algorithm>
#include <cstdio>

#include "base/TextNumbers.h"

namespace parvolink {

std::string FormatPaddedAddress(const Ipv4Address& address) {
    char text[16];
    std::snprintf(text, sizeof text, "%03u.%03u.%03u.%03u", address[0], address[1], address[2],
                  address[3]);
    return text;
}

Ipv4Address ParseRowAddress(std::string_view text) {
    text = text.substr(0, 15);
    Ipv4Address address{};
    for (std::size_t part = 0; part < address.size() && !text.empty(); ++part) {
        const std::size_t dot = text.find('.');
        address[part] = static_cast<std::uint8_t>(ParseLeadingInteger(text.substr(0, dot)) & 0xFF);
        text = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    }
    return address;
}

bool ParseDottedAddress(std::string_view text, Ipv4Address& address) {
    for (std::size_t part = 0; part < address.size(); ++part) {
        const std::size_t dot = text.find('.');
        if (dot == std::string_view::npos && part < 3) {
            return false;
        }
        address[part] = static_cast<std::uint8_t>(ParseLeadingInteger(text.substr(0, dot)) & 0xFF);
        text = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    }
    return true;
}

std::string FormatDottedAddress(const Ipv4Address& address) {
    return std::to_string(address[0]) + '.' + std::to_string(address[1]) + '.' +
           std::to_string(address[2]) + '.' + std::to_string(address[3]);
}

std::optional<Ipv4Address> ParseStrictAddress(std::string_view text) {
    Ipv4Address address{};
    for (std::size_t i = 0; i < address.size(); ++i) {
        const std::size_t end = i < 3 ? text.find('.') : text.size();
        if (end == std::string_view::npos || end == 0 || end > 3) {
            return std::nullopt;
        }
        unsigned value = 0;
        for (const char c : text.substr(0, end)) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (value > 255) {
            return std::nullopt;
        }
        address[i] = static_cast<std::uint8_t>(value);
        text.remove_prefix(i < 3 ? end + 1 : end);
    }
    return address;
}

std::optional<Ipv4Network> ParseNetwork(std::string_view text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    const auto address = ParseStrictAddress(text.substr(0, slash));
    const std::string_view prefix = text.substr(slash + 1);
    if (!address || prefix.empty() || prefix.size() > 2 ||
        prefix.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const int bits = std::stoi(std::string(prefix));
    if (bits > 32) {
        return std::nullopt;
    }
    Ipv4Network network;
    for (std::size_t i = 0; i < 4; ++i) {
        const int own = std::clamp(bits - static_cast<int>(i) * 8, 0, 8);
        network.mask[i] = static_cast<std::uint8_t>(0xFF00 >> own);
        network.subnet[i] = (*address)[i] & network.mask[i];
    }
    return network;
}

}  // namespace parvolink
