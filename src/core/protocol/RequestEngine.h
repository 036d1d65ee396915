// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the management operations, times each with a one-second tick and a countdown, acts on
// the replies, and carries an operation forward on the tick after its reply arrived. Dialogs,
// messages, timers and sockets belong to the host.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/DottedAddress.h"
#include "base/Message.h"
#include "core/devices/Accounts.h"
#include "core/devices/DeviceList.h"
#include "core/protocol/CardOperation.h"

namespace parvolink {

enum class PendingReply {
    Idle = 0,
    ConfigureReady = 1,
    AwaitingSetConfigure = 2,
    AwaitingUpgrade = 3,
    Snmpv3Ready = 4,
    AwaitingSetSnmpv3 = 5,
};

// How a modal sequence (configuration dialog, SNMPv3 user dialog) ended.
struct SequenceOutcome {
    enum class Kind { Cancelled, Reset, Accepted };
    Kind kind = Kind::Cancelled;
    std::string payload;  // with Accepted: the fields that follow the identity fields
};

class EngineHost {
public:
    virtual ~EngineHost() = default;
    virtual void EnableButtons(bool on) = 0;
    // (Re)starts the one-second operation timer; false when it cannot be started.
    virtual bool StartOperationTimer() = 0;
    virtual void StopOperationTimer() = 0;
    // Sends encoded bytes to port 3456 of host (a dotted address or a name); false on failure.
    virtual bool SendDatagram(std::string_view wire, std::string_view host) = 0;
    // Modal; returns when the user has closed it, or at once when it has to wait for another
    // message on screen (or is merged with the same unasked message).
    virtual void ShowMessage(const Message& message, MessageOrigin origin) = 0;
    // The device list's rows or selection changed.
    virtual void DeviceListChanged() = 0;
    // A "Configure" or "SNMPv3" reply's payload, to be kept for the dialog that shows it.
    // False when it is not taken (malformed, or its dialog is open): no dialog then follows.
    virtual bool StoreConfiguration(std::string_view payload) = 0;
    virtual bool StoreUserTable(std::string_view payload) = 0;
    // Run the configuration dialog, or the SNMPv3 user dialog, modally on what was stored, for
    // card: the card of the operation, fixed when it began.
    virtual SequenceOutcome RunConfigurationSequence(const DeviceEntry& card) = 0;
    virtual SequenceOutcome RunSnmpv3Sequence(const DeviceEntry& card) = 0;
    // A SetSNMPv3 was answered "OK" (after its message): the user written to card may be
    // verified.
    virtual void SnmpUserAccepted(const DeviceEntry& /*card*/) {}
};

class RequestEngine {
public:
    RequestEngine(DeviceList& list, EngineHost& host) : list_(list), host_(host) {}
    RequestEngine(const RequestEngine&) = delete;
    RequestEngine& operator=(const RequestEngine&) = delete;

    PendingReply pendingReply() const { return pendingReply_; }
    int countdown() const { return countdown_; }
    void SetHostAddress(const Ipv4Address& address) { hostAddress_ = address; }
    // A row a Discover lists whose account was never given takes its line of accounts.
    void UseAccounts(std::shared_ptr<const Accounts> accounts) { accounts_ = std::move(accounts); }
    const Ipv4Address& hostAddress() const { return hostAddress_; }

    // One second of the operation timer.
    void Tick();

    // A datagram read from the management socket, sent from the address from: decoded,
    // checked and acted on, or dropped.
    void OnDatagram(std::string_view datagram, const Ipv4Address& from);

    // "&Configuration...": the Configure request to the selected row, countdown 3. That row,
    // as it is now, is the card of the whole configuration: its reply is taken only before the
    // countdown ends, and what follows goes to it whatever is selected by then.
    void OnConfiguration();
    // The SNMPv3 button of the configuration dialog: the SNMPv3 request to the card being
    // configured (the selected row when there is none), countdown 5.
    void StartSnmpv3Query();
    // An operation of countdown ticks begins: timer, countdown, buttons off. Replies awaited
    // by an earlier operation are no longer taken.
    void BeginOperation(int ticks);
    // "Upgrade Now": the Upgrade request, once, to the selected row's own address (never a
    // broadcast; nothing when that is not a dotted quad), then the reply is awaited.
    void SendUpgradeRequest();
    void SetAwaitingUpgrade() { pendingReply_ = PendingReply::AwaitingUpgrade; }

private:
    // Timer, countdown, buttons off.
    void StartCountdown(int ticks);
    void OnConfigureReady();
    void OnSnmpv3Ready();
    void OnErrorReply(const ReplyMeaning& meaning);
    // A "Configure" or "SNMPv3" reply, taken by the operation awaiting it and kept by the host
    // with store: the dialog opens on the next tick, as ready says.
    void OnRead(const Reply& reply, const Ipv4Address& from,
                bool (EngineHost::*store)(std::string_view), PendingReply ready);
    // A write's reply, taken whenever it comes, as the cards' own programs take it.
    void OnWriteReply(Step step, const Reply& reply);
    // The step's requests to the card of the operation; nothing without one.
    void SendStep(Step step, std::string_view payload);
    void SendAll(const std::vector<Outgoing>& requests);
    // A request was sent whose answer the user waits for: the first answer is its result.
    void ExpectResult() { resultOwed_ = true; }
    // Shows what a reply or a tick means: the result of the request awaited when one is owed,
    // else traffic nobody asked for.
    void Report(const Message& message);

    // Gives a listed row without an account its line of accounts_, if one names it.
    void FillAccount(std::size_t index);

    DeviceList& list_;
    std::shared_ptr<const Accounts> accounts_;
    EngineHost& host_;
    Ipv4Address hostAddress_{};
    PendingReply pendingReply_ = PendingReply::Idle;
    int countdown_ = 0;
    // The card operation under way: the card asked, fixed when it began, and the step awaited.
    std::optional<CardOperation> operation_;
    bool resultOwed_ = false;
};

}  // namespace parvolink
