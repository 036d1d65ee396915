// SPDX-License-Identifier: GPL-3.0-or-later
// How the card simulator writes a request's bytes into its log, one request a line: a TAB as
// \t, any other byte outside 0x20..0x7E as \xNN. Tests read the log with the same rule.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace parvolink::cardsim {

inline std::string LogEscape(std::string_view bytes) {
    std::string out;
    for (const unsigned char c : bytes) {
        if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c >= 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace parvolink::cardsim
