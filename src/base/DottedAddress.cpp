#include "base/DottedAddress.h"

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

}  // namespace parvolink
