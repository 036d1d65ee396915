// SPDX-License-Identifier: GPL-3.0-or-later
// A fleet's accounts: which administrator account and password each card takes, from a file
// of lines "CARD ACCOUNT PASSWORD", CARD being a card's address, its MAC address or "*" for any
// card. The first line that matches a card is its account. Blank lines and lines beginning
// with '#' are skipped; the password is the rest of the line after the account, so it may hold
// spaces.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/DottedAddress.h"

namespace parvolink {

struct CardAccount {
    std::string account;
    std::string password;
};

class Accounts {
public:
    // The file's lines; nothing, with error naming the line (never its password), when one is
    // not a card's line.
    static std::optional<Accounts> Parse(std::string_view text, std::string& error);

    // The account of the first line naming the card by its address or its MAC address (in any
    // case, with ':', '-' or no separators), or "*".
    std::optional<CardAccount> For(const Ipv4Address& address, std::string_view mac) const;
    std::size_t size() const { return lines_.size(); }

private:
    struct Line {
        std::optional<Ipv4Address> address;
        std::string mac;  // twelve upper-case hex digits; empty with an address or "*"
        CardAccount account;
    };
    std::vector<Line> lines_;
};

}  // namespace parvolink
