// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/Output.h"

#include <QJsonDocument>
#include <algorithm>

#include "app/cli/TerminalText.h"
#include "base/CsvText.h"

namespace parvolink::cli {
namespace {

// A CSV row from card texts: UTF-8, formulas defused, as many columns as the heading.
std::string CsvRow(std::vector<std::string> fields, std::size_t columns) {
    for (std::string& field : fields) {
        field = SpreadsheetSafe(Utf8FromLatin1(field));
    }
    fields.resize(std::max(fields.size(), columns));
    return CsvLine(fields);
}

}  // namespace

Output::Output(std::ostream& out, Format format, std::vector<std::string> heading,
               const std::string& tableHeading, snmp::Labels metricLabels)
    : out_(out), format_(format), columns_(heading.size()), metricLabels_(std::move(metricLabels)) {
    if (format_ == Format::Json) {
        out_ << "[" << std::flush;
    } else if (format_ == Format::Csv) {
        Line(CsvLine(heading));
    } else if (format_ == Format::Table) {
        Line(tableHeading);
    }
}

void Output::Write(const Record& record) {
    switch (format_) {
        case Format::Json:
            out_ << (first_ ? "\n" : ",\n")
                 << QJsonDocument(record.json).toJson(QJsonDocument::Compact).data() << std::flush;
            first_ = false;
            break;
        case Format::Csv:
            for (const std::vector<std::string>& row : record.csv) {
                Line(CsvRow(row, columns_));
            }
            break;
        case Format::Table:
            Line(record.table);
            break;
        case Format::Prometheus:
            if (record.metrics) {
                statuses_.push_back(*record.metrics);
            }
            break;
    }
}

void Output::Raw(const std::string& text) {
    Line(text);
}

void Output::Line(const std::string& text) {
    out_ << text << std::flush;
}

void Output::Finish() {
    if (format_ == Format::Json) {
        out_ << "\n]\n" << std::flush;
    } else if (format_ == Format::Prometheus) {
        out_ << snmp::PrometheusText(statuses_, metricLabels_) << std::flush;
    }
}

}  // namespace parvolink::cli
