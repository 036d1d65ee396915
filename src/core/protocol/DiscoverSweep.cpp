// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/protocol/DiscoverSweep.h"

#include <utility>

namespace parvolink {
namespace {

constexpr int kHostsPerOctet = 254;  // c and d run from 1 to 254

int BroadcastOctet(std::uint8_t network, std::uint8_t mask) {
    return (network | ~mask) & 0xFF;
}

int FirstJ(std::uint8_t mask) {
    return mask == 0 ? 1 : 0;
}

}  // namespace

DiscoverSweep::DiscoverSweep(const Ipv4Address& subnet, const Ipv4Address& mask) {
    head_[0] = BroadcastOctet(subnet[0], mask[0]);
    head_[1] = BroadcastOctet(subnet[1], mask[1]);
    head_[2] = BroadcastOctet(subnet[2], mask[2]);
    broadcast_ = FormatDottedAddress(
        {static_cast<std::uint8_t>(head_[0]), static_cast<std::uint8_t>(head_[1]),
         static_cast<std::uint8_t>(head_[2]),
         static_cast<std::uint8_t>(BroadcastOctet(subnet[3], mask[3]))});
    std::size_t varying = 3;
    kind_ = Kind::FourthOctet;
    if (mask[1] != 255) {
        kind_ = Kind::SecondOctet;
        varying = 1;
    } else if (mask[2] != 255) {
        kind_ = Kind::ThirdOctet;
        varying = 2;
    }
    base_ = subnet[varying];
    jFirst_ = FirstJ(mask[varying]);
    jLast_ = 255 - mask[varying];
    j_ = jFirst_;
    const std::uint64_t steps = jLast_ >= jFirst_ ? std::uint64_t(jLast_ - jFirst_ + 1) : 0;
    switch (kind_) {
        case Kind::SecondOctet:
            total_ = steps * kHostsPerOctet * kHostsPerOctet;
            break;
        case Kind::ThirdOctet:
            total_ = steps * kHostsPerOctet;
            break;
        case Kind::FourthOctet:
            total_ = steps;
            break;
    }
}

const std::string& DiscoverSweep::Next() {
    if (std::exchange(again_, false)) {
        return last_;
    }
    std::string& text = last_;
    const auto dotted = [](int a, int b, int c, int d) {
        return std::to_string(a) + '.' + std::to_string(b) + '.' + std::to_string(c) + '.' +
               std::to_string(d);
    };
    switch (kind_) {
        case Kind::SecondOctet:
            text = dotted(head_[0], base_ + j_, c_, d_);
            if (++d_ > kHostsPerOctet) {
                d_ = 1;
                if (++c_ > kHostsPerOctet) {
                    c_ = 1;
                    ++j_;
                }
            }
            break;
        case Kind::ThirdOctet:
            text = dotted(head_[0], head_[1], base_ + j_, d_);
            if (++d_ > kHostsPerOctet) {
                d_ = 1;
                ++j_;
            }
            break;
        case Kind::FourthOctet:
            text = dotted(head_[0], head_[1], head_[2], base_ + j_);
            ++j_;
            break;
    }
    ++handed_;
    return text;
}

bool DiscoverSweep::RecordSend(SendOutcome outcome) {
    if (outcome != SendOutcome::Sent) {
        again_ = outcome == SendOutcome::NotQueued;
        return false;
    }
    ++counter_;
    const bool due = kind_ == Kind::ThirdOctet ? counter_ >= 20 : counter_ > 20;
    if (due) {
        counter_ = 0;
    }
    return due;
}

std::uint64_t DiscoverSweep::PausesWhenAllSucceed() const {
    return total_ / (kind_ == Kind::ThirdOctet ? 20 : 21);
}

}  // namespace parvolink
