// SPDX-License-Identifier: GPL-3.0-or-later
#include "CardSimulator.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <tuple>

#include "core/protocol/DatagramCodec.h"
#include "core/protocol/Messages.h"

namespace parvolink::cardsim {
namespace {

std::vector<std::string> Split(std::string_view line) {
    std::vector<std::string> fields;
    FieldReader reader(line);
    while (const auto field = reader.Next()) {
        fields.emplace_back(*field);
    }
    return fields;
}

std::string ReplyLine(std::string_view command, const std::vector<std::string>& fields) {
    std::string line;
    AppendField(line, wire::kReplyTag);
    AppendField(line, command);
    for (const std::string& field : fields) {
        AppendField(line, field);
    }
    return line;
}

std::vector<std::string> FactoryConfiguration(const Card& card, int n, bool withUserLimitation) {
    std::vector<std::string> c = {
        "ops@example.net",
        "CARD-" + std::to_string(n + 1),
        "Rack " + std::to_string(n + 1),
        FormatDottedAddress(card.address),
        "255.255.255.0",
        "198.51.100.1",
        "198.51.100.1",
        "0",
        "1",
        "0",
        "80",
        "23",
        "0",
        "13",
        "198.51.100.1",
        "",
        "26",
        "12",
        "10",
        "8",
        "30",
        "0",
    };
    if (withUserLimitation) {
        c.push_back("21");
    }
    return c;
}

// Each card's engine identifier is its own: eight characters, the most the program keeps.
std::string EngineId(const Ipv4Address& address) {
    char id[9];
    std::snprintf(id, sizeof id, "PL%02X%02X%02X", address[1], address[2], address[3]);
    return id;
}

std::vector<std::string> FactoryUserTable(const Ipv4Address& address) {
    return {EngineId(address), "9", "0", "admin", "monitor", "", "", "", "", "", "", "public"};
}

}  // namespace

Card MakeCard(const Ipv4Address& address, int n, bool withUserLimitation) {
    Card card;
    card.number = n;
    card.address = address;
    char mac[18];
    std::snprintf(mac, sizeof mac, "00:C0:B7:%02X:%02X:%02X", address[1], address[2], address[3]);
    card.macAddress = mac;
    card.hostName = "card-" + std::to_string(n + 1);
    card.flashCode = std::string(1, n % 2 == 0 ? '1' : '0');  // every other card has 256 KiB
    card.configuration = FactoryConfiguration(card, n, withUserLimitation);
    card.userTable = FactoryUserTable(address);
    return card;
}

namespace {

// A Discover's answer: the card's, and its twin's when another card shares its address.
std::vector<std::string> AnswerDiscover(const Card& card) {
    const std::string command(wire::kDiscover);
    std::vector<std::string> replies = {
        ReplyLine(command, {FormatDottedAddress(card.address), card.macAddress, card.version,
                            card.model, card.hostName, card.flashCode})};
    if (!card.twinMac.empty()) {
        replies.push_back(ReplyLine(command, {FormatDottedAddress(card.address), card.twinMac,
                                              card.version, card.model, "twin", card.flashCode}));
    }
    return replies;
}

// The date and time fields: year - 2000, month, day, hour, minute, second.
constexpr std::size_t kClockField = 16;

std::int64_t MachineClock() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The configuration as the card reports it: a running clock shows its time now.
std::vector<std::string> WithClock(const Card& card) {
    std::vector<std::string> fields = card.configuration;
    if (!card.clockAhead || fields.size() < kClockField + 6) {
        return fields;
    }
    const std::time_t now = static_cast<std::time_t>(MachineClock() + *card.clockAhead);
    std::tm local{};
    gmtime_r(&now, &local);
    const int values[] = {local.tm_year - 100, local.tm_mon + 1, local.tm_mday,
                          local.tm_hour,       local.tm_min,     local.tm_sec};
    for (std::size_t i = 0; i < 6; ++i) {
        fields[kClockField + i] = std::to_string(values[i]);
    }
    return fields;
}

// A running clock takes the date and time written as its time now.
void SetClock(Card& card) {
    if (!card.clockAhead) {
        return;
    }
    const auto field = [&card](std::size_t i) {
        return std::atoi(card.configuration[kClockField + i].c_str());
    };
    std::tm written{};
    written.tm_year = field(0) + 100;
    written.tm_mon = field(1) - 1;
    written.tm_mday = field(2);
    written.tm_hour = field(3);
    written.tm_min = field(4);
    written.tm_sec = field(5);
    card.clockAhead = static_cast<std::int64_t>(timegm(&written)) - MachineClock();
}

std::vector<std::string> AnswerSetConfigure(Card& card, const std::vector<std::string>& payload,
                                            const Faults& faults) {
    if (payload.size() < 22) {
        return {ReplyLine(wire::kError, {"1"})};
    }
    if (!faults.notOk) {
        card.configuration = payload;
        SetClock(card);
    }
    return {ReplyLine(std::string(wire::kSetConfigure),
                      {faults.notOk ? "FAIL" : std::string(wire::kOk)})};
}

// One user (rows 0 to 7) with its level, or the context name (row 8).
std::vector<std::string> AnswerSetSnmpv3(Card& card, std::string_view request,
                                         const Faults& faults) {
    const std::string command(wire::kSetSnmpv3);
    const std::string status = faults.notOk ? "FAIL" : std::string(wire::kOk);
    // Read field by field: the key bytes after the level may hold TABs themselves.
    FieldReader reader(request);
    for (int i = 0; i < 6; ++i) {
        reader.Next();
    }
    const auto index = reader.Next();
    const auto name = reader.Next();
    const auto level = reader.Next();
    if (!index || !name || !level) {
        return {ReplyLine(wire::kError, {"1"})};
    }
    const int row = std::atoi(std::string(*index).c_str());
    if (row == 8) {
        card.userTable[11] = std::string(*name);
    } else if (row >= 0 && row < 8 && reader.Rest().size() == 34 && faults.forgetsUsers) {
        // Says it took the user, and did not.
    } else if (row >= 0 && row < 8 && reader.Rest().size() == 34 && !faults.notOk) {
        const std::string_view keys = reader.Rest();
        card.authKeys[static_cast<std::size_t>(row)] = std::string(keys.substr(0, 16));
        card.privKeys[static_cast<std::size_t>(row)] = std::string(keys.substr(17, 16));
        int levels =
            std::atoi(card.userTable[1].c_str()) + 256 * std::atoi(card.userTable[2].c_str());
        const int code = std::atoi(std::string(*level).c_str()) & 3;
        levels = (levels & ~(3 << (2 * row))) | (code << (2 * row));
        card.userTable[1] = std::to_string(levels & 0xFF);
        card.userTable[2] = std::to_string(levels >> 8);
        card.userTable[3 + static_cast<std::size_t>(row)] = std::string(*name);
    } else if (!faults.notOk) {
        return {ReplyLine(wire::kError, {"1"})};
    }
    return {ReplyLine(command, {status})};
}

// A request the card took (its account and password right): what it reads, writes or resets.
std::vector<std::string> AnswerAdmitted(Card& card, const std::string& command,
                                        std::string_view request,
                                        const std::vector<std::string>& payload,
                                        const Faults& faults) {
    if (command == wire::kConfigure) {
        return {ReplyLine(command, WithClock(card))};
    }
    if (faults.ignoreWrites && (command == wire::kSetConfigure || command == wire::kSetSnmpv3)) {
        return {};
    }
    if (command == wire::kSetConfigure) {
        return AnswerSetConfigure(card, payload, faults);
    }
    if (command == wire::kReset) {
        card.configuration =
            FactoryConfiguration(card, card.number, card.configuration.size() > 22);
        return {};
    }
    if (command == wire::kSnmpv3) {
        return {ReplyLine(command, card.userTable)};
    }
    if (command == wire::kSetSnmpv3) {
        return AnswerSetSnmpv3(card, request, faults);
    }
    if (command == wire::kResetSnmpv3) {
        card.userTable = FactoryUserTable(card.address);
        card.authKeys = {};
        card.privKeys = {};
        return {};
    }
    return {ReplyLine(wire::kError, {"1"})};
}

std::vector<std::string> Replies(Card& card, std::string_view request, bool broadcast,
                                 const Faults& faults, Answered& effects) {
    if (faults.silent) {
        return {};
    }
    const std::vector<std::string> f = Split(request);
    if (f.size() < 2 || f[0] != wire::kRequestTag) {
        return {};
    }
    const std::string& command = f[1];
    if (faults.malformed) {
        return {"QorinWebConfig\t" + command, "qorinwebconfig\t" + command + "\tOK\t",
                std::string("QorinWebConfig\0\tDiscover\t", 25)};
    }
    if (command == wire::kDiscover) {
        return broadcast && faults.unicastOnly ? std::vector<std::string>{} : AnswerDiscover(card);
    }
    const bool upgrade = command == wire::kUpgrade;
    const std::size_t identityFields = upgrade ? 2 : 4;
    if (f.size() < 2 + identityFields) {
        return {ReplyLine(wire::kError, {"1"})};
    }
    if (broadcast && !upgrade) {
        // Only the card the request names takes a broadcast copy.
        Ipv4Address named{};
        if (!ParseDottedAddress(f[2], named) || (named != card.address && named != card.knownAs)) {
            return {};
        }
    }
    if (faults.error1) {
        return {ReplyLine(wire::kError, {"1"})};
    }
    const std::string& account = upgrade ? f[2] : f[4];
    const std::string& password = upgrade ? f[3] : f[5];
    if (account != card.account || password != card.password) {
        return {ReplyLine(wire::kError, {"2"})};
    }
    if (upgrade) {
        effects.fetchesFirmware = !faults.notOk;
        return {ReplyLine(command, {faults.notOk ? "FAIL" : std::string(wire::kOk)})};
    }
    return AnswerAdmitted(card, command, request, std::vector<std::string>(f.begin() + 6, f.end()),
                          faults);
}

}  // namespace

Answered Answer(Card& card, std::string_view request, bool broadcast, const Faults& faults) {
    const auto users = [&card] { return std::tie(card.userTable, card.authKeys, card.privKeys); };
    const auto before = std::make_tuple(card.userTable, card.authKeys, card.privKeys);
    Answered answered;
    answered.replies = Replies(card, request, broadcast, faults, answered);
    answered.usersChanged = users() != before;
    return answered;
}

}  // namespace parvolink::cardsim
