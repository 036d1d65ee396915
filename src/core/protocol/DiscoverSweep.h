// SPDX-License-Identifier: GPL-3.0-or-later
// The addresses a Discover goes to: the directed broadcast address of the chosen network, then
// every host address of it, in a fixed order, with a 100 ms pause after every 21 successful
// sends (20 when the sweep runs over the third octet). Octets are written as computed, so an
// edited network can yield a text such as "192.168.1.300", which fails to send.
#pragma once

#include <cstdint>
#include <string>

#include "base/DottedAddress.h"
#include "base/SendOutcome.h"

namespace parvolink {

class DiscoverSweep {
public:
    static constexpr int kPauseMilliseconds = 100;

    DiscoverSweep(const Ipv4Address& subnet, const Ipv4Address& mask);

    // "%d.%d.%d.%d" of (subnet | ~mask), octet by octet.
    const std::string& BroadcastAddress() const { return broadcast_; }

    // Number of sweep addresses (the broadcast not counted).
    std::uint64_t Total() const { return total_; }
    std::uint64_t Handed() const { return handed_; }
    bool Done() const { return handed_ >= total_ && !again_; }

    // The next sweep address, or the last one again when it could not be queued.
    // REQUIRES: !Done().
    const std::string& Next();

    // Reports the send of the address last handed out; true when a pause is due now. Only
    // sends that went count towards a pause; one not queued is handed out again by Next.
    bool RecordSend(SendOutcome outcome);

    // The number of pauses a whole sweep makes when every send succeeds.
    std::uint64_t PausesWhenAllSucceed() const;

private:
    enum class Kind { SecondOctet, ThirdOctet, FourthOctet };

    Kind kind_;
    std::string broadcast_;
    int head_[3];  // octets before the varying one: (N|~M) as computed
    int base_;     // the network's octet that j is added to
    int jFirst_;   // j runs from jFirst_ to jLast_ inclusive
    int jLast_;
    int j_, c_ = 1, d_ = 1;
    std::uint64_t total_;
    std::uint64_t handed_ = 0;
    int counter_ = 0;
    std::string last_;
    bool again_ = false;
};

}  // namespace parvolink
