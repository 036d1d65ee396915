// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fleet/CardTask.h"

#include "core/protocol/DatagramCodec.h"
#include "core/protocol/Messages.h"
#include "core/protocol/RequestEngine.h"
#include "core/upgrade/FirmwareFile.h"
#include "core/upgrade/UpgradeChecks.h"

namespace parvolink::fleet {

std::string_view ResultName(Result result) {
    switch (result) {
        case Result::Done:
            return "done";
        case Result::Refused:
            return "refused";
        case Result::BadInput:
            return "bad-input";
        case Result::NoResponse:
            return "no-response";
        case Result::LocalFault:
            return "local-fault";
    }
    return "";
}

std::optional<std::string> CheckWithoutCard(const Job& job) {
    if (job.kind == Job::Kind::WriteConfiguration) {
        // Each value on its own into a record every field of which a card may have: the
        // form's checks are each about one field, so what this refuses every card refuses.
        DeviceConfiguration neutral;
        neutral.ipAddr = {192, 0, 2, 10};
        neutral.subnetMask = {255, 255, 255, 0};
        neutral.httpPort = 80;
        neutral.telnetPort = 23;
        neutral.year = 2026;
        neutral.month = 1;
        neutral.day = 1;
        neutral.userLimitationPresent = true;
        const DialogGates everything{true, true, false};
        for (const FieldChange& change : job.changes) {
            DeviceConfiguration record = neutral;
            if (auto error = ApplyFieldChanges({change}, everything, record)) {
                return error;
            }
        }
    }
    if (job.kind == Job::Kind::WriteUser) {
        UsmConfiguration users;
        const Job::User& user = job.user;
        if (auto message = SubmitKey(users, user.index, user.name, user.level, user.authPassword,
                                     user.privPassword)) {
            return OneLine(message->text);
        }
    }
    return std::nullopt;
}

CardTask::CardTask(const Ipv4Address& address, std::string account, std::string password,
                   const Ipv4Address& hostAddress, Job job)
    : address_(address),
      account_(std::move(account)),
      password_(std::move(password)),
      hostAddress_(hostAddress),
      job_(std::move(job)) {}

std::vector<Outgoing> CardTask::Start() {
    return Begin(Stage::Identify);
}

std::vector<Outgoing> CardTask::Begin(Stage stage) {
    stage_ = stage;
    std::vector<Outgoing> sends;
    const auto identity = [&](std::string_view command) { return IdentityLine(command, card_); };
    switch (stage) {
        case Stage::Identify:
            countdown_ = engine::kDiscoverTicks;
            return {{DatagramCodec::EncodeText(DiscoverLine()), FormatDottedAddress(address_)}};
        case Stage::Configure:
            countdown_ = engine::kConfigureTicks;
            return ToCard(identity(wire::kConfigure), true);
        case Stage::SetConfigure:
            countdown_ = engine::kSetConfigureTicks;
            return ToCard(identity(wire::kSetConfigure) + SetConfigurePayload(configuration_),
                          false);
        case Stage::Reset:
            sends = ToCard(identity(wire::kReset), false);
            Finish(Result::Done, engine::kResetting.text);
            return sends;
        case Stage::Snmpv3:
            countdown_ = engine::kSnmpv3Ticks;
            return ToCard(identity(wire::kSnmpv3), true);
        case Stage::SetSnmpv3:
            countdown_ = engine::kSetSnmpv3Ticks;
            return ToCard(identity(wire::kSetSnmpv3) + (job_.kind == Job::Kind::WriteContext
                                                            ? SetSnmpv3ContextPayload(users_)
                                                            : SetSnmpv3UserPayload(users_)),
                          false);
        case Stage::ResetSnmpv3:
            sends = ToCard(identity(wire::kResetSnmpv3), false);
            Finish(Result::Done, "");
            return sends;
        case Stage::Upgrade:
            // Once, to the card's own address, never by broadcast.
            countdown_ = engine::kUpgradeTicks;
            return {{DatagramCodec::EncodeText(UpgradeLine(card_)), FormatDottedAddress(address_)}};
        case Stage::Fetch:
        case Stage::Held:
        case Stage::Finished:
            break;
    }
    return {};
}

std::string CardTask::Target() const {
    return deviceTarget(card_.ipAddress, hostAddress_).value_or(FormatDottedAddress(address_));
}

std::vector<Outgoing> CardTask::ToCard(const std::string& line, bool andBroadcast) const {
    std::vector<Outgoing> sends = {{DatagramCodec::EncodeText(line), Target()}};
    if (andBroadcast) {
        sends.push_back({sends.front().wire, std::string(wire::kBroadcast)});
    }
    return sends;
}

std::vector<Outgoing> CardTask::OnDatagram(std::string_view datagram, const Ipv4Address& from) {
    // The card is identified by its own answer to a Discover sent to its address; after that a
    // reply is taken from any sender while awaited, as a card reached by the broadcast copy
    // may answer from another address. The socket is this card's alone.
    if (finished() || fetching() || held() || (stage_ == Stage::Identify && from != address_)) {
        return {};
    }
    const auto reply = ParseReply(datagram);
    if (!reply) {
        return {};
    }
    if (reply->command == ReplyCommand::Error) {
        if (stage_ == Stage::Identify || reply->payload.empty()) {
            return {};
        }
        if (reply->payload.front() == '1') {
            Finish(Result::Refused, engine::kPacketMismatch.text);
        } else if (reply->payload.front() == '2') {
            Finish(Result::Refused, engine::kAccountMismatch.text);
        }
        return {};
    }
    switch (stage_) {
        case Stage::Identify:
            if (reply->command == ReplyCommand::Discover) {
                if (const auto discovered = ParseDiscoverReply(reply->payload)) {
                    DeviceList one;
                    if (ApplyDiscoverReply(one, *discovered).has_value()) {
                        one.SetAccount(0, account_, password_);
                        card_ = one.row(0);
                        return Advance();
                    }
                }
            }
            break;
        case Stage::Configure:
            if (reply->command == ReplyCommand::Configure &&
                ParseConfigureReply(reply->payload, configuration_)) {
                return Advance();
            }
            break;
        case Stage::Snmpv3:
            if (reply->command == ReplyCommand::Snmpv3 &&
                ParseSnmpv3Reply(reply->payload, users_)) {
                return Advance();
            }
            break;
        case Stage::SetConfigure:
        case Stage::SetSnmpv3:
        case Stage::Upgrade: {
            const ReplyCommand awaited = stage_ == Stage::SetConfigure ? ReplyCommand::SetConfigure
                                         : stage_ == Stage::SetSnmpv3  ? ReplyCommand::SetSnmpv3
                                                                       : ReplyCommand::Upgrade;
            const auto first = FirstField(reply->payload);
            if (reply->command != awaited || !first) {
                break;
            }
            if (*first != wire::kOk) {
                Finish(Result::Refused, "The card did not take the request: it answered \"" +
                                            std::string(*first) + "\".");
                return {};
            }
            return Advance();
        }
        default:
            break;
    }
    return {};
}

std::vector<Outgoing> CardTask::Advance() {
    const DialogGates gates = GatesFor(card_.version, card_.model);
    using Kind = Job::Kind;
    switch (stage_) {
        case Stage::Identify:
            switch (job_.kind) {
                case Kind::Identify:
                    Finish(Result::Done, "");
                    return {};
                case Kind::ResetConfiguration:
                    if (!gates.showReset) {
                        Finish(Result::BadInput, "this card (version " + card_.version +
                                                     ") cannot be reset to its defaults from here");
                        return {};
                    }
                    [[fallthrough]];
                case Kind::ReadConfiguration:
                case Kind::WriteConfiguration:
                    return Begin(Stage::Configure);
                case Kind::ReadUsers:
                case Kind::WriteUser:
                case Kind::WriteContext:
                case Kind::ResetUsers:
                    if (!gates.showSnmpv3) {
                        Finish(Result::BadInput,
                               "SNMPv3 needs a card of version 2.0 or later; "
                               "this one is version " +
                                   card_.version);
                        return {};
                    }
                    return Begin(Stage::Snmpv3);
                case Kind::Upgrade:
                    if (!checkFlashSize(job_.firmware, card_.flashSize)) {
                        Finish(Result::BadInput, OneLine(upgrade::kFlashMismatch.text));
                        return {};
                    }
                    return Write(Stage::Upgrade);
            }
            break;
        case Stage::Configure:
            if (job_.kind == Kind::ResetConfiguration) {
                return Write(Stage::Reset);
            }
            if (job_.kind == Kind::WriteConfiguration) {
                DeviceConfiguration changed = configuration_;
                if (auto error = ApplyFieldChanges(job_.changes, gates, changed)) {
                    Finish(Result::BadInput, *error);
                    return {};
                }
                configuration_ = changed;
                return Write(Stage::SetConfigure);
            }
            Finish(Result::Done, "");
            return {};
        case Stage::Snmpv3:
            if (job_.kind == Kind::WriteUser) {
                const Job::User& user = job_.user;
                if (auto message = SubmitKey(users_, user.index, user.name, user.level,
                                             user.authPassword, user.privPassword)) {
                    Finish(Result::BadInput, OneLine(message->text));
                    return {};
                }
                return Write(Stage::SetSnmpv3);
            }
            if (job_.kind == Kind::WriteContext) {
                users_.contextName = job_.context.substr(0, usm::kTextLength);
                return Write(Stage::SetSnmpv3);
            }
            if (job_.kind == Kind::ResetUsers) {
                return Write(Stage::ResetSnmpv3);
            }
            Finish(Result::Done, "");
            return {};
        case Stage::SetConfigure:
            Finish(Result::Done, engine::kUpdateSuccessfully.text);
            return {};
        case Stage::SetSnmpv3:
            Finish(Result::Done, engine::kUsmUpdateSuccessfully.text);
            return {};
        case Stage::Upgrade:
            stage_ = Stage::Fetch;
            countdown_ = kFirstRequestTicks;
            return {};
        default:
            break;
    }
    return {};
}

std::vector<Outgoing> CardTask::Write(Stage stage) {
    if (!holdBeforeWriting_) {
        return Begin(stage);
    }
    heldStage_ = stage;
    stage_ = Stage::Held;
    return {};
}

bool CardTask::writing() const {
    switch (stage_) {
        case Stage::SetConfigure:
        case Stage::SetSnmpv3:
        case Stage::Upgrade:
        case Stage::Fetch:
            return true;
        default:
            return false;
    }
}

std::vector<Outgoing> CardTask::Proceed() {
    if (!held()) {
        return {};
    }
    holdBeforeWriting_ = false;
    return Begin(heldStage_);
}

void CardTask::Abandon(std::string message) {
    if (held()) {
        Finish(Result::BadInput, std::move(message));
    }
}

std::vector<Outgoing> CardTask::Tick() {
    if (finished() || held() || (fetching() && fetchStarted_)) {
        return {};  // a transfer under way is timed by the TFTP server
    }
    if (fetching()) {
        if (--countdown_ <= 0) {
            Finish(Result::NoResponse, "The card did not ask for the firmware file.");
        }
        return {};
    }
    if (--countdown_ <= 0) {
        Finish(Result::NoResponse,
               OneLine(stage_ == Stage::Upgrade ? engine::kUpgradeNoResponse.text
                                                : engine::kNoResponse.text));
    }
    return {};
}

void CardTask::FinishFetch(Result result, std::string message) {
    if (fetching()) {
        Finish(result, std::move(message));
    }
}

void CardTask::Finish(Result result, std::string message) {
    stage_ = Stage::Finished;
    result_ = result;
    message_ = std::move(message);
}

}  // namespace parvolink::fleet
