// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fleet/CardTask.h"

#include <utility>

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

Step CardTask::StepOf(Stage stage) {
    switch (stage) {
        case Stage::Configure:
            return Step::Configure;
        case Stage::SetConfigure:
            return Step::SetConfigure;
        case Stage::Reset:
            return Step::Reset;
        case Stage::Snmpv3:
            return Step::Snmpv3;
        case Stage::SetSnmpv3:
            return Step::SetSnmpv3;
        case Stage::ResetSnmpv3:
            return Step::ResetSnmpv3;
        case Stage::Upgrade:
        case Stage::Fetch:
            return Step::Upgrade;
        case Stage::Confirm:
            return Step::Identify;  // a card is asked its version with a Discover
        default:
            return Step::Identify;
    }
}

std::vector<Outgoing> CardTask::Begin(Stage stage) {
    stage_ = stage;
    const Step step = StepOf(stage);
    countdown_ = RulesOf(step).ticks;
    std::string payload;
    if (stage == Stage::SetConfigure) {
        payload = SetConfigurePayload(configuration_);
    } else if (stage == Stage::SetSnmpv3) {
        payload = job_.kind == Job::Kind::WriteContext ? SetSnmpv3ContextPayload(users_)
                                                       : SetSnmpv3UserPayload(users_);
    }
    // Before it is identified the card is known by the address given for it.
    DeviceEntry card = card_;
    if (stage == Stage::Identify) {
        card.ipAddress = FormatDottedAddress(address_);
    }
    std::vector<Outgoing> sends = Requests(step, card, payload, hostAddress_);
    if (!RulesOf(step).awaited) {
        // Nothing answers a reset: it is done once sent.
        Finish(Result::Done, stage == Stage::Reset ? engine::kResetting.text : "");
    }
    return sends;
}

std::vector<Outgoing> CardTask::OnDatagram(std::string_view datagram, const Ipv4Address& from) {
    // The card is identified by its own answer to a Discover sent to its address; after that a
    // reply is taken from any sender while awaited, as a card reached by the broadcast copy
    // may answer from another address. The socket is this card's alone.
    // A card's identity and version are taken only from its own address.
    const bool identifying = stage_ == Stage::Identify || stage_ == Stage::Confirm;
    if (finished() || fetching() || held() || (identifying && from != address_)) {
        return {};
    }
    const auto reply = ParseReply(datagram);
    if (!reply) {
        return {};
    }
    const ReplyMeaning meaning = Interpret(StepOf(stage_), *reply);
    using Kind = ReplyMeaning::Kind;
    switch (meaning.kind) {
        case Kind::Other:
            return {};
        case Kind::PacketMismatch:
        case Kind::AccountMismatch:
            if (stage_ != Stage::Identify) {  // a Discover is never refused
                Finish(Result::Refused, meaning.message->text);
            }
            return {};
        case Kind::NotOk:
            Finish(Result::Refused, meaning.message->text);
            return {};
        case Kind::Answered:
            break;
    }
    switch (stage_) {
        case Stage::Confirm:
            if (const auto discovered = ParseDiscoverReply(meaning.payload)) {
                Confirmed(discovered->version);
            }
            return {};
        case Stage::Identify:
            if (const auto discovered = ParseDiscoverReply(meaning.payload)) {
                DeviceList one;
                if (ApplyDiscoverReply(one, *discovered).has_value()) {
                    one.SetAccount(0, account_, password_);
                    card_ = one.row(0);
                    return Advance();
                }
            }
            return {};
        case Stage::Configure:
            return ParseConfigureReply(meaning.payload, configuration_) ? Advance()
                                                                        : std::vector<Outgoing>{};
        case Stage::Snmpv3:
            return ParseSnmpv3Reply(meaning.payload, users_) ? Advance() : std::vector<Outgoing>{};
        default:
            return Advance();
    }
}

std::vector<Outgoing> CardTask::Advance() {
    switch (stage_) {
        case Stage::Identify:
            return AfterIdentify();
        case Stage::Configure:
            return AfterConfigure();
        case Stage::Snmpv3:
            return AfterSnmpv3();
        case Stage::SetConfigure:
            Finish(Result::Done, engine::kUpdateSuccessfully.text);
            return {};
        case Stage::SetSnmpv3:
            Finish(Result::Done, engine::kUsmUpdateSuccessfully.text);
            return {};
        case Stage::Upgrade:
            stage_ = Stage::Fetch;
            countdown_ = kFirstRequestTicks;
            if (auto early = std::exchange(earlyFetchEnd_, std::nullopt)) {
                FinishFetch(early->first, std::move(early->second));
            }
            return {};
        default:
            return {};
    }
}

std::vector<Outgoing> CardTask::Refuse(std::string message) {
    Finish(Result::BadInput, std::move(message));
    return {};
}

