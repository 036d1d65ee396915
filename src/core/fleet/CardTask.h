// SPDX-License-Identifier: GPL-3.0-or-later
// One command carried out on one card, for programs that work on many cards at once: the card
// is first identified by a Discover sent to its address (its MAC address, version, model and
// flash size), then asked with the same requests, countdowns and checks as the window uses.
// No I/O: it takes datagrams and one-second ticks and says what to send.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/DottedAddress.h"
#include "core/config/DeviceConfiguration.h"
#include "core/config/UsmConfiguration.h"
#include "core/devices/Accounts.h"
#include "core/devices/DeviceList.h"
#include "core/fleet/ConfigurationFields.h"
#include "core/protocol/CardOperation.h"

namespace parvolink::fleet {

// How a card's command ended; the numbers are the command line's exit codes.
enum class Result {
    Done = 0,
    Refused = 1,     // the card said no, or answered "Error"
    BadInput = 2,    // the request cannot be made as given; nothing was written
    NoResponse = 3,  // the card did not answer in time
    LocalFault = 4,  // this PC could not do its part
};
std::string_view ResultName(Result result);

// A setting a write changes: as the card has it, and as it would have it.
struct Change {
    std::string field;
    std::string before;
    std::string after;
    bool operator==(const Change&) const = default;
};

// What a card task does: an operation of the card operation machine, and what it writes.
struct Job {
    Job(Operation o = Operation::Identify) : operation(o) {}  // NOLINT: named by its operation

    Operation operation;
    std::vector<FieldChange> changes;  // WriteConfiguration
    // WriteUsers: the user written, or the context name when one is given.
    struct User {
        int index = 0;
        std::string name;
        int level = 0;
        std::string authPassword;
        std::string privPassword;
    } user;
    std::optional<std::string> context;
    std::filesystem::path firmware;  // Upgrade: checked against the card's flash size
    // Upgrade: after the transfer, ask the card (a Discover to its address every
    // kConfirmEveryTicks seconds, for at most confirmSeconds) until it comes back running the
    // file's version; done only then.
    bool confirm = false;
    int confirmSeconds = 300;
    std::string firmwareVersion;  // the file's version field
};

// The account every card leaves the factory with (the account dialog's hints).
inline constexpr std::string_view kFactoryAccount = "admin";
inline constexpr std::string_view kFactoryPassword = "lanterns";

// What can be refused before any card is asked: values no card's form takes (a port of 99999,
// a bad date, a mask with gaps), SNMPv3 passwords too short for the level. The first fault as
// one line; nothing when the job may go to the cards.
std::optional<std::string> CheckWithoutCard(const Job& job);

class CardTask {
public:
    // address: the card's dotted address. hostAddress: this PC's, for the direct-or-broadcast
    // rule of the window.
    CardTask(const Ipv4Address& address, std::string account, std::string password,
             const Ipv4Address& hostAddress, Job job);

    // Once the card is identified, its account and password are those of the first line of
    // accounts that names it (by address or MAC address); a card no line names keeps the ones
    // given, or with withoutLine false is refused unasked.
    void UseAccounts(std::shared_ptr<const Accounts> accounts, bool withoutLine) {
        accounts_ = std::move(accounts);
        withoutLine_ = withoutLine;
    }

    // The first request.
    [[nodiscard]] std::vector<Outgoing> Start();
    // A datagram from this card's socket: the Discover reply only from the card's address,
    // the replies awaited after it from any sender.
    [[nodiscard]] std::vector<Outgoing> OnDatagram(std::string_view datagram,
                                                   const Ipv4Address& from);
    // One second.
    [[nodiscard]] std::vector<Outgoing> Tick();

    bool finished() const { return phase_ == Phase::Finished; }

    // A fleet is written all or nothing: with hold set, the task stops before its first write
    // (SetConfigure, Reset, SetSNMPv3, ResetSNMPv3, Upgrade), every check passed, until the
    // host says Proceed (the write's requests) or Abandon (it ends as bad input, unwritten).
    void HoldBeforeWriting(bool hold) { holdBeforeWriting_ = hold; }
    bool held() const { return phase_ == Phase::Held; }
    // True from the first write sent until the task ends: a card may be changing now.
    bool writing() const;
    // True once a write's request (SetConfigure, Reset, SetSNMPv3, ResetSNMPv3, Upgrade) was
    // sent: the card may have been changed.
    bool sentWrite() const { return sentWrite_; }
    [[nodiscard]] std::vector<Outgoing> Proceed();
    void Abandon(std::string message);
    // Ends a held task because another card did not pass: it takes that card's result, so
    // that the run says why, and names it.
    void HoldBack(const Ipv4Address& by, Result byResult);
    // Nothing is written: the task ends where it would write, with what it would change.
    void CheckOnly(bool check) { checkOnly_ = check; }
    bool checkOnly() const { return checkOnly_; }
    // The user the job writes already answers on the card's agent with the job's passwords
    // (the card never gives its keys back): with the same name and level it is unchanged.
    void UserAlreadyAnswers(bool answers) { userAnswers_ = answers; }
    // After an "OK" to Upgrade: the card now fetches the file; the host follows the transfer,
    // says when it has begun, and ends the task with FinishFetch. A card that has not asked
    // for the file kFirstRequestTicks seconds after its "OK" ends with no response.
    static constexpr int kFirstRequestTicks = 15;
    static constexpr int kConfirmEveryTicks = 2;
    bool fetching() const { return phase_ == Phase::Fetch; }
    // From the Upgrade request on until the fetch ends: a fast card's transfer may end before
    // its "OK" is read, and that end must not be lost.
    bool expectsFetch() const;
    void FetchStarted() { fetchStarted_ = true; }
    void FinishFetch(Result result, std::string message);
    // Ends the task for a fault of the host's own (no socket, say).
    void Fail(Result result, std::string message) { Finish(result, std::move(message)); }

