// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fleet/CardTask.h"

#include <algorithm>
#include <utility>

#include "core/protocol/DatagramCodec.h"
#include "core/protocol/Messages.h"
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
    if (job.operation == Operation::WriteConfiguration) {
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
    if (job.operation == Operation::WriteUsers && !job.context) {
        UsmConfiguration users;
        const Job::User& user = job.user;
        if (auto message = SubmitKey(users, user.index, user.name, user.level, user.authPassword,
                                     user.privPassword)) {
            return OneLine(message->text);
        }
    }
    return std::nullopt;
}

namespace {

// Before it is identified the card is known by the address given for it.
DeviceEntry Unidentified(const Ipv4Address& address) {
    DeviceEntry card;
    card.ipAddress = FormatDottedAddress(address);
    return card;
}

}  // namespace

CardTask::CardTask(const Ipv4Address& address, std::string account, std::string password,
                   const Ipv4Address& hostAddress, Job job)
    : address_(address),
      account_(std::move(account)),
      password_(std::move(password)),
      job_(std::move(job)),
      operation_(job_.operation, Unidentified(address), kCommandLinePolicy, hostAddress) {}

std::vector<Outgoing> CardTask::Start() {
    return Begin(Step::Identify);
}

std::vector<Outgoing> CardTask::Begin(Step step) {
    std::string payload;
    if (step == Step::SetConfigure) {
        payload = SetConfigurePayload(configuration_);
    } else if (step == Step::SetSnmpv3) {
        payload = job_.context ? SetSnmpv3ContextPayload(users_) : SetSnmpv3UserPayload(users_);
    }
    std::vector<Outgoing> sends = operation_.Begin(step, payload);
    if (!RulesOf(step).awaited) {
        // Nothing answers a reset: it is done once sent.
        Finish(Result::Done, step == Step::Reset ? exchange::kResetting.text : "");
    }
    return sends;
}

std::vector<Outgoing> CardTask::OnDatagram(std::string_view datagram, const Ipv4Address& from) {
    // The socket is this card's alone; the operation says which of its replies it takes.
    if (finished() || fetching() || held()) {
        return {};
    }
    const auto reply = ParseReply(datagram);
    if (!reply) {
        return {};
    }
    // What a step reads is taken only when it is whole; otherwise it is awaited still.
    const auto take = [this](std::string_view payload) {
        switch (*operation_.step()) {
            case Step::Identify:
                return ParseDiscoverReply(payload).has_value();
            case Step::Configure:
                return ParseConfigureReply(payload, configuration_);
            case Step::Snmpv3:
                return ParseSnmpv3Reply(payload, users_);
            default:
                return true;
        }
    };
    const ReplyMeaning meaning = operation_.OnReply(*reply, from, take);
    using Kind = ReplyMeaning::Kind;
    switch (meaning.kind) {
        case Kind::Other:
            return {};
        case Kind::PacketMismatch:
        case Kind::AccountMismatch:
        case Kind::NotOk:
            Finish(Result::Refused, meaning.message->text);
            return {};
        case Kind::Answered:
            return Advance(meaning);
    }
    return {};
}

std::vector<Outgoing> CardTask::Advance(const ReplyMeaning& meaning) {
    const Step done = *operation_.step();
    if (phase_ == Phase::Confirm) {
        Confirmed(ParseDiscoverReply(meaning.payload)->version);
        return {};
    }
    if (done == Step::Identify) {
        DeviceList one;
        ApplyDiscoverReply(one, *ParseDiscoverReply(meaning.payload));
        one.SetAccount(0, account_, password_);
        operation_.Identified(one.row(0));
    }
    if (done == Step::Upgrade) {
        phase_ = Phase::Fetch;
        countdown_ = kFirstRequestTicks;
        if (auto early = std::exchange(earlyFetchEnd_, std::nullopt)) {
            FinishFetch(early->first, std::move(early->second));
        }
        return {};
    }
    if (auto refusal = CheckAfter(done)) {
        return Refuse(std::move(*refusal));
    }
    const std::optional<Step> next = operation_.NextStep();
    if (!next) {
        Finish(Result::Done, meaning.message ? meaning.message->text : "");
        return {};
    }
    return RulesOf(*next).writes ? Write(*next) : Begin(*next);
}

