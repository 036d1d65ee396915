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

std::string_view CardTask::resultName() const {
    if (unchanged_) {
        return "unchanged";
    }
    return heldBy_ ? "held-back" : ResultName(result_);
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
    sentWrite_ = sentWrite_ || RulesOf(step).writes;
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
    NoteOtherCard(*reply, from);
    // What a step reads is taken only when it is whole; otherwise it is awaited still.
    const auto take = [this](std::string_view payload) {
        switch (*operation_.step()) {
            case Step::Identify:
                return ParseDiscoverReply(payload).has_value();
            case Step::Configure: {
                // The factory account's answer only says that the card took it.
                DeviceConfiguration scratch;
                return ParseConfigureReply(payload,
                                           phase_ == Phase::FactoryTry ? scratch : configuration_);
            }
            case Step::Snmpv3:
                return ParseSnmpv3Reply(payload, users_);
            default:
                return true;
        }
    };
    const ReplyMeaning meaning = operation_.OnReply(*reply, from, take);
    using Kind = ReplyMeaning::Kind;
    if (phase_ == Phase::FactoryTry) {
        if (meaning.kind != Kind::Other) {
            FactoryTried(meaning.kind == Kind::Answered          ? std::optional<bool>(true)
                         : meaning.kind == Kind::AccountMismatch ? std::optional<bool>(false)
                                                                 : std::nullopt);
        }
        return {};
    }
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
        if (accounts_) {
            if (const auto line = accounts_->For(address_, one.row(0).macAddress)) {
                account_ = line->account;
                password_ = line->password;
            } else if (!withoutLine_) {
                operation_.Identified(one.row(0));
                return Refuse("no line of the accounts file names this card (" +
                              one.row(0).macAddress + ") and no password was given");
            }
        }
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
    const DeviceConfiguration configurationRead = configuration_;
    const UsmConfiguration usersRead = users_;
    if (auto refusal = CheckAfter(done)) {
        return Refuse(std::move(*refusal));
    }
    NoteChanges(done, configurationRead, usersRead);
    usersRead_ = usersRead_ || done == Step::Snmpv3;
    const std::optional<Step> next = operation_.NextStep();
    if (operation_.operation() == Operation::Audit && done != Step::Identify &&
        (!next || !GatesFor(operation_.card().version, operation_.card().model).showSnmpv3)) {
        return TryFactoryAccount();
    }
    if (!next) {
        Finish(Result::Done, meaning.message ? meaning.message->text : "");
        return {};
    }
    if (!RulesOf(*next).writes) {
        return Begin(*next);
    }
    if (AlreadyAsAsked()) {
        unchanged_ = true;
        Finish(Result::Done, "already as asked: nothing written");
        return {};
    }
    return Write(*next);
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
        // An audit reads the users of a card that has them; the other commands need them.
        const std::span<const Step> steps = StepsOf(operation);
        if (std::find(steps.begin(), steps.end(), Step::Snmpv3) != steps.end() &&
            !gates.showSnmpv3 && operation != Operation::Audit) {
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

void CardTask::NoteChanges(Step step, const DeviceConfiguration& configurationRead,
                           const UsmConfiguration& usersRead) {
    const Operation operation = operation_.operation();
    const DeviceEntry& card = operation_.card();
    if (step == Step::Identify && operation == Operation::Upgrade &&
        (job_.firmwareVersion.empty() ||
         ReadVersion(card.version) != ReadVersion(job_.firmwareVersion))) {
        changes_.push_back({"version", card.version,
                            job_.firmwareVersion.empty() ? "(the file's)" : job_.firmwareVersion});
    }
    if (step == Step::Configure && operation == Operation::WriteConfiguration) {
        const DialogGates gates = GatesFor(card.version, card.model);
        const std::vector<NamedValue> before = ReadConfigurationFields(configurationRead, gates);
        const std::vector<NamedValue> after = ReadConfigurationFields(configuration_, gates);
        for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
            if (before[i].value != after[i].value) {
                changes_.push_back({before[i].name, before[i].value, after[i].value});
            }
        }
        if (changes_.empty() && configurationRead != configuration_) {
            changes_.push_back({"(record)", "(as read)", "(as the form writes it)"});
        }
    }
    if (step == Step::Snmpv3 && operation == Operation::WriteUsers && job_.context) {
        if (usersRead.contextName != users_.contextName) {
            changes_.push_back({"context-name", usersRead.contextName, users_.contextName});
        }
    }
    if (step == Step::Snmpv3 && operation == Operation::WriteUsers && !job_.context) {
        const int row = job_.user.index;
        const std::string prefix = "user-" + std::to_string(row) + "-";
        const auto& name = usersRead.userNames[static_cast<std::size_t>(row)];
        const int level = LevelOf(usersRead.securityLevels, row);
        if (name != users_.userNames[static_cast<std::size_t>(row)]) {
            changes_.push_back(
                {prefix + "name", name, users_.userNames[static_cast<std::size_t>(row)]});
        }
        if (level != job_.user.level) {
            changes_.push_back({prefix + "level", LevelName(level), LevelName(job_.user.level)});
        }
        // The keys are never read back: unless the agent answered with the passwords, they
        // are written.
        if (job_.user.level > NoAuthNoPriv && !(changes_.empty() && userAnswers_)) {
            changes_.push_back({prefix + "keys", "(not known)", "(from the passwords given)"});
        }
    }
}

std::vector<Outgoing> CardTask::TryFactoryAccount() {
    if (account_ == kFactoryAccount && password_ == kFactoryPassword) {
        FactoryTried(true);  // it was just read with it
        return {};
    }
    DeviceEntry factory = operation_.card();
    factory.account = kFactoryAccount;
    factory.password = kFactoryPassword;
    operation_.Identified(factory);
    phase_ = Phase::FactoryTry;
    return operation_.Begin(Step::Configure);
}

void CardTask::FactoryTried(std::optional<bool> accepted) {
    factoryAccepted_ = accepted;
    DeviceEntry card = operation_.card();
    card.account = account_;
    card.password = password_;
    operation_.Identified(card);
    operation_.Expire();
    Finish(Result::Done, "");
}

void CardTask::NoteOtherCard(const Reply& reply, const Ipv4Address& from) {
    const std::string& mac = operation_.card().macAddress;
    if (reply.command != ReplyCommand::Discover || from != address_ || mac.empty()) {
        return;
    }
    // A few name the fault; a host that answers with ever new MAC addresses gets no more room.
    constexpr std::size_t kMostOtherCards = 8;
    const auto other = ParseDiscoverReply(reply.payload);
    if (other && other->macAddress != mac && otherMacs_.size() < kMostOtherCards &&
        std::find(otherMacs_.begin(), otherMacs_.end(), other->macAddress) == otherMacs_.end()) {
        otherMacs_.push_back(other->macAddress);
    }
}

bool CardTask::AlreadyAsAsked() const {
    const Operation operation = operation_.operation();
    const bool setsSomething = operation == Operation::WriteConfiguration ||
                               operation == Operation::WriteUsers ||
                               operation == Operation::Upgrade;
    return setsSomething && changes_.empty();
}

std::vector<Outgoing> CardTask::Write(Step step) {
    if (checkOnly_ && !holdBeforeWriting_) {
        Finish(Result::Done, "not written: --check");
        return {};
    }
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
    return Write(heldStep_);
}

void CardTask::Abandon(std::string message) {
    if (held()) {
        Finish(Result::BadInput, std::move(message));
    }
}

void CardTask::HoldBack(const Ipv4Address& by, Result byResult) {
    if (held()) {
        heldBy_ = by;
        Finish(byResult, "not written: " + FormatDottedAddress(by) + " did not pass (" +
                             std::string(ResultName(byResult)) + "); --keep-going writes the rest");
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
        case Phase::FactoryTry:
            if (operation_.Tick()) {
                FactoryTried(std::nullopt);
            }
            return {};
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
