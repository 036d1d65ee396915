// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/protocol/Exchange.h"

#include <array>

#include "core/protocol/DatagramCodec.h"

namespace parvolink {
namespace {

using Road = StepRules::Road;

struct Named {
    Step step;
    std::string_view command;
    StepRules rules;
};

const std::array<Named, 8> kExchanges = {{
    {Step::Identify,
     wire::kDiscover,
     {Road::CardAddressOnly, ReplyCommand::Discover, exchange::kDiscoverTicks,
      &exchange::kNoResponse, false}},
    {Step::Configure,
     wire::kConfigure,
     {Road::CardAndBroadcast, ReplyCommand::Configure, exchange::kConfigureTicks,
      &exchange::kNoResponse, false}},
    {Step::SetConfigure,
     wire::kSetConfigure,
     {Road::Card, ReplyCommand::SetConfigure, exchange::kSetConfigureTicks, &exchange::kNoResponse,
      true}},
    {Step::Reset, wire::kReset, {Road::Card, std::nullopt, 0, nullptr, true}},
    {Step::Snmpv3,
     wire::kSnmpv3,
     {Road::CardAndBroadcast, ReplyCommand::Snmpv3, exchange::kSnmpv3Ticks, &exchange::kNoResponse,
      false}},
    {Step::SetSnmpv3,
     wire::kSetSnmpv3,
     {Road::Card, ReplyCommand::SetSnmpv3, exchange::kSetSnmpv3Ticks, &exchange::kNoResponse,
      true}},
    {Step::ResetSnmpv3, wire::kResetSnmpv3, {Road::Card, std::nullopt, 0, nullptr, true}},
    {Step::Upgrade,
     wire::kUpgrade,
     {Road::CardAddressOnly, ReplyCommand::Upgrade, exchange::kUpgradeTicks,
      &exchange::kUpgradeNoResponse, true}},
}};

const Named& Find(Step step) {
    for (const Named& named : kExchanges) {
        if (named.step == step) {
            return named;
        }
    }
    return kExchanges.front();  // every step is in the table
}

std::string Line(Step step, const DeviceEntry& card, std::string_view payload) {
    switch (step) {
        case Step::Identify:
            return DiscoverLine();
        case Step::Upgrade:
            return UpgradeLine(card);
        default:
            return IdentityLine(Find(step).command, card) + std::string(payload);
    }
}

// Whether a status reply took the request; its message when it did.
std::optional<Message> Success(Step step) {
    switch (step) {
        case Step::SetConfigure:
            return exchange::kUpdateSuccessfully;
        case Step::SetSnmpv3:
            return exchange::kUsmUpdateSuccessfully;
        default:
            return std::nullopt;
    }
}

}  // namespace

const StepRules& RulesOf(Step step) {
    return Find(step).rules;
}

std::vector<Outgoing> Requests(Step step, const DeviceEntry& card, std::string_view payload,
                               const Ipv4Address& hostAddress) {
    Ipv4Address address{};
    if (!ParseDottedAddress(card.ipAddress, address)) {
        return {};
    }
    const std::string wire = DatagramCodec::EncodeText(Line(step, card, payload));
    switch (RulesOf(step).road) {
        case Road::CardAddressOnly:
            return {{wire, FormatDottedAddress(address)}};
        case Road::Card:
            return {{wire, *deviceTarget(card.ipAddress, hostAddress)}};
        case Road::CardAndBroadcast:
            return {{wire, *deviceTarget(card.ipAddress, hostAddress)},
                    {wire, std::string(wire::kBroadcast)}};
    }
    return {};
}

ReplyMeaning InterpretError(std::string_view payload) {
    const std::optional<std::string_view> code = FirstField(payload);
    if (!code || code->empty()) {
        return {};
    }
    if (code->front() == '1') {
        return {ReplyMeaning::Kind::PacketMismatch, "", exchange::kPacketMismatch};
    }
    if (code->front() == '2') {
        return {ReplyMeaning::Kind::AccountMismatch, "", exchange::kAccountMismatch};
    }
    return {};
}

ReplyMeaning Interpret(Step step, const Reply& reply) {
    if (reply.command == ReplyCommand::Error) {
        return InterpretError(reply.payload);
    }
    const StepRules& rules = RulesOf(step);
    const std::optional<std::string_view> first = FirstField(reply.payload);
    if (reply.command != rules.awaited || !first) {
        return {};
    }
    switch (reply.command) {
        case ReplyCommand::SetConfigure:
        case ReplyCommand::SetSnmpv3:
        case ReplyCommand::Upgrade:
            if (*first != wire::kOk) {
                return {ReplyMeaning::Kind::NotOk, std::string(*first),
                        Message{"The card did not take the request: it answered \"" +
                                    std::string(*first) + "\".",
                                "Warning", MessageIcon::Warning}};
            }
            return {ReplyMeaning::Kind::Answered, reply.payload, Success(step)};
        default:
            return {ReplyMeaning::Kind::Answered, reply.payload, std::nullopt};
    }
}

}  // namespace parvolink
