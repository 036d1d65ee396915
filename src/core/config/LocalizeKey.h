// SPDX-License-Identifier: GPL-3.0-or-later
// SNMPv3 key derivation: RFC 3414 password-to-key (A.2.1) and key localization, with MD5.
#pragma once

#include <cstdint>
#include <span>

namespace parvolink {

constexpr std::size_t kLocalizedKeySize = 16;

// Writes Kul = MD5(Ku || engineId || Ku) into key, where Ku is the MD5 of the password repeated
// end to end over 1 MiB. The engine identifier's bytes are used as they are.
// Returns false, with key zeroed, for an empty password: no key can be derived from it.
bool LocalizeKey(std::span<std::uint8_t, kLocalizedKeySize> key,
                 std::span<const std::uint8_t> password, std::span<const std::uint8_t> engineId);

}  // namespace parvolink
