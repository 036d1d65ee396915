// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/snmp/DiscoverySchedule.h"

#include <algorithm>

#include "core/snmp/EngineDiscovery.h"

namespace parvolink::snmp {
namespace {

constexpr DiscoverySchedule::Millis kLongestStep = 100;

}  // namespace

DiscoverySchedule::DiscoverySchedule(const std::vector<std::optional<Endpoint>>& agents,
                                     int timeoutMs, int retries, std::size_t mostOut,
                                     std::int32_t firstMessageId)
    : engines_(agents.size()), timeoutMs_(timeoutMs), mostOut_(std::max<std::size_t>(mostOut, 1)) {
    for (std::size_t i = 0; i < agents.size(); ++i) {
        if (agents[i]) {
            Probe probe;
            probe.index = i;
            probe.to = *agents[i];
            probe.messageId = firstMessageId + static_cast<std::int32_t>(i);
            probe.triesLeft = retries + 1;
            probes_.push_back(probe);
        }
    }
}

std::vector<DiscoverySchedule::Send> DiscoverySchedule::Due(Millis now, Millis& next) {
    next = now + kLongestStep;
    std::size_t out = 0;
    for (const Probe& probe : probes_) {
        out += probe.sent && !probe.done ? 1 : 0;
    }
    std::vector<Send> sends;
    for (Probe& probe : probes_) {
        if (probe.done || (probe.sent && now < probe.deadline) ||
            (!probe.sent && out >= mostOut_)) {
            next = probe.sent && !probe.done ? std::min(next, probe.deadline) : next;
            continue;
        }
        if (probe.triesLeft == 0) {
            probe.done = true;  // silent: its engine stays empty
            engines_[probe.index].settled = true;
            continue;
        }
        sends.push_back({probe.index, probe.to, DiscoveryProbe(probe.messageId)});
        out += probe.sent ? 0 : 1;
        probe.sent = true;
        --probe.triesLeft;
        probe.deadline = now + timeoutMs_;
        next = std::min(next, probe.deadline);
    }
    return sends;
}

void DiscoverySchedule::SendFailed(std::size_t index) {
    for (Probe& probe : probes_) {
        if (probe.index == index) {
            probe.done = true;
        }
    }
    NoAddress(index);
}

void DiscoverySchedule::NoAddress(std::size_t index) {
    engines_.at(index).localFault = true;
    engines_.at(index).settled = true;
}

void DiscoverySchedule::OnDatagram(std::string_view datagram, const Endpoint& from) {
    const auto report = ParseDiscoveryReport(datagram);
    if (!report) {
        return;
    }
    for (Probe& probe : probes_) {
        if (!probe.done && probe.sent && probe.messageId == report->messageId && probe.to == from) {
            probe.done = true;
            engines_[probe.index] = {report->engineId, report->boots, report->time, false, true};
        }
    }
}

}  // namespace parvolink::snmp
