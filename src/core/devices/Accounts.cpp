// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/devices/Accounts.h"

#include <cctype>

#include "base/ContentLines.h"
#include "core/devices/DeviceList.h"

namespace parvolink {
namespace {

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

// The next field of line from position at, and at moved past it and the blanks after it.
std::string_view Field(std::string_view line, std::size_t& at) {
    const std::size_t begin = at;
    while (at < line.size() && !Blank(line[at])) {
        ++at;
    }
    const std::string_view field = line.substr(begin, at - begin);
    while (at < line.size() && Blank(line[at])) {
        ++at;
    }
    return field;
}

// Twelve upper-case hex digits of a MAC address written with ':', '-' or nothing between its
// bytes; empty when text is not one.
std::string MacDigits(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c)) != 0) {
            digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        } else if (c != ':' && c != '-') {
            return {};
        }
    }
    return digits.size() == 12 ? digits : std::string();
}

}  // namespace

std::optional<Accounts> Accounts::Parse(std::string_view text, std::string& error) {
    Accounts accounts;
    for (const ContentLine& content : ContentLines(text)) {
        const std::string_view line = content.text;
        std::size_t at = 0;
        const std::string where = "line " + std::to_string(content.number) + ": ";
        const std::string_view card = Field(line, at);
        const std::string_view account = Field(line, at);
        Line entry;
        entry.account = {std::string(account), std::string(line.substr(at))};
        if (card != "*") {
            entry.address = ParseStrictAddress(card);
            entry.mac = entry.address ? std::string() : MacDigits(card);
            if (!entry.address && entry.mac.empty()) {
                error = where + "\"" + std::string(card) +
                        "\" is not a card's address, a MAC address or *";
                return std::nullopt;
            }
        }
        if (account.empty() || entry.account.password.empty()) {
            error = where + "give CARD ACCOUNT PASSWORD";
            return std::nullopt;
        }
        if (account.size() > devices::kAccountLength) {
            error = where + "the account has more than " + std::to_string(devices::kAccountLength) +
                    " characters";
            return std::nullopt;
        }
        if (entry.account.password.size() > devices::kPasswordLength) {
            error = where + "the password has more than " +
                    std::to_string(devices::kPasswordLength) +
                    " characters, more than a card keeps";
            return std::nullopt;
        }
        accounts.lines_.push_back(std::move(entry));
    }
    return accounts;
}

std::optional<CardAccount> Accounts::For(const Ipv4Address& address, std::string_view mac) const {
    const std::string digits = MacDigits(mac);
    for (const Line& line : lines_) {
        const bool any = !line.address && line.mac.empty();
        if (any || line.address == address || (!line.mac.empty() && line.mac == digits)) {
            return line.account;
        }
    }
    return std::nullopt;
}

}  // namespace parvolink
