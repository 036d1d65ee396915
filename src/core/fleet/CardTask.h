// SPDX-License-Identifier: GPL-3.0-or-later
// One command carried out on one card, for programs that work on many cards at once: the card
// is first identified by a Discover sent to its address (its MAC address, version, model and
// flash size), then asked with the same requests, countdowns and checks as the window uses.
// No I/O: it takes datagrams and one-second ticks and says what to send.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/DottedAddress.h"
#include "core/config/DeviceConfiguration.h"
#include "core/config/UsmConfiguration.h"
#include "core/devices/DeviceList.h"
#include "core/fleet/ConfigurationFields.h"
#include "core/protocol/Exchange.h"

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

struct Job {
    enum class Kind {
        Identify,
        ReadConfiguration,
        WriteConfiguration,
        ResetConfiguration,
        ReadUsers,
        WriteUser,
        WriteContext,
        ResetUsers,
        Upgrade,
    };
    Job(Kind k = Kind::Identify) : kind(k) {}  // NOLINT: a job is named by its kind

    Kind kind;
    std::vector<FieldChange> changes;  // WriteConfiguration
    struct User {
        int index = 0;
        std::string name;
        int level = 0;
        std::string authPassword;
        std::string privPassword;
    } user;                          // WriteUser
    std::string context;             // WriteContext
    std::filesystem::path firmware;  // Upgrade: checked against the card's flash size
    // Upgrade: after the transfer, ask the card (a Discover to its address every
    // kConfirmEveryTicks seconds, for at most confirmSeconds) until it comes back running the
    // file's version; done only then.
    bool confirm = false;
    int confirmSeconds = 300;
    std::string firmwareVersion;  // the file's version field
};

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

    // The first request.
    [[nodiscard]] std::vector<Outgoing> Start();
    // A datagram from this card's socket: the Discover reply only from the card's address,
    // the replies awaited after it from any sender.
    [[nodiscard]] std::vector<Outgoing> OnDatagram(std::string_view datagram,
                                                   const Ipv4Address& from);
    // One second.
    [[nodiscard]] std::vector<Outgoing> Tick();

    bool finished() const { return stage_ == Stage::Finished; }

    // A fleet is written all or nothing: with hold set, the task stops before its first write
    // (SetConfigure, Reset, SetSNMPv3, ResetSNMPv3, Upgrade), every check passed, until the
    // host says Proceed (the write's requests) or Abandon (it ends as bad input, unwritten).
    void HoldBeforeWriting(bool hold) { holdBeforeWriting_ = hold; }
    bool held() const { return stage_ == Stage::Held; }
    // True from the first write sent until the task ends: a card may be changing now.
    bool writing() const;
    [[nodiscard]] std::vector<Outgoing> Proceed();
    void Abandon(std::string message);
    // After an "OK" to Upgrade: the card now fetches the file; the host follows the transfer,
    // says when it has begun, and ends the task with FinishFetch. A card that has not asked
    // for the file kFirstRequestTicks seconds after its "OK" ends with no response.
    static constexpr int kFirstRequestTicks = 15;
    static constexpr int kConfirmEveryTicks = 2;
    bool fetching() const { return stage_ == Stage::Fetch; }
    // From the Upgrade request on until the fetch ends: a fast card's transfer may end before
    // its "OK" is read, and that end must not be lost.
    bool expectsFetch() const { return fetching() || stage_ == Stage::Upgrade; }
    void FetchStarted() { fetchStarted_ = true; }
    void FinishFetch(Result result, std::string message);
    // Ends the task for a fault of the host's own (no socket, say).
    void Fail(Result result, std::string message) { Finish(result, std::move(message)); }

    Result result() const { return result_; }
    // What the window would have said, on one line; empty when there is nothing to say.
    const std::string& message() const { return message_; }
    const Ipv4Address& address() const { return address_; }
    // The card as its Discover reply described it (with the account and password given).
    const DeviceEntry& card() const { return card_; }
    const DeviceConfiguration& configuration() const { return configuration_; }
    const UsmConfiguration& users() const { return users_; }

private:
    enum class Stage {
        Identify,
        Configure,
        SetConfigure,
        Reset,
        Snmpv3,
        SetSnmpv3,
        ResetSnmpv3,
        Upgrade,
        Fetch,
        Confirm,  // transferred: waiting for the card to come back with the new version
        Held,
        Finished,
    };

    // Sends the stage's request and starts its countdown.
    std::vector<Outgoing> Begin(Stage stage);
    // What follows the reply the current stage awaited.
    std::vector<Outgoing> Advance();
    // After the card's identity, its configuration and its SNMPv3 users: the checks of the job
    // and the next stage.
    std::vector<Outgoing> AfterIdentify();
    std::vector<Outgoing> AfterConfigure();
    std::vector<Outgoing> AfterSnmpv3();
    // Ends the task as bad input: nothing was written.
    std::vector<Outgoing> Refuse(std::string message);
    // Confirm: one second of the wait, and the card's answer.
    std::vector<Outgoing> ConfirmTick();
    void Confirmed(const std::string& version);
    // Begins a stage that writes to the card, or holds before it.
    std::vector<Outgoing> Write(Stage stage);
    void Finish(Result result, std::string message);
    // The exchange a stage carries out.
    static Step StepOf(Stage stage);

    Ipv4Address address_;
    std::string account_;
    std::string password_;
    Ipv4Address hostAddress_;
    Job job_;
    Stage stage_ = Stage::Identify;
    int countdown_ = 0;
    bool fetchStarted_ = false;
    bool holdBeforeWriting_ = false;
    std::string versionSeen_;  // Confirm: the version the card last came back with
    // A transfer that ended before the card's "OK" was read: applied when it is.
    std::optional<std::pair<Result, std::string>> earlyFetchEnd_;
    Stage heldStage_ = Stage::Finished;
    DeviceEntry card_;
    DeviceConfiguration configuration_;
    UsmConfiguration users_;
    Result result_ = Result::Done;
    std::string message_;
};

}  // namespace parvolink::fleet
