// SPDX-License-Identifier: GPL-3.0-or-later
// The SNMP part of a command, once its cards are identified: the GETs run on a thread of their
// own (net-snmp's requests block), and their answers come back to the event loop, so that a
// signal is still heard while the cards are asked.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/Command.h"
#include "core/snmp/SnmpTypes.h"

namespace parvolink::cli {

class SnmpStage : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(std::vector<snmp::Answer>)>;

    SnmpStage() = default;
    ~SnmpStage() override;
    SnmpStage(const SnmpStage&) = delete;
    SnmpStage& operator=(const SnmpStage&) = delete;

    // Asks every address the question (the UPS status, or whether the user verifies); done is
    // called on this object's thread with one answer each.
    void Start(const SnmpQuestion& question, std::vector<std::string> addresses, Done done);
    // Asks each address its probe; done gets one answer each, in order.
    void Start(std::vector<std::pair<std::string, Probe>> probes, const SnmpQuestion& timing,
               Done done);
    // Gives up the requests still out; done still comes.
    void Stop() { stop_ = true; }

private:
    std::thread worker_;
    std::atomic<bool> stop_{false};
};

// The card command's result for an SNMP outcome.
fleet::Result ResultOf(snmp::Outcome outcome);
// A card's result and message for what its agent answered.
std::pair<fleet::Result, std::string> Verdict(const snmp::Answer& answer);

}  // namespace parvolink::cli
