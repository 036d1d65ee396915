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
            SendToCard(CardLine(wire::kReset));
            host_.EnableButtons(true);
            host_.ShowMessage(engine::kResetting, MessageOrigin::Result);
            break;
        case SequenceOutcome::Kind::Accepted:
            SendToCard(CardLine(wire::kSetConfigure) + outcome.payload);
            ExpectResult();
            pendingReply_ = PendingReply::AwaitingSetConfigure;
            host_.StartOperationTimer();
            host_.EnableButtons(false);
            countdown_ = engine::kSetConfigureTicks;
            break;
    }
}

void RequestEngine::OnSnmpv3Ready() {
    const SequenceOutcome outcome = host_.RunSnmpv3Sequence();
    switch (outcome.kind) {
        case SequenceOutcome::Kind::Cancelled:
            break;
        case SequenceOutcome::Kind::Reset:
            SendToCard(CardLine(wire::kResetSnmpv3));
            break;
        case SequenceOutcome::Kind::Accepted:
            pendingReply_ = PendingReply::AwaitingSetSnmpv3;
            host_.StartOperationTimer();
            countdown_ = engine::kSetSnmpv3Ticks;
            SendToCard(CardLine(wire::kSetSnmpv3) + outcome.payload);
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
    const std::optional<std::string_view> first = FirstField(reply->payload);
    switch (reply->command) {
        case ReplyCommand::Discover:
            if (const auto discovered = ParseDiscoverReply(reply->payload)) {
                if (ApplyDiscoverReply(list_, *discovered).has_value()) {
                    host_.DeviceListChanged();
                }
            }
            break;
        case ReplyCommand::Configure:
            if (first && Awaits(Awaited::Configure) && host_.StoreConfiguration(reply->payload)) {
                awaited_ = Awaited::Nothing;
                resultOwed_ = false;
                pendingReply_ = PendingReply::ConfigureReady;
            }
            break;
        case ReplyCommand::SetConfigure:
        case ReplyCommand::SetSnmpv3:
            if (first) {
                host_.EnableButtons(true);
                if (*first == wire::kOk) {
                    pendingReply_ = PendingReply::Idle;
                    Report(reply->command == ReplyCommand::SetConfigure
                               ? engine::kUpdateSuccessfully
                               : engine::kUsmUpdateSuccessfully);
                }
            }
            break;
        case ReplyCommand::Upgrade:
            if (first && *first == wire::kOk) {
                pendingReply_ = PendingReply::Idle;
                resultOwed_ = false;
            }
            break;
        case ReplyCommand::Snmpv3:
            if (first && Awaits(Awaited::Snmpv3) && host_.StoreUserTable(reply->payload)) {
                awaited_ = Awaited::Nothing;
                resultOwed_ = false;
                pendingReply_ = PendingReply::Snmpv3Ready;
            }
            break;
        case ReplyCommand::Error:
            if (first) {
                OnErrorReply(*first);
            }
            break;
    }
}

void RequestEngine::OnErrorReply(std::string_view code) {
    if (code.empty()) {
        return;
    }
    if (code.front() == '1') {
        Report(engine::kPacketMismatch);
    } else if (code.front() == '2') {
        Report(engine::kAccountMismatch);
        // Only once the message is closed: the next tick then ends the operation quietly.
        if (countdown_ > 0) {
            countdown_ = 0;
            pendingReply_ = PendingReply::Idle;
        }
    }
}

void RequestEngine::OnConfiguration() {
    const DeviceEntry* selected = list_.selectedRow();
    if (selected == nullptr) {
        return;  // rows but none selected: there is no card to ask
    }
    card_ = *selected;
    SendToCardAndBroadcast(CardLine(wire::kConfigure));
    BeginOperation(engine::kConfigureTicks);
    awaited_ = Awaited::Configure;
    ExpectResult();
}

void RequestEngine::StartSnmpv3Query() {
    if (!card_ && list_.selectedRow() != nullptr) {
        card_ = *list_.selectedRow();
    }
    SendToCardAndBroadcast(CardLine(wire::kSnmpv3));
    awaited_ = Awaited::Snmpv3;
    ExpectResult();
    if (host_.StartOperationTimer()) {
        countdown_ = engine::kSnmpv3Ticks;
    }
}

void RequestEngine::SendUpgradeRequest() {
    if (const DeviceEntry* row = list_.selectedRow()) {
        Ipv4Address card{};
        if (ParseDottedAddress(row->ipAddress, card)) {
            Send(UpgradeLine(*row), FormatDottedAddress(card));
        }
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

bool RequestEngine::Send(std::string_view line, std::string_view host) {
    return host_.SendDatagram(DatagramCodec::EncodeText(line), host);
}

std::string RequestEngine::CardLine(std::string_view command) const {
    return IdentityLine(command, card_ ? *card_ : DeviceEntry{});
}

void RequestEngine::SendToCardAndBroadcast(std::string_view line) {
    if (card_) {
        if (const auto target = deviceTarget(card_->ipAddress, hostAddress_)) {
            Send(line, *target);
            Send(line, wire::kBroadcast);
        }
    }
}

void RequestEngine::SendToCard(std::string_view line) {
    if (card_) {
        if (const auto target = deviceTarget(card_->ipAddress, hostAddress_)) {
            Send(line, *target);
        }
    }
}

}  // namespace parvolink
