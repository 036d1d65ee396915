// SPDX-License-Identifier: GPL-3.0-or-later
// The TFTP server that cards fetch firmware from: read requests in "octet" mode for the one
// file last chosen, 512-byte blocks in lock step, at most 10 hosts at a time, retransmission on
// a 100 ms tick. It does no I/O on the network: it takes datagrams and ticks and says what to
// send and show. Every packet leaves from port 69 itself; hosts are told apart by address.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/DottedAddress.h"
#include "base/Message.h"
#include "core/upgrade/FirmwareReader.h"

namespace parvolink {

namespace tftp {
constexpr std::size_t kBlockSize = 512;
constexpr std::size_t kReceiveBufferSize = 256;  // longer datagrams are dropped
constexpr std::size_t kMaxConnections = 10;
constexpr int kRetransmitTicks = 30;  // 3 s of 100 ms ticks
constexpr int kMaxRetries = 5;        // the 5th expiry abandons the transfer
constexpr std::uint16_t kOpRead = 1;
constexpr std::uint16_t kOpData = 3;
constexpr std::uint16_t kOpAck = 4;
constexpr std::uint8_t kRefusalOpcode = 6;  // not ERROR (5): the cards' own notice
constexpr std::uint8_t kRefusedFileName = 1;
constexpr std::uint8_t kRefusedMode = 4;
constexpr std::uint16_t kRefusalPort = 3456;  // the notice goes to the card's management port

inline const Message kTooManyConnections{"Too many TFTP connections.", "Warning",
                                         MessageIcon::None};
inline const Message kCannotOpenFile{"Can't open the file.", "Warning", MessageIcon::None};
inline const Message kUpgradeOk{"Upgrade OK!\nNow the SNMP/Web device is rebooting.", "Parvolink",
                                MessageIcon::None};
// A transfer the card stopped acknowledging: without it a failed card looks like one that
// is still flashing.
Message TransferAbandoned(const Ipv4Address& card);
// A block that could not be read: the transfer stops rather than end early, which would give
// the card a cut firmware image as if it were whole.
Message CannotReadFile(const Ipv4Address& card);
}  // namespace tftp

struct TftpPeer {
    Ipv4Address address{};
    std::uint16_t port = 0;
    bool operator==(const TftpPeer&) const = default;
};

struct TftpDatagram {
    TftpPeer to;
    std::string bytes;
};

// How a host's transfer ended, for hosts that follow each card on its own.
struct TftpTransferEnd {
    enum class Kind { Completed, Abandoned, CannotOpenFile, CannotReadFile, TooManyConnections };
    Ipv4Address peer{};
    Kind kind = Kind::Completed;
    bool operator==(const TftpTransferEnd&) const = default;
};

// What the host must do after an event, in this order: send, end the progress window, then
// show the message (the server's tables are already settled). The progress bar follows
// progress() on the host's own pace, not on every acknowledgement.
struct TftpActions {
    std::vector<TftpDatagram> sends;
    bool endProgress = false;
    std::optional<Message> message;
    // A transfer's end is always shown; a request refused before any transfer began (any host
    // may send one) is merged.
    MessageOrigin messageOrigin = MessageOrigin::Result;
    std::vector<TftpTransferEnd> ended;
};

// The file chosen to serve: its full path and the bare name a read request must carry.
struct ServedFirmware {
    std::string path;
    std::string name;
};

class TftpServer {
public:
    // chosen is asked at each request: the file name served and the path opened. Each
    // transfer keeps the file it started with open until it ends, so a card always gets the
    // bytes of the file whose name it asked for, even when another file is chosen meanwhile.
    explicit TftpServer(std::function<ServedFirmware()> chosen,
                        FirmwareOpener open = OpenFirmwareFile)
        : chosen_(std::move(chosen)), open_(std::move(open)) {}
    TftpServer(const TftpServer&) = delete;
    TftpServer& operator=(const TftpServer&) = delete;

    [[nodiscard]] TftpActions OnDatagram(std::span<const std::uint8_t> datagram,
                                         const TftpPeer& from);
    // One 100 ms tick: retransmission and abandonment.
    [[nodiscard]] TftpActions OnTick();

    // True once after a read request was accepted: the progress window should open. A
    // transfer that ended before anyone asked leaves it false.
    bool TakeTransferStarted();
    // The progress bar's maximum for the file last opened: its size / 512, in 16 bits.
    int blockCount() const { return current_ ? current_->blockCount : 0; }
    // The progress bar's position: the block last sent after an acknowledgement.
    int progress() const { return progress_; }
    std::size_t connectionCount() const { return connections_.size(); }

    // A host's transfer as it stands: the block last sent and the number of blocks its file
    // takes; nothing when that host has no transfer.
    struct PeerProgress {
        int block = 0;
        int blockCount = 0;
    };
    std::optional<PeerProgress> ProgressOf(const Ipv4Address& address) const;

private:
    // One firmware file open for the transfers that asked for it. Blocks are read at their
    // offset in one call each, the file's position never moved.
    struct ServedFile {
        std::filesystem::path path;
        std::unique_ptr<FirmwareReader> reader;
        std::int16_t blockCount = 0;
        int blocksToSend = 0;  // the last one short, empty when the size is a multiple of 512
    };

    struct Connection {
        Ipv4Address peerAddress{};
        int retransmitCountdown = 0;
        int retries = 0;
        bool lastBlock = false;
        std::int32_t blockNumber = 1;
        std::uint16_t peerPort = 0;
        std::shared_ptr<ServedFile> file;
    };

    void OnReadRequest(std::span<const std::uint8_t> datagram, const TftpPeer& from,
                       TftpActions& actions);
    void OnAck(std::span<const std::uint8_t> datagram, const TftpPeer& from, TftpActions& actions);
    int FindConnection(const Ipv4Address& address) const;
    void RemoveConnection(const Ipv4Address& address);
    // The chosen file, open: the one already serving when it is still the chosen one.
    std::shared_ptr<ServedFile> OpenServedFile(const std::filesystem::path& chosen);
    void ReleaseIdleFile();
    // False when the block could not be read: nothing was sent.
    [[nodiscard]] bool SendBlock(Connection& connection, TftpActions& actions);
    // Sends the connection's block, or ends its transfer when the block cannot be read.
    void SendBlockOrStop(Connection& connection, TftpActions& actions);
    void EndTransfer(const Ipv4Address& address, TftpTransferEnd::Kind kind, TftpActions& actions);

    std::function<ServedFirmware()> chosen_;
    FirmwareOpener open_;
    std::vector<Connection> connections_;
    std::shared_ptr<ServedFile> current_;  // the file last opened, while a transfer reads it
    int progress_ = 0;
    bool transferStarted_ = false;
};

}  // namespace parvolink
