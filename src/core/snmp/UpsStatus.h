// SPDX-License-Identifier: GPL-3.0-or-later
// A UPS's status as its card serves it in the UPS MIB (RFC 1628): which objects are asked
// for, what their values mean, and the status as Prometheus's text exposition format.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/snmp/SnmpTypes.h"

namespace parvolink::snmp {

// One reading of the status: its key in JSON, CSV and the table, its object.
struct UpsReading {
    std::string key;  // "charge-percent"
    std::optional<std::int64_t> number;
    std::optional<std::string> text;  // text objects, and the names of enumerated values
};

// The objects a status asks for, in the order of the readings.
std::vector<Oid> UpsStatusOids();
// The keys of the readings, in order.
std::vector<std::string> UpsReadingKeys();
// The readings from the values answered (a reading missing when its object was).
std::vector<UpsReading> ReadUpsStatus(const std::vector<Value>& values);

// One card's status, for the Prometheus text.
struct CardStatus {
    std::string address;
    std::string mac;  // UTF-8
    Outcome outcome = Outcome::NoResponse;
    std::vector<UpsReading> readings;
};

// One gauge per reading in base units (seconds, volts, ratios), each with HELP and TYPE,
// labelled by address and MAC, and parvolink_ups_snmp_up for every card (0 for those that did
// not answer).
std::string PrometheusText(const std::vector<CardStatus>& cards);

}  // namespace parvolink::snmp
