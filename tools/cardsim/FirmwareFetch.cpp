// SPDX-License-Identifier: GPL-3.0-or-later
#include "FirmwareFetch.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "core/upgrade/FirmwareFile.h"

namespace parvolink::cardsim {

FirmwareFetch::FirmwareFetch(in_addr card, in_addr server, const std::string& name, int stallAfter,
                             int ackDelayMs)
    : stallAfter_(stallAfter), ackDelayMs_(ackDelayMs) {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = card;
    bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    std::string request("\0\1", 2);
    request += name;
    request.push_back('\0');
    request += "octet";
    request.push_back('\0');
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = server;
    to.sin_port = htons(69);
    sendto(fd_, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

FirmwareFetch::~FirmwareFetch() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool FirmwareFetch::OnReadable() {
    unsigned char data[600];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t n =
        recvfrom(fd_, data, sizeof data, 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 4 || data[1] != 3) {
        return false;
    }
    const int block = (data[2] << 8) | data[3];
    if (stallAfter_ > 0 && expected_ > stallAfter_) {
        return false;  // hung: no more ACKs
    }
    if (block == expected_) {
        // The part of the version field (bytes 16388 to 16392) this block holds.
        const std::size_t start = received_;
        const std::size_t end = start + static_cast<std::size_t>(n - 4);
        for (std::size_t at = std::max(start, firmware::kVersionOffset);
             at < std::min(end, firmware::kVersionOffset + firmware::kVersionLength); ++at) {
            versionField_ += static_cast<char>(data[4 + at - start]);
        }
        received_ = end;
        ++expected_;
    } else if (block != expected_ - 1) {
        return false;
    }
    pending_ = PendingAck{Clock::now() + std::chrono::milliseconds(ackDelayMs_),
                          {0, 4, data[2], data[3]},
                          from,
                          block == expected_ - 1 && n < 516};
    return SendDueAck();
}

std::optional<FirmwareFetch::Clock::time_point> FirmwareFetch::AckDue() const {
    if (!pending_) {
        return std::nullopt;
    }
    return pending_->due;
}

bool FirmwareFetch::SendDueAck() {
    if (!pending_ || pending_->due > Clock::now()) {
        return false;
    }
    const PendingAck ack = *pending_;
    pending_.reset();
    sendto(fd_, ack.bytes, sizeof ack.bytes, 0, reinterpret_cast<const sockaddr*>(&ack.to),
           sizeof ack.to);
    return ack.last;
}

}  // namespace parvolink::cardsim
