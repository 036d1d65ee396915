// SPDX-License-Identifier: GPL-3.0-or-later
// One request step of one card, written once for the window's request engine and for the
// command line's card task: the line it sends and where (the card, the broadcast copy, or the
// card's own address only), its countdown, the reply that completes it, and what every reply
// and silence mean, as a kind and a message. The engine and the task only put steps in order
// and present what they mean.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/DottedAddress.h"
#include "base/Message.h"
#include "core/devices/DeviceList.h"
#include "core/protocol/Messages.h"

namespace parvolink {

// The countdowns of the steps, in seconds, and what their replies and silences say.
namespace exchange {
constexpr int kDiscoverTicks = 3;
constexpr int kConfigureTicks = 3;
constexpr int kSnmpv3Ticks = 5;
constexpr int kSetConfigureTicks = 10;
constexpr int kSetSnmpv3Ticks = 5;
constexpr int kUpgradeTicks = 15;

inline const Message kUpdateSuccessfully{"Update successfully.", "Parvolink", MessageIcon::None};
inline const Message kUsmUpdateSuccessfully{"Update SNMPv3 USM successfully.", "Parvolink",
                                            MessageIcon::None};
inline const Message kPacketMismatch{"Packet format mismatched.", "Error", MessageIcon::None};
inline const Message kAccountMismatch{"Account or Password mismatched.", "Error",
                                      MessageIcon::None};
inline const Message kNoResponse{"No response from the SNMP/Web device.", "Warning",
                                 MessageIcon::Warning};
inline const Message kUpgradeNoResponse{
    "No response from the SNMP/Web device.\n\nPlease make sure both of the IP addresses of\n"
    "the SNMP/Web device and this PC are in the same LAN.",
    "Error", MessageIcon::Warning};
inline const Message kResetting{"Please wait while the SNMP card is resetting.", "Information",
                                MessageIcon::Information};
}  // namespace exchange

enum class Step {
    Identify,
    Configure,
    SetConfigure,
    Reset,
    Snmpv3,
    SetSnmpv3,
    ResetSnmpv3,
    Upgrade
};

// An encoded request and the host text it goes to (port 3456).
struct Outgoing {
    std::string wire;
    std::string host;
    bool operator==(const Outgoing&) const = default;
};

struct StepRules {
    // Where a step's request goes: to the card (its address, or 255.255.255.255 when it is not
    // on this PC's classful network), that and once more to 255.255.255.255, or only ever to
    // the card's own address (never a broadcast).
    enum class Road { Card, CardAndBroadcast, CardAddressOnly };
    Road road;
    std::optional<ReplyCommand> awaited;  // the reply that completes it; none: nothing answers
    int ticks;                            // its countdown, in seconds
    const Message* silence;               // what the countdown running out means
    bool writes;                          // it changes the card
};
const StepRules& RulesOf(Step step);

// The requests of step for card, with payload after the identity fields: encoded, to the
// hosts of its road. None when the card's address is not a dotted quad. hostAddress is this
// PC's, for the direct-or-broadcast rule.
std::vector<Outgoing> Requests(Step step, const DeviceEntry& card, std::string_view payload,
                               const Ipv4Address& hostAddress);

// What a reply means to a step awaiting it.
struct ReplyMeaning {
    enum class Kind {
        Other,            // not this step's reply (another command, or a malformed one)
        Answered,         // its reply, and "OK" where a status is given
        NotOk,            // its reply with another status: the card did not take the request
        PacketMismatch,   // "Error" '1'
        AccountMismatch,  // "Error" '2'
    };
    Kind kind = Kind::Other;
    std::string payload;             // Answered: the fields after the command; NotOk: the status
    std::optional<Message> message;  // what the user is told of it
};
ReplyMeaning Interpret(Step step, const Reply& reply);

// An "Error" reply's meaning, whatever step (if any) awaits it; Other for an unknown code.
ReplyMeaning InterpretError(std::string_view payload);

}  // namespace parvolink