std::vector<Outgoing> CardTask::Refuse(std::string message) {
    Finish(Result::BadInput, std::move(message));
    return {};
}

std::optional<std::string> CardTask::CheckAfter(Step step) {
    const DeviceEntry& card = operation_.card();
    // The card's version decides what it has: reset (1.12), SNMPv3 (2.0).
    const DialogGates gates = GatesFor(card.version, card.model);
    const Operation operation = operation_.operation();
    if (step == Step::Identify) {
        if (operation == Operation::ResetConfiguration && !gates.showReset) {
            return "this card (version " + card.version +
                   ") cannot be reset to its defaults from here";
        }
        const std::span<const Step> steps = StepsOf(operation);
        if (std::find(steps.begin(), steps.end(), Step::Snmpv3) != steps.end() &&
            !gates.showSnmpv3) {
            return "SNMPv3 needs a card of version 2.0 or later; this one is version " +
                   card.version;
        }
        if (operation == Operation::Upgrade && !checkFlashSize(job_.firmware, card.flashSize)) {
            return OneLine(upgrade::kFlashMismatch.text);
        }
    }
    if (step == Step::Configure && operation == Operation::WriteConfiguration) {
        DeviceConfiguration changed = configuration_;
        if (auto error = ApplyFieldChanges(job_.changes, gates, changed)) {
            return error;
        }
        configuration_ = changed;
    }
    if (step == Step::Snmpv3 && operation == Operation::WriteUsers && !job_.context) {
        const Job::User& user = job_.user;
        if (auto message = SubmitKey(users_, user.index, user.name, user.level, user.authPassword,
                                     user.privPassword)) {
            return OneLine(message->text);
        }
    }
    if (step == Step::Snmpv3 && operation == Operation::WriteUsers && job_.context) {
        users_.contextName = job_.context->substr(0, usm::kTextLength);
    }
    return std::nullopt;
}

std::vector<Outgoing> CardTask::Write(Step step) {
    if (!holdBeforeWriting_) {
        return Begin(step);
    }
    heldStep_ = step;
    phase_ = Phase::Held;
    return {};
}

bool CardTask::writing() const {
    switch (phase_) {
        case Phase::Steps:
            return operation_.awaiting() && RulesOf(*operation_.step()).writes;
        case Phase::Fetch:
        case Phase::Confirm:  // the card is flashing what it was sent
            return true;
        default:
            return false;
    }
}

bool CardTask::expectsFetch() const {
    return fetching() || (phase_ == Phase::Steps && operation_.Awaits(Step::Upgrade));
}

std::vector<Outgoing> CardTask::Proceed() {
    if (!held()) {
        return {};
    }
    holdBeforeWriting_ = false;
    phase_ = Phase::Steps;
    return Begin(heldStep_);
}

void CardTask::Abandon(std::string message) {
    if (held()) {
        Finish(Result::BadInput, std::move(message));
    }
}

std::vector<Outgoing> CardTask::Tick() {
    switch (phase_) {
        case Phase::Steps:
            if (const auto silence = operation_.Tick()) {
                Finish(Result::NoResponse, OneLine(silence->text));
            }
            return {};
        case Phase::Confirm:
            return ConfirmTick();
        case Phase::Fetch:
            // A transfer under way is timed by the TFTP server.
            if (!fetchStarted_ && --countdown_ <= 0) {
                Finish(Result::NoResponse, "The card did not ask for the firmware file.");
            }
            return {};
        default:
            return {};
    }
}

void CardTask::FinishFetch(Result result, std::string message) {
    if (phase_ == Phase::Steps && operation_.Awaits(Step::Upgrade)) {
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
    phase_ = Phase::Confirm;
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
    // A card's version is asked with a Discover to its address, as its identity was.
    return operation_.Begin(Step::Identify);
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
    phase_ = Phase::Finished;
    result_ = result;
    message_ = std::move(message);
}

}  // namespace parvolink::fleet
