// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/upgrade/TftpServer.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace parvolink {
namespace {

std::uint16_t Read16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint16_t>((d[at] << 8) | d[at + 1]);
}

// The text from at up to the next NUL, or to the end of the datagram.
std::string_view TextAt(std::span<const std::uint8_t> d, std::size_t& at) {
    const auto* begin = reinterpret_cast<const char*>(d.data()) + std::min(at, d.size());
    const std::size_t left = d.size() - std::min(at, d.size());
    const std::size_t length = strnlen(begin, left);
    at += length + 1;
    return {begin, length};
}

}  // namespace

TftpActions TftpServer::OnDatagram(std::span<const std::uint8_t> datagram, const TftpPeer& from) {
    TftpActions actions;
    if (datagram.size() > tftp::kReceiveBufferSize || datagram.size() < 2) {
        return actions;
    }
    switch (Read16(datagram, 0)) {
        case tftp::kOpRead:
            OnReadRequest(datagram, from, actions);
            break;
        case tftp::kOpAck:
            OnAck(datagram, from, actions);
            break;
        default:
            break;  // write requests, DATA, ERROR and anything else are not answered
    }
    return actions;
}

void TftpServer::OnReadRequest(std::span<const std::uint8_t> datagram, const TftpPeer& from,
                               TftpActions& actions) {
    std::size_t at = 2;
    const std::string_view name = TextAt(datagram, at);
    const std::string_view mode = TextAt(datagram, at);  // anything after it is ignored
    const auto refuse = [&](std::uint8_t code) {
        actions.sends.push_back({{from.address, tftp::kRefusalPort},
                                 std::string{'\0', static_cast<char>(tftp::kRefusalOpcode), '\0',
                                             static_cast<char>(code), '\0'}});
    };
    const ServedFirmware chosen = chosen_();
    if (name != chosen.name) {
        refuse(tftp::kRefusedFileName);
        return;
    }
    if (mode != "octet") {
        refuse(tftp::kRefusedMode);
        return;
    }
    int index = FindConnection(from.address);
    if (index < 0) {
        if (connections_.size() >= tftp::kMaxConnections) {
            actions.message = tftp::kTooManyConnections;
            actions.messageOrigin = MessageOrigin::Unasked;
            actions.ended.push_back({from.address, TftpTransferEnd::Kind::TooManyConnections});
            return;
        }
        connections_.push_back({});
        index = static_cast<int>(connections_.size()) - 1;
    }
    // A second request from the same host restarts its transfer in the same entry.
    Connection& connection = connections_[static_cast<std::size_t>(index)];
    connection = {from.address, tftp::kRetransmitTicks,     0, false, 1,
                  from.port,    OpenServedFile(chosen.path)};
    if (!connection.file) {
        RemoveConnection(from.address);
        ReleaseIdleFile();
        actions.message = tftp::kCannotOpenFile;
        actions.messageOrigin = MessageOrigin::Unasked;  // any host may ask: no transfer began
        actions.ended.push_back({from.address, TftpTransferEnd::Kind::CannotOpenFile});
        return;  // no transfer: the progress window is not opened for it
    }
    transferStarted_ = true;
    progress_ = 0;
    SendBlockOrStop(connection, actions);
}

void TftpServer::OnAck(std::span<const std::uint8_t> datagram, const TftpPeer& from,
                       TftpActions& actions) {
    const int index = FindConnection(from.address);
    if (index < 0 || datagram.size() < 4) {
        return;
    }
    Connection& connection = connections_[static_cast<std::size_t>(index)];
    // The full block number must match, so a repeated ACK of an earlier block does nothing.
    if (Read16(datagram, 2) != connection.blockNumber) {
        return;
    }
    if (connection.lastBlock) {
        EndTransfer(from.address, TftpTransferEnd::Kind::Completed, actions);
        actions.message = tftp::kUpgradeOk;
        return;
    }
    ++connection.blockNumber;
    connection.retransmitCountdown = tftp::kRetransmitTicks;
    connection.retries = 0;
    progress_ = connection.blockNumber;
    SendBlockOrStop(connection, actions);  // last: it may end the transfer
}

Message tftp::CannotReadFile(const Ipv4Address& card) {
    return {"Can't read the firmware file: the upgrade of the SNMP/Web device at " +
                FormatDottedAddress(card) + " was stopped.",
            "Error", MessageIcon::Warning};
}

Message tftp::TransferAbandoned(const Ipv4Address& card) {
    return {"Upgrade failed!\nThe SNMP/Web device at " + FormatDottedAddress(card) +
                " stopped fetching the firmware.",
            "Error", MessageIcon::Warning};
}

