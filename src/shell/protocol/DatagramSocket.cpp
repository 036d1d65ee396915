// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/protocol/DatagramSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>
#include <cerrno>
#include <cstring>
#include <utility>

namespace parvolink {
namespace {

// A flood must not keep the event loop to itself: past this many datagrams a notification
// returns, and the next one reads on.
constexpr int kMostPerNotification = 64;

}  // namespace

Ipv4Address ToIpv4Address(const QHostAddress& address) {
    const quint32 value = address.toIPv4Address();
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

DatagramSocket::DatagramSocket(std::size_t largest, Handling handling, QObject* parent)
    : QObject(parent), largest_(largest), handling_(handling) {}

DatagramSocket::~DatagramSocket() {
    Close();
}

bool DatagramSocket::Bind(std::uint16_t port) {
    Close();
    bindError_ = 0;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        bindError_ = errno;
        return false;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        bindError_ = errno;
        ::close(fd);
        return false;
    }
    Adopt(fd);
    return true;
}

void DatagramSocket::Adopt(int descriptor) {
    Close();
    fd_ = descriptor;
    readable_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(readable_.get(), &QSocketNotifier::activated, this, &DatagramSocket::ReadPending);
}

void DatagramSocket::Close() {
    waiting_.clear();
    readable_.reset();
    writable_.reset();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::uint16_t DatagramSocket::LocalPort() const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

SendOutcome DatagramSocket::SendTo(std::string_view bytes, const Ipv4Address& address,
                                   std::uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    std::memcpy(&to.sin_addr, address.data(), address.size());  // first octet first, as on the wire
    const ssize_t sent = ::sendto(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent == static_cast<ssize_t>(bytes.size())) {
        return SendOutcome::Sent;
    }
    const bool full = sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS);
    return full ? SendOutcome::NotQueued : SendOutcome::Failed;
}

void DatagramSocket::WhenWritable(std::function<void()> resume) {
    resume_ = std::move(resume);
    if (fd_ < 0) {
        return;
    }
    if (!writable_) {
        writable_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
        connect(writable_.get(), &QSocketNotifier::activated, this, [this] {
            writable_->setEnabled(false);
            if (auto pending = std::exchange(resume_, nullptr)) {
                pending();
            }
        });
    }
    writable_->setEnabled(true);
}

void DatagramSocket::SendInOrder(std::string_view bytes, const Ipv4Address& address,
                                 std::uint16_t port) {
    if (waiting_.empty() && SendTo(bytes, address, port) != SendOutcome::NotQueued) {
        return;
    }
    waiting_.push_back({std::string(bytes), address, port});
    WhenWritable([this] { SendWaiting(); });
}

void DatagramSocket::SendWaiting() {
    while (!waiting_.empty()) {
        const Waiting& next = waiting_.front();
        if (SendTo(next.bytes, next.address, next.port) == SendOutcome::NotQueued) {
            WhenWritable([this] { SendWaiting(); });
            return;
        }
        waiting_.pop_front();
    }
}

void DatagramSocket::ReadPending() {
    bool queued = false;
    for (int n = 0; n < kMostPerNotification; ++n) {
        reading_.bytes.resize(largest_ + 1);
        sockaddr_in from{};
        socklen_t length = sizeof from;
        // MSG_TRUNC gives a longer datagram's whole length, so it is known to be too long.
        const ssize_t size =
            ::recvfrom(fd_, reading_.bytes.data(), reading_.bytes.size(), MSG_DONTWAIT | MSG_TRUNC,
                       reinterpret_cast<sockaddr*>(&from), &length);
        if (size < 0) {
            break;  // nothing more waits (or the socket failed: the notifier tells again)
        }
        if (static_cast<std::size_t>(size) > largest_) {
            continue;  // longer than anything this socket expects: dropped
        }
        reading_.bytes.resize(static_cast<std::size_t>(size));
        std::memcpy(reading_.from.data(), &from.sin_addr, reading_.from.size());
        reading_.port = ntohs(from.sin_port);
        if (handling_ == Handling::AtOnce) {
            if (handler_) {
                handler_(reading_);
            }
        } else {
            received_.push_back(reading_);
            queued = true;
        }
    }
    if (queued) {
        QTimer::singleShot(0, this, &DatagramSocket::HandleQueued);
    }
}

void DatagramSocket::HandleQueued() {
    // A nested call (from a dialog's loop) takes over the queue; the outer call then finds it
    // empty. Either way each datagram is handled once, in arrival order.
    while (!received_.empty()) {
        const Received datagram = std::move(received_.front());
        received_.pop_front();
        if (handler_) {
            handler_(datagram);
        }
    }
}

}  // namespace parvolink
