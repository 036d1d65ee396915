// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/protocol/RequestEngine.h"

#include <utility>

#include "core/protocol/DatagramCodec.h"
#include "core/protocol/Messages.h"

namespace parvolink {

void RequestEngine::Tick() {
    --countdown_;
    const bool over = countdown_ <= 0;
    if (over) {
        host_.StopOperationTimer();
        host_.EnableButtons(true);
        awaited_ = Awaited::Nothing;  // a reply arriving later belongs to no operation
        resultOwed_ = false;
    }
    // Every branch settles pendingReply before it opens a dialog or a message: ticks handled
    // inside that modal loop must not act on the same reply again.
    switch (pendingReply_) {
        case PendingReply::Idle:
            break;
        case PendingReply::ConfigureReady:
            pendingReply_ = PendingReply::Idle;
            OnConfigureReady();
            break;
        case PendingReply::AwaitingSetConfigure:
            if (over) {
                host_.EnableButtons(true);
                pendingReply_ = PendingReply::Idle;
                host_.ShowMessage(engine::kNoResponse, MessageOrigin::Result);
            }
            break;
        case PendingReply::AwaitingUpgrade:
            if (over) {
                pendingReply_ = PendingReply::Idle;
                host_.ShowMessage(engine::kUpgradeNoResponse, MessageOrigin::Result);
            }
            break;
        case PendingReply::Snmpv3Ready:
            pendingReply_ = PendingReply::Idle;
            OnSnmpv3Ready();
            break;
        case PendingReply::AwaitingSetSnmpv3:
            if (over) {
                pendingReply_ = PendingReply::Idle;
                host_.ShowMessage(engine::kNoResponse, MessageOrigin::Result);
            }
            break;
    }
}

void RequestEngine::OnConfigureReady() {
    if (!card_) {
        return;
    }
    const SequenceOutcome outcome = host_.RunConfigurationSequence(*card_);
    switch (outcome.kind) {
        case SequenceOutcome::Kind::Cancelled:
            break;
        case SequenceOutcome::Kind::Reset:
            SendStep(Step::Reset, "");
            host_.EnableButtons(true);
            host_.ShowMessage(engine::kResetting, MessageOrigin::Result);
            break;
        case SequenceOutcome::Kind::Accepted:
            SendStep(Step::SetConfigure, outcome.payload);
            ExpectResult();
            pendingReply_ = PendingReply::AwaitingSetConfigure;
            host_.StartOperationTimer();
            host_.EnableButtons(false);
            countdown_ = RulesOf(Step::SetConfigure).ticks;
            break;
    }
}

void RequestEngine::OnSnmpv3Ready() {
    const SequenceOutcome outcome = host_.RunSnmpv3Sequence();
    switch (outcome.kind) {
        case SequenceOutcome::Kind::Cancelled:
            break;
        case SequenceOutcome::Kind::Reset:
            SendStep(Step::ResetSnmpv3, "");
            break;
        case SequenceOutcome::Kind::Accepted:
            pendingReply_ = PendingReply::AwaitingSetSnmpv3;
            host_.StartOperationTimer();
            countdown_ = RulesOf(Step::SetSnmpv3).ticks;
            SendStep(Step::SetSnmpv3, outcome.payload);
            ExpectResult();
            break;
    }
}

bool RequestEngine::Awaits(Awaited kind) const {
    return awaited_ == kind && card_;
}

void RequestEngine::OnDatagram(std::string_view datagram, const Ipv4Address& /*from*/) {
    const std::optional<Reply> reply = ParseReply(datagram);
    if (!reply) {
        return;
    }
    using Kind = ReplyMeaning::Kind;
    switch (reply->command) {
        case ReplyCommand::Discover:
            if (const auto discovered = ParseDiscoverReply(reply->payload)) {
                if (ApplyDiscoverReply(list_, *discovered).has_value()) {
                    host_.DeviceListChanged();
                }
            }
            break;
        case ReplyCommand::Configure:
            if (Awaits(Awaited::Configure) &&
                Interpret(Step::Configure, *reply).kind == Kind::Answered &&
                host_.StoreConfiguration(reply->payload)) {
                awaited_ = Awaited::Nothing;
                resultOwed_ = false;
                pendingReply_ = PendingReply::ConfigureReady;
            }
            break;
        case ReplyCommand::Snmpv3:
            if (Awaits(Awaited::Snmpv3) && Interpret(Step::Snmpv3, *reply).kind == Kind::Answered &&
                host_.StoreUserTable(reply->payload)) {
                awaited_ = Awaited::Nothing;
                resultOwed_ = false;
                pendingReply_ = PendingReply::Snmpv3Ready;
            }
            break;
        case ReplyCommand::SetConfigure:
        case ReplyCommand::SetSnmpv3: {
            // Taken whenever it comes, as the cards' own programs take it; a refusal gives the
            // buttons back and the countdown still runs to "No response".
            const Step step =
                reply->command == ReplyCommand::SetConfigure ? Step::SetConfigure : Step::SetSnmpv3;
            const ReplyMeaning meaning = Interpret(step, *reply);
            if (meaning.kind == Kind::Answered || meaning.kind == Kind::NotOk) {
                host_.EnableButtons(true);
            }
            if (meaning.kind == Kind::Answered) {
                pendingReply_ = PendingReply::Idle;
                Report(*meaning.message);
                if (step == Step::SetSnmpv3) {
                    host_.SnmpUserAccepted();
                }
            }
            break;
        }
        case ReplyCommand::Upgrade:
            if (Interpret(Step::Upgrade, *reply).kind == Kind::Answered) {
                pendingReply_ = PendingReply::Idle;
                resultOwed_ = false;
            }
            break;
        case ReplyCommand::Error:
            OnErrorReply(InterpretError(reply->payload));
            break;
    }
}

void RequestEngine::OnErrorReply(const ReplyMeaning& meaning) {
    if (!meaning.message) {
        return;
    }
    Report(*meaning.message);
    if (meaning.kind == ReplyMeaning::Kind::AccountMismatch && countdown_ > 0) {
        // Only once the message is closed: the next tick then ends the operation quietly.
        countdown_ = 0;
        pendingReply_ = PendingReply::Idle;
    }
}

void RequestEngine::OnConfiguration() {
    const DeviceEntry* selected = list_.selectedRow();
    if (selected == nullptr) {
        return;  // rows but none selected: there is no card to ask
    }
    card_ = *selected;
    SendStep(Step::Configure, "");
    BeginOperation(RulesOf(Step::Configure).ticks);
    awaited_ = Awaited::Configure;
    ExpectResult();
}

void RequestEngine::StartSnmpv3Query() {
    if (!card_ && list_.selectedRow() != nullptr) {
        card_ = *list_.selectedRow();
    }
    SendStep(Step::Snmpv3, "");
    awaited_ = Awaited::Snmpv3;
    ExpectResult();
    if (host_.StartOperationTimer()) {
        countdown_ = RulesOf(Step::Snmpv3).ticks;
    }
}

void RequestEngine::SendUpgradeRequest() {
    if (const DeviceEntry* row = list_.selectedRow()) {
        SendAll(Requests(Step::Upgrade, *row, "", hostAddress_));
    }
    pendingReply_ = PendingReply::AwaitingUpgrade;
    ExpectResult();
}

void RequestEngine::BeginOperation(int ticks) {
    awaited_ = Awaited::Nothing;
    host_.StartOperationTimer();
    countdown_ = ticks;
    host_.EnableButtons(false);
}

void RequestEngine::Report(const Message& message) {
    host_.ShowMessage(message, std::exchange(resultOwed_, false) ? MessageOrigin::Result
                                                                 : MessageOrigin::Unasked);
}

void RequestEngine::SendStep(Step step, std::string_view payload) {
    if (card_) {
        SendAll(Requests(step, *card_, payload, hostAddress_));
    }
}

void RequestEngine::SendAll(const std::vector<Outgoing>& requests) {
    for (const Outgoing& request : requests) {
        host_.SendDatagram(request.wire, request.host);
    }
}

}  // namespace parvolink