TftpActions TftpServer::OnTick() {
    TftpActions actions;
    for (std::size_t i = 0; i < connections_.size(); ++i) {
        Connection& connection = connections_[i];
        if (connection.retransmitCountdown <= 0 || --connection.retransmitCountdown > 0) {
            continue;
        }
        connection.retransmitCountdown = tftp::kRetransmitTicks;
        if (++connection.retries < tftp::kMaxRetries) {
            if (!SendBlock(connection, actions)) {
                const Ipv4Address peer = connection.peerAddress;
                EndTransfer(peer, TftpTransferEnd::Kind::CannotReadFile, actions);
                actions.message = tftp::CannotReadFile(peer);
                break;  // the table changed: later entries wait for the next tick
            }
        } else {
            // Abandoned without a word to the host; later entries wait for the next tick.
            const Ipv4Address peer = connection.peerAddress;
            EndTransfer(peer, TftpTransferEnd::Kind::Abandoned, actions);
            actions.message = tftp::TransferAbandoned(peer);
            break;
        }
    }
    return actions;
}

std::optional<TftpServer::PeerProgress> TftpServer::ProgressOf(const Ipv4Address& address) const {
    const int index = FindConnection(address);
    if (index < 0) {
        return std::nullopt;
    }
    const Connection& connection = connections_[static_cast<std::size_t>(index)];
    return PeerProgress{connection.blockNumber, connection.file->blocksToSend};
}

bool TftpServer::TakeTransferStarted() {
    return std::exchange(transferStarted_, false);
}

int TftpServer::FindConnection(const Ipv4Address& address) const {
    for (std::size_t i = 0; i < connections_.size(); ++i) {
        if (connections_[i].peerAddress == address) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TftpServer::RemoveConnection(const Ipv4Address& address) {
    std::erase_if(connections_, [&](const Connection& c) { return c.peerAddress == address; });
}

std::shared_ptr<TftpServer::ServedFile> TftpServer::OpenServedFile(
    const std::filesystem::path& chosen) {
    if (current_ && current_->path == chosen) {
        return current_;  // shared by every transfer of it; its block count stays as it was
    }
    std::unique_ptr<FirmwareReader> reader = open_(chosen);
    if (!reader) {
        return nullptr;
    }
    const std::uint64_t size = reader->size();
    auto file = std::make_shared<ServedFile>();
    file->path = chosen;
    file->reader = std::move(reader);
    file->blockCount = static_cast<std::int16_t>(size / tftp::kBlockSize);
    file->blocksToSend = static_cast<int>(size / tftp::kBlockSize + 1);
    current_ = file;
    return file;
}

void TftpServer::ReleaseIdleFile() {
    // A file stays open while a transfer reads it, and closes with the last one.
    if (current_.use_count() == 1) {
        current_.reset();
    }
}

bool TftpServer::SendBlock(Connection& connection, TftpActions& actions) {
    std::string packet(4 + tftp::kBlockSize, '\0');
    packet[1] = static_cast<char>(tftp::kOpData);
    packet[2] = static_cast<char>((connection.blockNumber >> 8) & 0xFF);
    packet[3] = static_cast<char>(connection.blockNumber & 0xFF);
    // Read anew for every send, retransmissions included: nothing is cached.
    const auto offset = static_cast<std::uint64_t>(connection.blockNumber - 1) * tftp::kBlockSize;
    const std::optional<std::size_t> got = connection.file->reader->ReadAt(
        offset, std::span<char>(packet.data() + 4, tftp::kBlockSize));
    if (!got) {
        return false;
    }
    if (*got < tftp::kBlockSize) {
        connection.lastBlock = true;
    }
    packet.resize(4 + *got);
    actions.sends.push_back({{connection.peerAddress, connection.peerPort}, std::move(packet)});
    return true;
}

void TftpServer::SendBlockOrStop(Connection& connection, TftpActions& actions) {
    if (!SendBlock(connection, actions)) {
        const Ipv4Address peer = connection.peerAddress;
        EndTransfer(peer, TftpTransferEnd::Kind::CannotReadFile, actions);
        actions.message = tftp::CannotReadFile(peer);
    }
}

void TftpServer::EndTransfer(const Ipv4Address& address, TftpTransferEnd::Kind kind,
                             TftpActions& actions) {
    actions.ended.push_back({address, kind});  // before address, maybe an entry's, goes
    RemoveConnection(address);
    ReleaseIdleFile();
    if (connections_.empty()) {
        transferStarted_ = false;  // nothing left to show: no progress window opens late
    }
    actions.endProgress = true;
}

}  // namespace parvolink
