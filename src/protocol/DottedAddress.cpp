#include "protocol/DottedAddress.h"

#include <cstdio>

#include "protocol/TextNumbers.h"

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

}  // namespace parvolink
