// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/config/UsmConfiguration.h"

#include "base/TextNumbers.h"
#include "core/protocol/Messages.h"

namespace parvolink {
namespace {

std::string Cut(std::string_view text) {
    return std::string(text.substr(0, usm::kTextLength));
}

Message Refusal(std::string text) {
    return {std::move(text), "Warning", MessageIcon::Warning};
}

}  // namespace

bool ParseSnmpv3Reply(std::string_view payload, UsmConfiguration& usm) {
    FieldReader reader(payload);
    std::array<std::string_view, usm::kReplyFields> f;
    for (std::string_view& field : f) {
        const auto next = reader.Next();
        if (!next) {
            return false;
        }
        field = *next;
    }
    usm.engineId = Cut(f[0]);
    const std::int64_t levels = ParseLeadingInteger(f[1]) + 256 * ParseLeadingInteger(f[2]);
    usm.securityLevels = SaturateToInt32(levels);
    for (int i = 0; i < usm::kUsers; ++i) {
        usm.userNames[static_cast<std::size_t>(i)] = Cut(f[3 + static_cast<std::size_t>(i)]);
    }
    if (const auto context = reader.Next()) {
        usm.contextName = Cut(*context);
    }
    return true;
}

int LevelOf(std::int32_t securityLevels, int row) {
    return (securityLevels >> (2 * row)) & 3;
}

std::string LevelName(int code) {
    if (code >= 0 && static_cast<std::size_t>(code) < usm::kLevelNames.size()) {
        return std::string(usm::kLevelNames[static_cast<std::size_t>(code)]);
    }
    std::string unnamed = "(";
    unnamed += std::to_string(code);
    unnamed += ')';
    return unnamed;
}

UsmRowText RowText(const UsmConfiguration& usm, int row) {
    const int code = LevelOf(usm.securityLevels, row);
    return {usm.userNames[static_cast<std::size_t>(row)], LevelName(code),
            code >= AuthNoPriv ? std::string(usm::kHiddenPassword) : "",
            code >= AuthPriv ? std::string(usm::kHiddenPassword) : ""};
}

std::optional<Message> SubmitKey(UsmConfiguration& usm, int index, std::string_view name, int level,
                                 std::string_view authPassword, std::string_view privPassword) {
    if (index < 0 || index >= usm::kUsers) {
        return Refusal("Please select the Index of the user.");
    }
    name = name.substr(0, usm::kTextLength);
    if (name.empty()) {
        return Refusal("Please fill in the User Name.");
    }
    if (level < NoAuthNoPriv || level > AuthPriv) {
        return Refusal("Please select a Security Level.");
    }
    authPassword = authPassword.substr(0, usm::kPasswordLength);
    privPassword = privPassword.substr(0, usm::kPasswordLength);
    const Message kShortAuth{"The length of Auth Password of should >=8 bytes.", "Error",
                             MessageIcon::Warning};
    const Message kShortPriv{"The length of Priv Password of should >=8 bytes.", "Error",
                             MessageIcon::Warning};
    if (level >= AuthNoPriv && authPassword.size() < usm::kShortestPassword) {
        return kShortAuth;
    }
    if (level >= AuthPriv && privPassword.size() < usm::kShortestPassword) {
        return kShortPriv;
    }
    usm.submitIndex = index;
    usm.submitLevel = level;
    usm.userNames[static_cast<std::size_t>(index)] = std::string(name);
    const auto bytes = [](std::string_view s) {
        return std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    };
    const auto engine = bytes(usm.engineId);
    usm.authKey.fill(0);
    usm.privKey.fill(0);
    if (level >= AuthNoPriv) {
        LocalizeKey(usm.authKey, bytes(authPassword), engine);
    }
    if (level >= AuthPriv) {
        LocalizeKey(usm.privKey, bytes(privPassword), engine);
    }
    return std::nullopt;
}

std::string SetSnmpv3UserPayload(const UsmConfiguration& usm) {
    std::string line;
    AppendField(line, std::to_string(usm.submitIndex));
    AppendTextField(line, usm.userNames.at(static_cast<std::size_t>(usm.submitIndex)));
    AppendField(line, std::to_string(usm.submitLevel));
    for (const UsmConfiguration::Key* key : {&usm.authKey, &usm.privKey}) {
        line.append(key->begin(), key->end());
        line.push_back(wire::kFieldEnd);
    }
    return line;
}

std::string SetSnmpv3ContextPayload(const UsmConfiguration& usm) {
    std::string line;
    AppendField(line, std::to_string(usm::kContextRow));
    AppendTextField(line, usm.contextName);
    AppendField(line, "0");
    return line;
}

}  // namespace parvolink
