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
        if (operation_) {
            operation_->Expire();  // a reply arriving later belongs to no operation
        }
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
                host_.ShowMessage(*RulesOf(Step::SetConfigure).silence, MessageOrigin::Result);
            }
            break;
        case PendingReply::AwaitingUpgrade:
            if (over) {
                pendingReply_ = PendingReply::Idle;
                host_.ShowMessage(*RulesOf(Step::Upgrade).silence, MessageOrigin::Result);
            }
            break;
        case PendingReply::Snmpv3Ready:
            pendingReply_ = PendingReply::Idle;
            OnSnmpv3Ready();
            break;
        case PendingReply::AwaitingSetSnmpv3:
            if (over) {
                pendingReply_ = PendingReply::Idle;
                host_.ShowMessage(*RulesOf(Step::SetSnmpv3).silence, MessageOrigin::Result);
            }
            break;
    }
}

void RequestEngine::OnConfigureReady() {
    if (!operation_) {
        return;
    }
    // A copy: the dialog's SNMPv3 button carries the same operation on while it is open.
    const DeviceEntry card = operation_->card();
    const SequenceOutcome outcome = host_.RunConfigurationSequence(card);
    switch (outcome.kind) {
        case SequenceOutcome::Kind::Cancelled:
            break;
        case SequenceOutcome::Kind::Reset:
            operation_->Become(Operation::ResetConfiguration);
            SendStep(Step::Reset, "");
            host_.EnableButtons(true);
            host_.ShowMessage(exchange::kResetting, MessageOrigin::Result);
            break;
        case SequenceOutcome::Kind::Accepted:
            operation_->Become(Operation::WriteConfiguration);
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
    if (!operation_) {
        return;
    }
    const DeviceEntry card = operation_->card();
    const SequenceOutcome outcome = host_.RunSnmpv3Sequence(card);
    switch (outcome.kind) {
        case SequenceOutcome::Kind::Cancelled:
            break;
        case SequenceOutcome::Kind::Reset:
            operation_->Become(Operation::ResetUsers);
            SendStep(Step::ResetSnmpv3, "");
            break;
        case SequenceOutcome::Kind::Accepted:
            operation_->Become(Operation::WriteUsers);
            pendingReply_ = PendingReply::AwaitingSetSnmpv3;
            host_.StartOperationTimer();
            countdown_ = RulesOf(Step::SetSnmpv3).ticks;
            SendStep(Step::SetSnmpv3, outcome.payload);
            ExpectResult();
            break;
    }
}

void RequestEngine::FillAccount(std::size_t index) {
    const DeviceEntry& row = list_.row(index);
    const auto address = ParseStrictAddress(row.ipAddress);
    if (!accounts_ || !address || row.passwordMask != devices::kPasswordUnknown) {
        return;  // an account the user gave is the user's
    }
    if (const auto line = accounts_->For(*address, row.macAddress)) {
        list_.SetAccount(index, line->account, line->password);
    }
}

void RequestEngine::OnDatagram(std::string_view datagram, const Ipv4Address& from) {
    const std::optional<Reply> reply = ParseReply(datagram);
    if (!reply) {
        return;
    }
    switch (reply->command) {
        case ReplyCommand::Discover:
            if (const auto discovered = ParseDiscoverReply(reply->payload)) {
                if (const auto index = ApplyDiscoverReply(list_, *discovered)) {
                    FillAccount(*index);
                    host_.DeviceListChanged();
                }
            }
            break;
        case ReplyCommand::Configure:
            OnRead(*reply, from, &EngineHost::StoreConfiguration, PendingReply::ConfigureReady);
            break;
        case ReplyCommand::Snmpv3:
            OnRead(*reply, from, &EngineHost::StoreUserTable, PendingReply::Snmpv3Ready);
            break;
        case ReplyCommand::SetConfigure:
            OnWriteReply(Step::SetConfigure, *reply);
            break;
        case ReplyCommand::SetSnmpv3:
            OnWriteReply(Step::SetSnmpv3, *reply);
            break;
        case ReplyCommand::Upgrade:
            if (Interpret(Step::Upgrade, *reply).kind == ReplyMeaning::Kind::Answered) {
                pendingReply_ = PendingReply::Idle;
                resultOwed_ = false;
            }
            break;
        case ReplyCommand::Error:
            OnErrorReply(InterpretError(reply->payload));
            break;
    }
}

void RequestEngine::OnRead(const Reply& reply, const Ipv4Address& from,
                           bool (EngineHost::*store)(std::string_view), PendingReply ready) {
    const auto keep = [this, store](std::string_view payload) { return (host_.*store)(payload); };
    if (operation_ && operation_->OnReply(reply, from, keep).kind == ReplyMeaning::Kind::Answered) {
        resultOwed_ = false;
        pendingReply_ = ready;
    }
}

void RequestEngine::OnWriteReply(Step step, const Reply& reply) {
    // A refusal gives the buttons back and the countdown still runs to "No response".
    const ReplyMeaning meaning = Interpret(step, reply);
    using Kind = ReplyMeaning::Kind;
    if (meaning.kind == Kind::Answered || meaning.kind == Kind::NotOk) {
        host_.EnableButtons(true);
    }
    if (meaning.kind != Kind::Answered) {
        return;
    }
    pendingReply_ = PendingReply::Idle;
    Report(*meaning.message);
    if (step == Step::SetSnmpv3 && operation_) {
        host_.SnmpUserAccepted(operation_->card());
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
    operation_.emplace(Operation::ReadConfiguration, *selected, kWindowPolicy, hostAddress_);
    SendStep(Step::Configure, "");
    StartCountdown(RulesOf(Step::Configure).ticks);
    ExpectResult();
}

void RequestEngine::StartSnmpv3Query() {
    if (operation_) {
        operation_->Become(Operation::ReadUsers);
    } else if (const DeviceEntry* selected = list_.selectedRow()) {
        operation_.emplace(Operation::ReadUsers, *selected, kWindowPolicy, hostAddress_);
    }
    SendStep(Step::Snmpv3, "");
    ExpectResult();
    if (host_.StartOperationTimer()) {
        countdown_ = RulesOf(Step::Snmpv3).ticks;
    }
}

void RequestEngine::SendUpgradeRequest() {
    if (const DeviceEntry* row = list_.selectedRow()) {
        operation_.emplace(Operation::Upgrade, *row, kWindowPolicy, hostAddress_);
        SendStep(Step::Upgrade, "");
    }
    pendingReply_ = PendingReply::AwaitingUpgrade;
    ExpectResult();
}

void RequestEngine::BeginOperation(int ticks) {
    if (operation_) {
        operation_->Expire();
    }
    StartCountdown(ticks);
}

void RequestEngine::StartCountdown(int ticks) {
    host_.StartOperationTimer();
    countdown_ = ticks;
    host_.EnableButtons(false);
}

void RequestEngine::Report(const Message& message) {
    host_.ShowMessage(message, std::exchange(resultOwed_, false) ? MessageOrigin::Result
                                                                 : MessageOrigin::Unasked);
}

void RequestEngine::SendStep(Step step, std::string_view payload) {
    if (operation_) {
        SendAll(operation_->Begin(step, payload));
    }
}

void RequestEngine::SendAll(const std::vector<Outgoing>& requests) {
    for (const Outgoing& request : requests) {
        host_.SendDatagram(request.wire, request.host);
    }
}

}  // namespace parvolink
