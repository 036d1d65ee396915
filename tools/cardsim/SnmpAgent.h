// SPDX-License-Identifier: GPL-3.0-or-later
// A simulated card's SNMP agent: net-snmp's snmpd, run with a configuration of its own made
// from the card, and started again whenever the card's users change.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "CardSimulator.h"

namespace parvolink::cardsim {

class SnmpAgent {
public:
    // snmpd: the agent's program; directory: where its configuration and log go.
    SnmpAgent(std::string snmpd, std::string directory, std::uint16_t port);
    ~SnmpAgent();
    SnmpAgent(const SnmpAgent&) = delete;
    SnmpAgent& operator=(const SnmpAgent&) = delete;

    // Writes the card's configuration and starts the agent; false, said on standard error,
    // when it cannot be started.
    bool Start(const Card& card);
    // Waits (at most a few seconds) until the agent holds its port, so that a reply sent after
    // it finds the agent serving what the card now has.
    void WaitUntilServing(const Card& card);
    void Stop();

private:
    std::string snmpd_;
    std::string directory_;
    std::uint16_t port_;
    pid_t pid_ = -1;
};

}  // namespace parvolink::cardsim
