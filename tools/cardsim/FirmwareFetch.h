// SPDX-License-Identifier: GPL-3.0-or-later
// A simulated card fetching its firmware from the program's TFTP server after an "OK" to
// Upgrade: a read request, then an ACK for every block, as the cards do.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <optional>
#include <string>

namespace parvolink::cardsim {

class FirmwareFetch {
public:
    using Clock = std::chrono::steady_clock;

    // Sends the read request for name from card's own address to server, port 69. stallAfter
    // blocks acknowledged (0: never) it stops answering, as a card that hangs would. Each
    // acknowledgement goes ackDelayMs after its block, as a card writing its flash takes time.
    FirmwareFetch(in_addr card, in_addr server, const std::string& name, int stallAfter,
                  int ackDelayMs = 0);
    ~FirmwareFetch();
    FirmwareFetch(const FirmwareFetch&) = delete;
    FirmwareFetch& operator=(const FirmwareFetch&) = delete;

    int fd() const { return fd_; }
    // Reads what arrived; true once the last block is in and acknowledged.
    bool OnReadable();
    // When an acknowledgement waits: the time it is due. SendDueAck sends it when that has
    // come; true when it was the last block's.
    std::optional<Clock::time_point> AckDue() const;
    bool SendDueAck();
    std::size_t bytes() const { return received_; }
    // The bytes received of the file's version field, as a card reads its new version.
    const std::string& versionField() const { return versionField_; }

private:
    int fd_ = -1;
    int expected_ = 1;
    int stallAfter_ = 0;
    int ackDelayMs_ = 0;
    struct PendingAck {
        Clock::time_point due;
        unsigned char bytes[4];
        sockaddr_in to;
        bool last;
    };
    std::optional<PendingAck> pending_;
    std::size_t received_ = 0;
    std::string versionField_;
};

}  // namespace parvolink::cardsim
