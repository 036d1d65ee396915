// SPDX-License-Identifier: GPL-3.0-or-later
// IPv4 addresses as four bytes, first octet first, and their dotted texts.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parvolink {

using Ipv4Address = std::array<std::uint8_t, 4>;

// "%03d.%03d.%03d.%03d": the form the list and the LAN box show, e.g. "192.168.001.010".
std::string FormatPaddedAddress(const Ipv4Address& address);

// Splits text at '.' into four parts read as lenient decimals, keeping each part's low 8 bits;
// a missing part counts as 0. Only the first 15 characters are looked at, as the list's
// address column is read back. Never fails: it is how Modify reads a row's address.
Ipv4Address ParseRowAddress(std::string_view text);

// Splits text at dots into four parts read as lenient decimals, each stored as its low 8 bits
// into address as it goes. False when the text has fewer than three dots; the parts reached
// before that are stored, the others keep their previous values.
bool ParseDottedAddress(std::string_view text, Ipv4Address& address);

// "%d.%d.%d.%d".
std::string FormatDottedAddress(const Ipv4Address& address);

// Exactly four decimal numbers of one to three digits, each at most 255, joined by dots: what
// a user means by an address. Nothing for anything else ("10.1", "1.2.3.4 ", "300.1.2.3").
std::optional<Ipv4Address> ParseStrictAddress(std::string_view text);

// "A.B.C.D/P" with P from 0 to 32: the network (the address with its host bits cleared) and
// its mask; nothing for anything else.
struct Ipv4Network {
    Ipv4Address subnet{};
    Ipv4Address mask{};
};
std::optional<Ipv4Network> ParseNetwork(std::string_view text);

}  // namespace parvolink