std::vector<Outgoing> CardTask::AfterIdentify() {
    // The card's version decides what it has: reset (1.12), SNMPv3 (2.0).
    const DialogGates gates = GatesFor(card_.version, card_.model);
    using Kind = Job::Kind;
    switch (job_.kind) {
        case Kind::Identify:
            Finish(Result::Done, "");
            return {};
        case Kind::ResetConfiguration:
            if (!gates.showReset) {
                return Refuse("this card (version " + card_.version +
                              ") cannot be reset to its defaults from here");
            }
            return Begin(Stage::Configure);
        case Kind::ReadConfiguration:
        case Kind::WriteConfiguration:
            return Begin(Stage::Configure);
        case Kind::ReadUsers:
        case Kind::WriteUser:
        case Kind::WriteContext:
        case Kind::ResetUsers:
            if (!gates.showSnmpv3) {
                return Refuse("SNMPv3 needs a card of version 2.0 or later; this one is version " +
                              card_.version);
            }
            return Begin(Stage::Snmpv3);
        case Kind::Upgrade:
            if (!checkFlashSize(job_.firmware, card_.flashSize)) {
                return Refuse(OneLine(upgrade::kFlashMismatch.text));
            }
            return Write(Stage::Upgrade);
    }
    return {};
}

std::vector<Outgoing> CardTask::AfterConfigure() {
    if (job_.kind == Job::Kind::ResetConfiguration) {
        return Write(Stage::Reset);
    }
    if (job_.kind != Job::Kind::WriteConfiguration) {
        Finish(Result::Done, "");
        return {};
    }
    DeviceConfiguration changed = configuration_;
    if (auto error =
            ApplyFieldChanges(job_.changes, GatesFor(card_.version, card_.model), changed)) {
        return Refuse(*error);
    }
    configuration_ = changed;
    return Write(Stage::SetConfigure);
}

std::vector<Outgoing> CardTask::AfterSnmpv3() {
    switch (job_.kind) {
        case Job::Kind::WriteUser: {
            const Job::User& user = job_.user;
            if (auto message = SubmitKey(users_, user.index, user.name, user.level,
                                         user.authPassword, user.privPassword)) {
                return Refuse(OneLine(message->text));
            }
            return Write(Stage::SetSnmpv3);
        }
        case Job::Kind::WriteContext:
            users_.contextName = job_.context.substr(0, usm::kTextLength);
            return Write(Stage::SetSnmpv3);
        case Job::Kind::ResetUsers:
            return Write(Stage::ResetSnmpv3);
        default:
            Finish(Result::Done, "");
            return {};
    }
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
        case Stage::Confirm:  // the card is flashing what it was sent
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
    if (stage_ == Stage::Confirm) {
        return ConfirmTick();
    }
    if (fetching()) {
        if (--countdown_ <= 0) {
            Finish(Result::NoResponse, "The card did not ask for the firmware file.");
        }
        return {};
    }
    if (--countdown_ <= 0) {
        Finish(Result::NoResponse, OneLine(RulesOf(StepOf(stage_)).silence->text));
    }
    return {};
}

void CardTask::FinishFetch(Result result, std::string message) {
    if (stage_ == Stage::Upgrade) {
        earlyFetchEnd_.emplace(result, std::move(message));  // its "OK" is yet to be read
        return;
    }
    if (!fetching()) {
        return;
    }
    if (result != Result::Done || !job_.confirm) {
        Finish(result, std::move(message));
        return;
    }
    // The card flashes and restarts: it is asked until it answers with the file's version.
    stage_ = Stage::Confirm;
    countdown_ = job_.confirmSeconds;
    versionSeen_.clear();
}

std::vector<Outgoing> CardTask::ConfirmTick() {
    if (--countdown_ <= 0) {
        if (versionSeen_.empty()) {
            Finish(Result::NoResponse, "transferred, did not come back");
        } else {
            Finish(Result::Refused, "transferred, but the card came back with version " +
                                        versionSeen_ + ", not the file's " + job_.firmwareVersion);
        }
        return {};
    }
    if ((job_.confirmSeconds - countdown_) % kConfirmEveryTicks != 0) {
        return {};
    }
    DeviceEntry card;
    card.ipAddress = FormatDottedAddress(address_);
    return Requests(Step::Identify, card, "", hostAddress_);
}

void CardTask::Confirmed(const std::string& version) {
    // Compared as the window reads versions: "V2.40" and "2.40" are one version. A card still
    // answering with its old version before it restarts is asked again.
    if (ReadVersion(version) == ReadVersion(job_.firmwareVersion)) {
        Finish(Result::Done, "Upgrade OK! The card came back with version " + version + ".");
    } else {
        versionSeen_ = version;
    }
}

void CardTask::Finish(Result result, std::string message) {
    stage_ = Stage::Finished;
    result_ = result;
    message_ = std::move(message);
}

}  // namespace parvolink::fleet
