// SPDX-License-Identifier: GPL-3.0-or-later
// One operation on one card: its steps in order (one table row each), the card fixed when it
// starts, and what every reply means to the step awaited. The window's request engine and the
// command line's card task drive it, each under its named policy; neither decides by itself
// which reply completes a step. No I/O: it hands back the requests to send.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/DottedAddress.h"
#include "core/devices/DeviceList.h"
#include "core/protocol/Exchange.h"

namespace parvolink {

enum class Operation {
    Identify,
    ReadConfiguration,
    WriteConfiguration,
    ResetConfiguration,
    ReadUsers,
    WriteUsers,
    ResetUsers,
    Upgrade,
    // Reads what an audit looks at: the configuration, then (from version 2.0) the SNMPv3 users.
    Audit,
};

// Where the window and the command line must differ.
struct OperationPolicy {
    // The card is known by an address only and first says who it is, with a Discover to that
    // address (the command line); the window's rows are cards a Discover already described.
    bool identifiesFirst;
    // A reply other than "OK", or "Error", ends the step as refused (the command line). The
    // window gives its buttons back and keeps counting down to "No response", as its users
    // know it.
    bool endsOnRefusal;
};
inline constexpr OperationPolicy kWindowPolicy{.identifiesFirst = false, .endsOnRefusal = false};
inline constexpr OperationPolicy kCommandLinePolicy{.identifiesFirst = true, .endsOnRefusal = true};

// The operation's steps in order, Identify first.
std::span<const Step> StepsOf(Operation operation);

class CardOperation {
public:
    // card: as the window's row has it, or only its address for a policy that identifies it.
    // hostAddress: this PC's, for the direct-or-broadcast rule.
    CardOperation(Operation operation, DeviceEntry card, const OperationPolicy& policy,
                  const Ipv4Address& hostAddress);

    Operation operation() const { return operation_; }
    const DeviceEntry& card() const { return card_; }
    // The step sent last; none before the first.
    std::optional<Step> step() const { return step_; }
    // True while the step sent last awaits its reply and its countdown runs.
    bool awaiting() const { return awaiting_; }
    bool Awaits(Step step) const { return awaiting_ && step_ == step; }

    // The step after the one sent last in the operation's order (the first that the policy
    // does not skip, before any); none when the operation is complete.
    std::optional<Step> NextStep() const;
    // Sends step with payload after the identity fields: its requests (none when the card's
    // address is not a dotted quad), its countdown started, its reply awaited.
    [[nodiscard]] std::vector<Outgoing> Begin(Step step, std::string_view payload = "");
    // Goes on as another operation from the steps done so far: what the configuration dialog
    // chose (write, reset, or the SNMPv3 users).
    void Become(Operation operation) { operation_ = operation; }
    // The card as its own answer to Identify described it. Identify still goes to, and is
    // answered only from, the address the operation began with.
    void Identified(const DeviceEntry& card) { card_ = card; }

    // A reply, from any sender while its step is awaited (a card reached by the broadcast copy
    // may answer from another address); Identify's only from the card's own address. The
    // step's own reply completes it when take accepts its payload (no take: always); refusals
    // end it under a policy that says so. A Discover is never refused.
    ReplyMeaning OnReply(const Reply& reply, const Ipv4Address& from,
                         const std::function<bool(std::string_view)>& take = {});
    // One second of the step's countdown; its silence when the countdown runs out.
    std::optional<Message> Tick();
    // The host's own countdown ran out: nothing is awaited any more.
    void Expire() { awaiting_ = false; }

private:
    Operation operation_;
    DeviceEntry card_;
    std::string askedAt_;  // the card's address when the operation began
    OperationPolicy policy_;
    Ipv4Address hostAddress_;
    std::optional<Step> step_;
    bool awaiting_ = false;
    int countdown_ = 0;
};

}  // namespace parvolink
