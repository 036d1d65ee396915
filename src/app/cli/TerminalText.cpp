// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/TerminalText.h"

#include <cstdio>

namespace parvolink::cli {
namespace {

void AppendUtf8(std::string& out, unsigned char c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string Utf8FromLatin1(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        AppendUtf8(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::string ForTerminal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char byte : text) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

}  // namespace parvolink::cli
