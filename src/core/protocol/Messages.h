// SPDX-License-Identifier: GPL-3.0-or-later
// The management protocol's lines: tab-terminated fields, the tag, the command, the payload.
// Requests are built here; replies are split and typed here. No I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/DottedAddress.h"
#include "core/devices/DeviceList.h"

namespace parvolink {

namespace wire {
constexpr std::uint16_t kManagementPort = 3456;
constexpr std::size_t kReceiveBufferSize = 512;  // longer datagrams are dropped
constexpr char kFieldEnd = '\t';
constexpr std::string_view kRequestTag = "Parvolink";
constexpr std::string_view kReplyTag = "QorinWebConfig";
constexpr std::string_view kBroadcast = "255.255.255.255";
constexpr std::string_view kOk = "OK";

constexpr std::string_view kDiscover = "Discover";
constexpr std::string_view kConfigure = "Configure";
constexpr std::string_view kSetConfigure = "SetConfigure";
constexpr std::string_view kReset = "Reset";
constexpr std::string_view kSnmpv3 = "SNMPv3";
constexpr std::string_view kSetSnmpv3 = "SetSNMPv3";
constexpr std::string_view kResetSnmpv3 = "ResetSNMPv3";
constexpr std::string_view kUpgrade = "Upgrade";
constexpr std::string_view kError = "Error";
}  // namespace wire

// Appends text and its terminating TAB to line.
void AppendField(std::string& line, std::string_view text);
// The same for text the user typed: a TAB inside it would shift every later field, so it is
// sent as a space.
void AppendTextField(std::string& line, std::string_view text);

// "Parvolink\tDiscover\t".
std::string DiscoverLine();
// The tag, command and the row's identity fields: address text as shown, MAC address,
// account and hidden password. Built whole whatever the texts' lengths.
std::string IdentityLine(std::string_view command, const DeviceEntry& row);
// "Parvolink\tUpgrade\t<account>\t<password>\t".
std::string UpgradeLine(const DeviceEntry& row);

// Reads tab-terminated fields one after the other.
class FieldReader {
public:
    explicit FieldReader(std::string_view text) : rest_(text) {}
    // The next field, or nothing when no TAB ends it (the reader then stays where it was).
    std::optional<std::string_view> Next();
    // What follows the fields read so far.
    std::string_view Rest() const { return rest_; }

private:
    std::string_view rest_;
};

enum class ReplyCommand { Discover, Configure, SetConfigure, Upgrade, Snmpv3, SetSnmpv3, Error };

struct Reply {
    ReplyCommand command;
    std::string payload;  // the text after the command's TAB
};

// Decodes a datagram and checks its tag and command. Nothing for a datagram that does not
// decode, lacks the TABs ending tag or command, has another tag or an unknown command. The
// decoded text ends at its first NUL.
std::optional<Reply> ParseReply(std::string_view datagram);

// The first field of a payload; nothing when no TAB ends it.
std::optional<std::string_view> FirstField(std::string_view payload);

struct DiscoverReply {
    std::string ipAddress;
    std::string macAddress;
    std::string version;
    std::string model;
    std::optional<std::string> hostName;  // only when field 5 ends with a TAB
    std::string flashSize;                // "256K" or "512K"
};

// Nothing when any of the first four fields lacks its TAB.
std::optional<DiscoverReply> ParseDiscoverReply(std::string_view payload);

// Writes the reply into the list: the row whose address text equals the reply's, or a new row
// (password unknown, selected) appended at the end. An existing row keeps its account,
// password and selection. A reply whose MAC address differs from the one that answered for the
// row in the same Discover flags the row (otherMacAddress); the first answer of a later Discover
// clears the flag. Returns the row's index; nothing when a new row was needed but the list is
// full.
std::optional<std::size_t> ApplyDiscoverReply(DeviceList& list, const DiscoverReply& reply);

// Where a request to the card at rowAddress goes: its normalised address when it is on the
// classful network of hostAddress, else "255.255.255.255"; nothing when rowAddress is not a
// dotted quad (such a request is not sent).
std::optional<std::string> deviceTarget(std::string_view rowAddress,
                                        const Ipv4Address& hostAddress);

}  // namespace parvolink
