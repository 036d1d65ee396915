// SPDX-License-Identifier: GPL-3.0-or-later
// What parvolink-cli prints on standard output: one record per card as each one ends (or per
// card found, for discover), in the format asked for. JSON is one array whose elements are
// written as they come, so a reader sees a whole document only at the end.
#pragma once

#include <QJsonObject>
#include <ostream>
#include <string>
#include <vector>

#include "app/cli/CommandLine.h"
#include "core/devices/DeviceList.h"
#include "core/fleet/CardTask.h"
#include "core/snmp/UpsStatus.h"

namespace parvolink::cli {

class Output {
public:
    Output(std::ostream& out, Format format, CliOptions::Command command);
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // A card that discover found; again, flagged, when a second card answers for its address.
    void Found(const DeviceEntry& row);
    // A card whose command ended.
    void Ended(const fleet::CardTask& task);
    // A card whose UPS status was read (or not: the task's result says).
    void Status(const fleet::CardTask& task, const std::vector<snmp::UpsReading>& readings);
    // Closes the JSON array; call once, at the end.
    void Finish();

private:
    void Record(const QJsonObject& object, const std::vector<std::string>& csv);
    void Line(const std::string& text);
    void TableOf(const fleet::CardTask& task);

    std::ostream& out_;
    Format format_;
    CliOptions::Command command_;
    std::size_t columns_;  // of every CSV row: the heading's
    bool first_ = true;
    std::vector<snmp::CardStatus> statuses_;  // the Prometheus text is written at the end
};

// The card's record as JSON: "card", "result", "message", and what the command read.
QJsonObject CardRecord(const fleet::CardTask& task, CliOptions::Command command);

}  // namespace parvolink::cli
