// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/protocol/Messages.h"

#include <algorithm>
#include <array>

#include "base/TextNumbers.h"
#include "core/protocol/DatagramCodec.h"

namespace parvolink {

void AppendField(std::string& line, std::string_view text) {
    line.append(text);
    line.push_back(wire::kFieldEnd);
}

void AppendTextField(std::string& line, std::string_view text) {
    const std::size_t start = line.size();
    AppendField(line, text);
    std::replace(line.begin() + static_cast<std::ptrdiff_t>(start), line.end() - 1, '\t', ' ');
}

std::string DiscoverLine() {
    std::string line;
    AppendField(line, wire::kRequestTag);
    AppendField(line, wire::kDiscover);
    return line;
}

std::string IdentityLine(std::string_view command, const DeviceEntry& row) {
    std::string line;
    AppendField(line, wire::kRequestTag);
    AppendField(line, command);
    AppendField(line, row.ipAddress);
    AppendField(line, row.macAddress);
    AppendTextField(line, row.account);
    AppendTextField(line, row.password);
    return line;
}

std::string UpgradeLine(const DeviceEntry& row) {
    std::string line;
    AppendField(line, wire::kRequestTag);
    AppendField(line, wire::kUpgrade);
    AppendTextField(line, row.account);
    AppendTextField(line, row.password);
    return line;
}

std::optional<std::string_view> FieldReader::Next() {
    const std::size_t end = rest_.find(wire::kFieldEnd);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view field = rest_.substr(0, end);
    rest_.remove_prefix(end + 1);
    return field;
}

std::optional<Reply> ParseReply(std::string_view datagram) {
    if (datagram.size() > wire::kReceiveBufferSize) {
        return std::nullopt;
    }
    std::string text = DatagramCodec::DecodeText(datagram);
    if (text.empty()) {
        return std::nullopt;
    }
    text.resize(std::min(text.size(), text.find('\0')));
    FieldReader fields(text);
    const auto tag = fields.Next();
    if (!tag || *tag != wire::kReplyTag) {
        return std::nullopt;
    }
    const auto command = fields.Next();
    if (!command) {
        return std::nullopt;
    }
    static constexpr std::array<std::pair<std::string_view, ReplyCommand>, 7> kCommands = {{
        {wire::kDiscover, ReplyCommand::Discover},
        {wire::kConfigure, ReplyCommand::Configure},
        {wire::kSetConfigure, ReplyCommand::SetConfigure},
        {wire::kUpgrade, ReplyCommand::Upgrade},
        {wire::kSnmpv3, ReplyCommand::Snmpv3},
        {wire::kSetSnmpv3, ReplyCommand::SetSnmpv3},
        {wire::kError, ReplyCommand::Error},
    }};
    for (const auto& [name, value] : kCommands) {
        if (*command == name) {
            return Reply{value, std::string(fields.Rest())};
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> FirstField(std::string_view payload) {
    return FieldReader(payload).Next();
}

std::optional<DiscoverReply> ParseDiscoverReply(std::string_view payload) {
    FieldReader fields(payload);
    const auto ip = fields.Next();
    const auto mac = fields.Next();
    const auto version = fields.Next();
    const auto model = fields.Next();
    if (!ip || !mac || !version || !model) {
        return std::nullopt;
    }
    DiscoverReply reply{std::string(*ip),    std::string(*mac), std::string(*version),
                        std::string(*model), std::nullopt,      "512K"};
    if (const auto hostName = fields.Next()) {
        reply.hostName = std::string(*hostName);
        const auto flash = fields.Next();
        if (flash && !flash->empty() && flash->front() == '1') {
            reply.flashSize = "256K";
        }
    }
    return reply;
}

std::optional<std::size_t> ApplyDiscoverReply(DeviceList& list, const DiscoverReply& reply) {
    std::optional<std::size_t> index;
    if (const int found = list.FindRowByIp(reply.ipAddress); found != DeviceList::kNone) {
        index = static_cast<std::size_t>(found);
    } else {
        DeviceEntry entry;
        entry.passwordMask = devices::kPasswordUnknown;
        index = list.Append(std::move(entry));
        if (!index) {
            return std::nullopt;  // no room for another card: the reply is dropped
        }
        list.Select(static_cast<int>(*index));
    }
    DeviceEntry& row = list.row(*index);
    const bool sameDiscover = row.answeredInDiscover == list.discover();
    if (!sameDiscover) {
        row.otherMacAddress.clear();
    }
    if (sameDiscover && !row.macAddress.empty() && row.macAddress != reply.macAddress) {
        row.otherMacAddress = row.macAddress;  // two cards answer at one address
    }
    row.answeredInDiscover = list.discover();
    row.ipAddress = reply.ipAddress;
    row.macAddress = reply.macAddress;
    row.version = reply.version;
    row.model = reply.model;
    if (reply.hostName) {
        row.hostName = *reply.hostName;
    }
    row.flashSize = reply.flashSize;
    return index;
}

std::optional<std::string> deviceTarget(std::string_view rowAddress,
                                        const Ipv4Address& hostAddress) {
    Ipv4Address card{};
    if (!ParseDottedAddress(rowAddress, card)) {
        return std::nullopt;
    }
    // The classful network of the PC's own address decides what counts as local.
    std::size_t networkOctets = 0;
    if (hostAddress[0] < 128) {
        networkOctets = 1;
    } else if (hostAddress[0] < 192) {
        networkOctets = 2;
    } else if (hostAddress[0] < 224) {
        networkOctets = 3;
    }
    const bool local = networkOctets > 0 &&
                       std::equal(card.begin(), card.begin() + networkOctets, hostAddress.begin());
    return local ? FormatDottedAddress(card) : std::string(wire::kBroadcast);
}

}  // namespace parvolink
