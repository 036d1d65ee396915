// SPDX-License-Identifier: GPL-3.0-or-later
// A card's SNMPv3 user table as the "SNMPv3" reply gives it, and the one change per opening of
// the user dialog that "SetSNMPv3" writes back: a user row with its localized keys, or the
// context name.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/Message.h"
#include "core/config/LocalizeKey.h"

namespace parvolink {

enum SecurityLevel { NoAuthNoPriv = 0, AuthNoPriv = 1, AuthPriv = 2 };

namespace usm {
constexpr int kUsers = 8;
constexpr std::size_t kTextLength = 8;       // engine identifier, user names, context name
constexpr std::size_t kPasswordLength = 16;  // what the password boxes accept
constexpr std::size_t kShortestPassword = 8;
constexpr int kContextRow = 8;            // the row number that marks the context form
constexpr std::size_t kReplyFields = 11;  // field 12, the context name, is optional
constexpr std::array<std::string_view, 3> kLevelNames = {"noAuth, noPriv", "Auth, noPriv",
                                                         "Auth, Priv"};
constexpr std::string_view kHiddenPassword = "********";
}  // namespace usm

struct UsmConfiguration {
    using Key = std::array<std::uint8_t, kLocalizedKeySize>;

    std::string engineId;
    std::int32_t securityLevels = 0;  // row i's level in bits 2i and 2i+1
    std::array<std::string, usm::kUsers> userNames;
    std::string contextName;
    std::int32_t submitIndex = 0;
    std::int32_t submitLevel = 0;
    Key authKey{};
    Key privKey{};
};

// Overwrites the table part from an "SNMPv3" payload: texts cut to 8 characters, the context
// name only when a TAB ends field 12. Fewer than 11 fields leave it as it was: false.
[[nodiscard]] bool ParseSnmpv3Reply(std::string_view payload, UsmConfiguration& usm);

// Level code (0 to 3) of a user row.
int LevelOf(std::int32_t securityLevels, int row);
// A level's name; a code without a name (3) shows as "(3)".
std::string LevelName(int code);

// What the table shows for a row.
struct UsmRowText {
    std::string name;
    std::string level;
    std::string auth;  // "********" when the level uses an authentication key
    std::string priv;  // "********" when it uses a privacy key too
};
UsmRowText RowText(const UsmConfiguration& usm, int row);

// Submit Key: checks the choice and the passwords the level needs, then records the row and
// derives its keys from the passwords and the engine identifier. Key bytes a level does not
// use are zero. Returns the message of the first check that fails; usm is then unchanged.
[[nodiscard]] std::optional<Message> SubmitKey(UsmConfiguration& usm, int index,
                                               std::string_view name, int level,
                                               std::string_view authPassword,
                                               std::string_view privPassword);

// The fields after the identity fields: index, name, level, then the two raw 16-byte keys,
// each followed by a TAB (the keys may hold any byte, TAB and NUL included).
std::string SetSnmpv3UserPayload(const UsmConfiguration& usm);
// The context form: row 8, the context name, level 0.
std::string SetSnmpv3ContextPayload(const UsmConfiguration& usm);

}  // namespace parvolink