    Result result() const { return result_; }
    // The result's name: "unchanged" for a card already as asked, "held-back" for one held by
    // another card, else the result's own.
    std::string_view resultName() const;
    // The card was already as the job asks: nothing was sent to write it.
    bool unchanged() const { return unchanged_; }
    // The card that held this one back, when one did.
    const std::optional<Ipv4Address>& heldBy() const { return heldBy_; }
    // What the job changes (or, with CheckOnly, would change) on this card, once it is read.
    const std::vector<Change>& changes() const { return changes_; }
    // What the window would have said, on one line; empty when there is nothing to say.
    const std::string& message() const { return message_; }
    const Ipv4Address& address() const { return address_; }
    // The card as its Discover reply described it (with the account and password given).
    const DeviceEntry& card() const { return operation_.card(); }
    const DeviceConfiguration& configuration() const { return configuration_; }
    const UsmConfiguration& users() const { return users_; }
    // Audit: whether the SNMPv3 users were read (a card before version 2.0 has none), whether
    // the card takes the factory account (none: it did not answer the request made with it).
    bool usersRead() const { return usersRead_; }
    const std::optional<bool>& factoryAccountAccepted() const { return factoryAccepted_; }
    // The MAC addresses of other cards that answered a Discover for this card's address.
    const std::vector<std::string>& otherMacs() const { return otherMacs_; }

private:
    // Where the task is beside its operation's steps.
    enum class Phase {
        Steps,       // the operation's requests and replies
        Held,        // every check passed, waiting to write
        Fetch,       // the card fetches the firmware
        Confirm,     // transferred: waiting for the card to come back with the new version
        FactoryTry,  // audit: the configuration asked again, with the factory account
        Finished,
    };

    // Sends step's request (with what the job writes) and starts its countdown.
    std::vector<Outgoing> Begin(Step step);
    // The step awaited was answered: the job's checks of what it read, then the next step.
    std::vector<Outgoing> Advance(const ReplyMeaning& meaning);
    // The job's checks after what step read: the fault, or nothing when the job goes on.
    std::optional<std::string> CheckAfter(Step step);
    // Ends the task as bad input: nothing was written.
    std::vector<Outgoing> Refuse(std::string message);
    // Confirm: one second of the wait, and the card's answer.
    std::vector<Outgoing> ConfirmTick();
    void Confirmed(const std::string& version);
    // Audit, once the card is read: asks it once more with the factory account, unless that
    // is the account it was read with.
    std::vector<Outgoing> TryFactoryAccount();
    void FactoryTried(std::optional<bool> accepted);
    // A Discover reply from this card's address with another MAC address: a second card.
    void NoteOtherCard(const Reply& reply, const Ipv4Address& from);
    // Begins a step that writes to the card, or holds before it.
    std::vector<Outgoing> Write(Step step);
    // What the job would change, from what the card gave and the job: changes_.
    void NoteChanges(Step step, const DeviceConfiguration& configurationRead,
                     const UsmConfiguration& usersRead);
    // A job that writes settings (not a reset) with nothing to change.
    bool AlreadyAsAsked() const;
    void Finish(Result result, std::string message);

    Ipv4Address address_;
    std::string account_;
    std::string password_;
    Job job_;
    CardOperation operation_;
    Phase phase_ = Phase::Steps;
    int countdown_ = 0;  // Fetch and Confirm
    bool fetchStarted_ = false;
    bool holdBeforeWriting_ = false;
    bool checkOnly_ = false;
    std::shared_ptr<const Accounts> accounts_;
    bool withoutLine_ = true;
    bool sentWrite_ = false;
    bool userAnswers_ = false;
    bool unchanged_ = false;
    std::optional<Ipv4Address> heldBy_;
    std::vector<Change> changes_;
    std::string versionSeen_;  // Confirm: the version the card last came back with
    // A transfer that ended before the card's "OK" was read: applied when it is.
    std::optional<std::pair<Result, std::string>> earlyFetchEnd_;
    Step heldStep_ = Step::Identify;
    DeviceConfiguration configuration_;
    UsmConfiguration users_;
    bool usersRead_ = false;
    std::optional<bool> factoryAccepted_;
    std::vector<std::string> otherMacs_;
    Result result_ = Result::Done;
    std::string message_;
};

}  // namespace parvolink::fleet
