#include "protocol/RequestEngine.h"

#include "protocol/DatagramCodec.h"
#include "protocol/Messages.h"

namespace parvolink {

void RequestEngine::Tick() {
    --countdown_;
    const bool over = countdown_ <= 0;
    if (over) {
        host_.StopOperationTimer();
        host_.EnableButtons(true);
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
                host_.ShowMessage(engine::kNoResponse);
            }
            break;
        case PendingReply::AwaitingUpgrade:
            if (over) {
                pendingReply_ = PendingReply::Idle;
                host_.ShowMessage(engine::kUpgradeNoResponse);
            }
            break;
        case PendingReply::Snmpv3Ready:
            pendingReply_ = PendingReply::Idle;
            OnSnmpv3Ready();
            break;
        case PendingReply::AwaitingSetSnmpv3:
            if (over) {
                pendingReply_ = PendingReply::Idle;
                host_.ShowMessage(engine::kNoResponse);
            }
            break;
    }
}

void RequestEngine::OnConfigureReady() {
    const SequenceOutcome outcome = host_.RunConfigurationSequence();
    switch (outcome.kind) {
        case SequenceOutcome::Kind::Cancelled:
            break;
        case SequenceOutcome::Kind::Reset:
            SendToTarget(SelectedIdentityLine(wire::kReset));
            host_.EnableButtons(true);
            host_.ShowMessage(engine::kResetting);
            break;
        case SequenceOutcome::Kind::Accepted:
            SendToTarget(SelectedIdentityLine(wire::kSetConfigure) + outcome.payload);
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
            SendToTarget(SelectedIdentityLine(wire::kResetSnmpv3));
            break;
        case SequenceOutcome::Kind::Accepted:
            pendingReply_ = PendingReply::AwaitingSetSnmpv3;
            host_.StartOperationTimer();
            countdown_ = engine::kSetSnmpv3Ticks;
            SendToTarget(SelectedIdentityLine(wire::kSetSnmpv3) + outcome.payload);
            break;
    }
}

void RequestEngine::OnDatagram(std::string_view datagram) {
    const std::optional<Reply> reply = ParseReply(datagram);
    if (!reply) {
        return;
    }
    const std::optional<std::string_view> first = FirstField(reply->payload);
    switch (reply->command) {
        case ReplyCommand::Discover:
            if (const auto discovered = ParseDiscoverReply(reply->payload)) {
                if (ApplyDiscoverReply(list_, *discovered)) {
                    host_.DeviceListChanged();
                }
            }
            break;
        case ReplyCommand::Configure:
            if (first && host_.StoreConfiguration(reply->payload)) {
                pendingReply_ = PendingReply::ConfigureReady;
            }
            break;
        case ReplyCommand::SetConfigure:
        case ReplyCommand::SetSnmpv3:
            if (first) {
                host_.EnableButtons(true);
                if (*first == wire::kOk) {
                    pendingReply_ = PendingReply::Idle;
                    host_.ShowMessage(reply->command == ReplyCommand::SetConfigure
                                          ? engine::kUpdateSuccessfully
                                          : engine::kUsmUpdateSuccessfully);
                }
            }
            break;
        case ReplyCommand::Upgrade:
            if (first && *first == wire::kOk) {
                pendingReply_ = PendingReply::Idle;
            }
            break;
        case ReplyCommand::Snmpv3:
            if (first && host_.StoreUserTable(reply->payload)) {
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
        host_.ShowMessage(engine::kPacketMismatch);
    } else if (code.front() == '2') {
        host_.ShowMessage(engine::kAccountMismatch);
        // Only once the message is closed: the next tick then ends the operation quietly.
        if (countdown_ > 0) {
            countdown_ = 0;
            pendingReply_ = PendingReply::Idle;
        }
    }
}

void RequestEngine::OnConfiguration() {
    if (list_.empty() || list_.selectedRow() == nullptr) {
        return;  // rows but none selected: there is no card to ask
    }
    SendToSelectedDevice(SelectedIdentityLine(wire::kConfigure));
    BeginOperation(engine::kConfigureTicks);
}

void RequestEngine::StartSnmpv3Query() {
    SendToSelectedDevice(SelectedIdentityLine(wire::kSnmpv3));
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
}

void RequestEngine::BeginOperation(int ticks) {
    host_.StartOperationTimer();
    countdown_ = ticks;
    host_.EnableButtons(false);
}

bool RequestEngine::Send(std::string_view line, std::string_view host) {
    return host_.SendDatagram(DatagramCodec::EncodeText(line), host);
}

std::optional<std::string> RequestEngine::SelectedTarget() const {
    const DeviceEntry* row = list_.selectedRow();
    return row == nullptr ? std::nullopt : deviceTarget(row->ipAddress, hostAddress_);
}

std::string RequestEngine::SelectedIdentityLine(std::string_view command) const {
    const DeviceEntry* row = list_.selectedRow();
    return IdentityLine(command, row != nullptr ? *row : DeviceEntry{});
}

void RequestEngine::SendToSelectedDevice(std::string_view line) {
    if (const auto target = SelectedTarget()) {
        Send(line, *target);
        Send(line, wire::kBroadcast);
    }
}

void RequestEngine::SendToTarget(std::string_view line) {
    if (const auto target = SelectedTarget()) {
        Send(line, *target);
    }
}

}  // namespace parvolink
