// SPDX-License-Identifier: GPL-3.0-or-later
// A UPS's status as its card serves it in the UPS MIB (RFC 1628): which objects are asked
// for, what their values mean, and the status as Prometheus's text exposition format.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

// Prometheus labels, (name, value) in the order written.
using Labels = std::vector<std::pair<std::string, std::string>>;

// One card's status, for the Prometheus text.
struct CardStatus {
    std::string address;
    std::string mac;  // UTF-8; empty when the card is not known this run
    Outcome outcome = Outcome::NoResponse;
    std::vector<UpsReading> readings;
    std::string reason;  // why it did not answer, as the other formats say; UTF-8
    Labels labels;       // its own: a name, a site
};

// The text exposition format, every series labelled by the card's address alone, so that a
// card's series stay the same whether or not it answers this time: parvolink_ups_info carries
// its MAC address; parvolink_ups_snmp_up is 1 or 0 for every card, and
// parvolink_ups_snmp_failure names why one did not answer; one gauge per reading in base
// units (seconds, volts, ratios) for the cards that answered; the battery status and the
// output source as state sets (a series per state, 1 for the current one).
// constantLabels (name, value) follow the address on every series: a site, a room; then each
// card's own, which replace a constant label of the same name.
// constantLabels with the card's own after them, the card's replacing those of the same name.
Labels MergedLabels(const Labels& constantLabels, const Labels& own);
std::string PrometheusText(const std::vector<CardStatus>& cards, const Labels& constantLabels = {});
// A label name a user may add: Prometheus's form, not one the text uses itself nor reserved.
bool IsFreeLabelName(std::string_view name);

}  // namespace parvolink::snmp
