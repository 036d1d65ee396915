// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/snmp/UpsStatus.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <span>
#include <sstream>
#include <string>

namespace parvolink::snmp {
namespace {

enum class Kind { Text, Number, BatteryStatus, OutputSource };

struct Object {
    const char* key;
    const char* oid;  // under upsObjects, 1.3.6.1.2.1.33.1
    Kind kind;
};

constexpr std::array<Object, 11> kObjects = {{
    {"manufacturer", "1.1.0", Kind::Text},
    {"model", "1.2.0", Kind::Text},
    {"ups-name", "1.5.0", Kind::Text},
    {"battery-status", "2.1.0", Kind::BatteryStatus},
    {"seconds-on-battery", "2.2.0", Kind::Number},
    {"minutes-remaining", "2.3.0", Kind::Number},
    {"charge-percent", "2.4.0", Kind::Number},
    {"input-volts", "3.3.1.3.1", Kind::Number},
    {"output-source", "4.1.0", Kind::OutputSource},
    {"output-volts", "4.4.1.2.1", Kind::Number},
    {"load-percent", "4.4.1.5.1", Kind::Number},
}};
constexpr const char* kAlarmsKey = "alarms-present";
constexpr const char* kAlarmsOid = "6.1.0";

constexpr std::array<const char*, 4> kBatteryStatus = {"unknown", "normal", "low", "depleted"};
constexpr std::array<const char*, 7> kOutputSource = {"other",   "none",    "normal", "bypass",
                                                      "battery", "booster", "reducer"};
constexpr std::int64_t kOutputOnBattery = 5;
constexpr std::int64_t kBatteryLow = 3;

Oid UnderUpsMib(const char* tail) {
    return *ParseOid(std::string("1.3.6.1.2.1.33.1.") + tail);
}

constexpr const char* kWrongType = "(not of its type)";

// An enumeration's name; one out of its range says so, with the number.
template <std::size_t N>
std::string NameOf(std::int64_t value, const std::array<const char*, N>& names) {
    if (value < 1 || value > static_cast<std::int64_t>(N)) {
        return "(out of range: " + std::to_string(value) + ")";
    }
    return names[static_cast<std::size_t>(value - 1)];
}

std::optional<std::int64_t> NumberOf(const std::vector<UpsReading>& readings,
                                     const std::string& key) {
    for (const UpsReading& reading : readings) {
        if (reading.key == key) {
            return reading.number;
        }
    }
    return std::nullopt;
}

// A label value as the exposition format writes it.
std::string LabelValue(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            escaped += '\\';
            escaped += c;
        } else if (c == '\n') {
            escaped += "\\n";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

struct Gauge {
    const char* name;
    const char* help;
    const char* key;  // the reading it shows; nullptr for one made otherwise
    double scale;
};

constexpr std::array<Gauge, 7> kGauges = {{
    {"parvolink_ups_battery_charge_ratio", "Battery charge remaining, 0 to 1.", "charge-percent",
     0.01},
    {"parvolink_ups_battery_runtime_seconds", "Estimated battery time remaining.",
     "minutes-remaining", 60},
    {"parvolink_ups_time_on_battery_seconds", "Time since the UPS switched to battery, 0 on mains.",
     "seconds-on-battery", 1},
    {"parvolink_ups_input_voltage_volts", "Input voltage of the first input line.", "input-volts",
     1},
    {"parvolink_ups_output_voltage_volts", "Output voltage of the first output line.",
     "output-volts", 1},
    {"parvolink_ups_output_load_ratio", "Output load of the first output line, 0 to 1.",
     "load-percent", 0.01},
    {"parvolink_ups_alarms", "Alarms present in the UPS's alarm table.", kAlarmsKey, 1},
}};

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

}  // namespace

std::vector<Oid> UpsStatusOids() {
    std::vector<Oid> oids;
    for (const Object& object : kObjects) {
        oids.push_back(UnderUpsMib(object.oid));
    }
    oids.push_back(UnderUpsMib(kAlarmsOid));
    return oids;
}

std::vector<std::string> UpsReadingKeys() {
    std::vector<std::string> keys;
    for (const Object& object : kObjects) {
        keys.emplace_back(object.key);
    }
    keys.emplace_back(kAlarmsKey);
    return keys;
}

std::vector<UpsReading> ReadUpsStatus(const std::vector<Value>& values) {
    std::vector<UpsReading> readings;
    const std::vector<Oid> oids = UpsStatusOids();
    const std::vector<std::string> keys = UpsReadingKeys();
    for (std::size_t i = 0; i < oids.size(); ++i) {
        UpsReading reading{keys[i], std::nullopt, std::nullopt};
        const Kind kind = i < kObjects.size() ? kObjects[i].kind : Kind::Number;
        for (const Value& value : values) {
            if (value.oid != oids[i] || !value.present) {
                continue;
            }
            // A value of the wrong type is said to be one, never taken for a reading.
            if (value.otherType) {
                reading.text = kWrongType;
            } else if (kind == Kind::Text) {
                reading.text = value.number ? std::string(kWrongType) : value.text;
            } else if (!value.number) {
                reading.text = kWrongType;
            } else {
                reading.number = value.number;
                if (kind == Kind::BatteryStatus) {
                    reading.text = NameOf(*value.number, kBatteryStatus);
                } else if (kind == Kind::OutputSource) {
                    reading.text = NameOf(*value.number, kOutputSource);
                }
            }
        }
        readings.push_back(std::move(reading));
    }
    return readings;
}

bool IsFreeLabelName(std::string_view name) {
    const auto letter = [](char c) {
        return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
    };
    if (name.empty() || !letter(name.front()) || name.starts_with("__")) {
        return false;
    }
    for (const char c : name) {
        if (!letter(c) && !std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    for (const char* own : {"address", "mac", "reason", "state", "source"}) {
        if (name == own) {
            return false;
        }
    }
    return true;
}

Labels MergedLabels(const Labels& constantLabels, const Labels& own) {
    Labels merged;
    for (const auto& label : constantLabels) {
        if (std::none_of(own.begin(), own.end(),
                         [&](const auto& mine) { return mine.first == label.first; })) {
            merged.push_back(label);
        }
    }
    merged.insert(merged.end(), own.begin(), own.end());
    return merged;
}

std::string PrometheusText(const std::vector<CardStatus>& cards, const Labels& constantLabels) {
    std::ostringstream out;
    // Each card's labels, merged and escaped once for all of its series.
    std::vector<std::string> cardLabels;
    cardLabels.reserve(cards.size());
    for (const CardStatus& card : cards) {
        std::string text = "{address=\"" + LabelValue(card.address) + "\"";
        for (const auto& [name, value] : MergedLabels(constantLabels, card.labels)) {
            text += "," + name + "=\"" + LabelValue(value) + "\"";
        }
        cardLabels.push_back(std::move(text));
    }
    // card is always one of cards.
    const auto labels = [&](const CardStatus& card, const std::string& more = "") {
        return cardLabels[static_cast<std::size_t>(&card - cards.data())] + more + "}";
    };
    const auto family = [&](const char* name, const char* help) {
        out << "# HELP " << name << " " << help << "\n# TYPE " << name << " gauge\n";
    };
    const auto answered = [](const CardStatus& card) { return card.outcome == Outcome::Answered; };
    family("parvolink_ups_info", "The card's MAC address, as a label; always 1.");
    for (const CardStatus& card : cards) {
        if (!card.mac.empty()) {
            out << "parvolink_ups_info" << labels(card, ",mac=\"" + LabelValue(card.mac) + "\"")
                << " 1\n";
        }
    }
    family("parvolink_ups_snmp_up", "1 when the card answered SNMP, 0 otherwise.");
    for (const CardStatus& card : cards) {
        out << "parvolink_ups_snmp_up" << labels(card) << " " << (answered(card) ? 1 : 0) << "\n";
    }
    family("parvolink_ups_snmp_failure", "1, with the reason the card did not answer.");
    for (const CardStatus& card : cards) {
        if (!answered(card)) {
            const std::string reason =
                card.reason.empty() ? std::string(OutcomeText(card.outcome)) : card.reason;
            out << "parvolink_ups_snmp_failure"
                << labels(card, ",reason=\"" + LabelValue(reason) + "\"") << " 1\n";
        }
    }
    for (const Gauge& gauge : kGauges) {
        family(gauge.name, gauge.help);
        for (const CardStatus& card : cards) {
            const auto value = NumberOf(card.readings, gauge.key);
            if (answered(card) && value) {
                out << gauge.name << labels(card) << " "
                    << Number(static_cast<double>(*value) * gauge.scale) << "\n";
            }
        }
    }
    const auto flag = [&](const char* name, const char* help, const char* key, auto test) {
        family(name, help);
        for (const CardStatus& card : cards) {
            const auto value = NumberOf(card.readings, key);
            if (answered(card) && value) {
                out << name << labels(card) << " " << (test(*value) ? 1 : 0) << "\n";
            }
        }
    };
    flag("parvolink_ups_on_battery", "1 when the output is supplied from the battery.",
         "output-source", [](std::int64_t source) { return source == kOutputOnBattery; });
    flag("parvolink_ups_battery_low", "1 when the battery is low or depleted.", "battery-status",
         [](std::int64_t status) { return status >= kBatteryLow; });
    // State sets: RFC 1628 numbers its states from 1.
    const auto states = [&](const char* name, const char* help, const char* key, const char* label,
                            std::span<const char* const> names) {
        family(name, help);
        for (const CardStatus& card : cards) {
            const auto value = NumberOf(card.readings, key);
            if (!answered(card) || !value) {
                continue;
            }
            std::int64_t number = 1;
            for (const char* state : names) {
                out << name << labels(card, std::string(",") + label + "=\"" + state + "\"") << " "
                    << (*value == number++ ? 1 : 0) << "\n";
            }
        }
    };
    states("parvolink_ups_battery_status", "The battery's status: 1 for the current state.",
           "battery-status", "state", kBatteryStatus);
    states("parvolink_ups_output_source", "Where the output comes from: 1 for the current one.",
           "output-source", "source", kOutputSource);
    return out.str();
}

}  // namespace parvolink::snmp
