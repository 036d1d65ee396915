// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/protocol/CardOperation.h"

#include <algorithm>
#include <array>
#include <utility>

namespace parvolink {
namespace {

struct Sequence {
    Operation operation;
    std::array<Step, 3> steps;
    std::size_t count;
};

// Every operation begins by identifying the card; the rest is what it reads, then writes.
constexpr std::array<Sequence, 9> kSequences = {{
    {Operation::Identify, {Step::Identify}, 1},
    {Operation::ReadConfiguration, {Step::Identify, Step::Configure}, 2},
    {Operation::WriteConfiguration, {Step::Identify, Step::Configure, Step::SetConfigure}, 3},
    {Operation::ResetConfiguration, {Step::Identify, Step::Configure, Step::Reset}, 3},
    {Operation::ReadUsers, {Step::Identify, Step::Snmpv3}, 2},
    {Operation::WriteUsers, {Step::Identify, Step::Snmpv3, Step::SetSnmpv3}, 3},
    {Operation::ResetUsers, {Step::Identify, Step::Snmpv3, Step::ResetSnmpv3}, 3},
    {Operation::Upgrade, {Step::Identify, Step::Upgrade}, 2},
    {Operation::Audit, {Step::Identify, Step::Configure, Step::Snmpv3}, 3},
}};

}  // namespace

std::span<const Step> StepsOf(Operation operation) {
    for (const Sequence& sequence : kSequences) {
        if (sequence.operation == operation) {
            return {sequence.steps.data(), sequence.count};
        }
    }
    return {};
}

CardOperation::CardOperation(Operation operation, DeviceEntry card, const OperationPolicy& policy,
                             const Ipv4Address& hostAddress)
    : operation_(operation),
      card_(std::move(card)),
      askedAt_(card_.ipAddress),
      policy_(policy),
      hostAddress_(hostAddress) {}

std::optional<Step> CardOperation::NextStep() const {
    const std::span<const Step> steps = StepsOf(operation_);
    auto next = steps.begin();
    if (step_) {
        // After the step sent last; a step the operation does not have (the dialog turned from
        // the configuration to the users) leaves the operation's own first one next.
        const auto at = std::find(steps.begin(), steps.end(), *step_);
        next = at == steps.end() ? steps.begin() + 1 : at + 1;
    } else if (!policy_.identifiesFirst) {
        ++next;
    }
    return next < steps.end() ? std::optional<Step>(*next) : std::nullopt;
}

std::vector<Outgoing> CardOperation::Begin(Step step, std::string_view payload) {
    step_ = step;
    const StepRules& rules = RulesOf(step);
    awaiting_ = rules.awaited.has_value();
    countdown_ = rules.ticks;
    if (step == Step::Identify) {
        DeviceEntry asked = card_;
        asked.ipAddress = askedAt_;
        return Requests(step, asked, payload, hostAddress_);
    }
    return Requests(step, card_, payload, hostAddress_);
}

ReplyMeaning CardOperation::OnReply(const Reply& reply, const Ipv4Address& from,
                                    const std::function<bool(std::string_view)>& take) {
    if (!awaiting_) {
        return {};
    }
    if (*step_ == Step::Identify) {
        Ipv4Address own{};
        if (!ParseDottedAddress(askedAt_, own) || from != own) {
            return {};  // a card's identity is taken only from its own address
        }
    }
    ReplyMeaning meaning = Interpret(*step_, reply);
    using Kind = ReplyMeaning::Kind;
    switch (meaning.kind) {
        case Kind::Other:
            break;
        case Kind::Answered:
            if (take && !take(meaning.payload)) {
                return {};
            }
            awaiting_ = false;
            break;
        case Kind::PacketMismatch:
        case Kind::AccountMismatch:
            if (*step_ == Step::Identify) {
                return {};
            }
            [[fallthrough]];
        case Kind::NotOk:
            awaiting_ = awaiting_ && !policy_.endsOnRefusal;
            break;
    }
    return meaning;
}

std::optional<Message> CardOperation::Tick() {
    if (!awaiting_ || --countdown_ > 0) {
        return std::nullopt;
    }
    awaiting_ = false;
    return *RulesOf(*step_).silence;
}

}  // namespace parvolink
