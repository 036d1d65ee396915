// SPDX-License-Identifier: GPL-3.0-or-later
// What parvolink-cli prints on standard output: the records the command describes, one per card
// as each one ends (or per card found, for discover), in the format asked for. JSON is one
// array whose elements are written as they come, so a reader sees a whole document only at the
// end; Prometheus text is written at the end.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/cli/Command.h"

namespace parvolink::cli {

class Output {
public:
    // heading: CSV's columns (every row gets as many); tableHeading: the table's first line.
    Output(std::ostream& out, Format format, std::vector<std::string> heading,
           const std::string& tableHeading, snmp::Labels metricLabels = {});
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void Write(const Record& record);
    // Text that is the whole output, as it is.
    void Raw(const std::string& text);
    // Closes the JSON array, or writes the Prometheus text; call once, at the end.
    void Finish();

private:
    void Line(const std::string& text);

    std::ostream& out_;
    Format format_;
    std::size_t columns_;  // of every CSV row: the heading's
    bool first_ = true;
    std::vector<snmp::CardStatus> statuses_;
    snmp::Labels metricLabels_;
};

}  // namespace parvolink::cli
