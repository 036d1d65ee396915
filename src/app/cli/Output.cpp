// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/Output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <array>
#include <cstdio>

#include "app/cli/TerminalText.h"
#include "base/CsvText.h"
#include "core/devices/DeviceListExport.h"
#include "core/fleet/ConfigurationFields.h"

namespace parvolink::cli {
namespace {

using Command = CliOptions::Command;

constexpr std::array<const char*, 7> kDiscoverKeys = {
    "ip-address", "host-name", "version", "model", "mac-address", "flash-size", "duplicate-mac"};
constexpr std::array<int, 7> kDiscoverWidths = {15, 15, 8, 14, 17, 10, 17};
constexpr std::array<const char*, 3> kLevelKeys = {"noAuthNoPriv", "authNoPriv", "authPriv"};

// Card texts are Latin-1, as the window reads them.
QString Q(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A CSV row from card texts: UTF-8, formulas defused, as many columns as the heading.
std::string CsvRow(std::vector<std::string> fields, std::size_t columns) {
    for (std::string& field : fields) {
        field = SpreadsheetSafe(Utf8FromLatin1(field));
    }
    fields.resize(std::max(fields.size(), columns));
    return CsvLine(fields);
}

std::string Padded(const std::string& text, int width) {
    return text.size() >= static_cast<std::size_t>(width)
               ? text + " "
               : text + std::string(static_cast<std::size_t>(width) - text.size() + 1, ' ');
}

std::string LevelKey(int code) {
    return code >= 0 && code < 3 ? kLevelKeys[static_cast<std::size_t>(code)]
                                 : std::to_string(code);
}

bool Done(const fleet::CardTask& task) {
    return task.result() == fleet::Result::Done;
}

std::vector<fleet::NamedValue> Fields(const fleet::CardTask& task) {
    return fleet::ReadConfigurationFields(task.configuration(),
                                          GatesFor(task.card().version, task.card().model));
}

std::vector<std::string> Heading(Command command) {
    if (command == Command::Discover) {
        return {kDiscoverKeys.begin(), kDiscoverKeys.end()};
    }
    std::vector<std::string> heading = {"card", "result", "message"};
    if (command == Command::ConfigGet) {
        for (const std::string_view name : fleet::ConfigurationFieldNames()) {
            heading.emplace_back(name);
        }
    } else if (command == Command::Snmpv3List) {
        heading.insert(heading.end(), {"engine-id", "context", "index", "user", "level"});
    } else if (command == Command::Status) {
        heading.emplace_back("mac-address");
        for (const std::string& key : snmp::UpsReadingKeys()) {
            heading.push_back(key);
        }
    }
    return heading;
}

}  // namespace

QJsonObject CardRecord(const fleet::CardTask& task, Command command) {
    QJsonObject record{{"card", Q(FormatDottedAddress(task.address()))},
                       {"result", Q(std::string(fleet::ResultName(task.result())))},
                       {"message", Q(task.message())}};
    if (!Done(task)) {
        return record;
    }
    if (command == Command::ConfigGet) {
        QJsonObject configuration;
        for (const fleet::NamedValue& field : Fields(task)) {
            configuration[Q(field.name)] =
                field.number ? QJsonValue(std::stoi(field.value)) : QJsonValue(Q(field.value));
        }
        record["version"] = Q(task.card().version);
        record["configuration"] = configuration;
    } else if (command == Command::Snmpv3List) {
        const UsmConfiguration& users = task.users();
        QJsonArray rows;
        for (int i = 0; i < usm::kUsers; ++i) {
            rows.append(QJsonObject{{"index", i},
                                    {"user", Q(users.userNames[static_cast<std::size_t>(i)])},
                                    {"level", Q(LevelKey(LevelOf(users.securityLevels, i)))}});
        }
        record["engine-id"] = Q(users.engineId);
        record["context"] = Q(users.contextName);
        record["users"] = rows;
    }
    return record;
}

// A reading as its text (enumerations by name) or its number; empty when it was missing.
std::string ReadingText(const snmp::UpsReading& reading) {
    return reading.text     ? *reading.text
           : reading.number ? std::to_string(*reading.number)
                            : std::string();
}

Output::Output(std::ostream& out, Format format, Command command)
    : out_(out), format_(format), command_(command), columns_(Heading(command).size()) {
    if (format_ == Format::Json) {
        out_ << "[" << std::flush;
    } else if (format_ == Format::Csv) {
        Line(CsvLine(Heading(command_)));
    } else if (command_ == Command::Discover) {
        std::string heading;
        for (std::size_t i = 0; i < kDiscoverKeys.size(); ++i) {
            heading += Padded(kDiscoverKeys[i], kDiscoverWidths[i]);
        }
        Line(heading.substr(0, heading.find_last_not_of(' ') + 1) + "\n");
    }
}

void Output::Found(const DeviceEntry& row) {
    const std::vector<std::string> fields = ExportFields(row);
    QJsonObject object;
    for (std::size_t i = 0; i < kDiscoverKeys.size(); ++i) {
        object[kDiscoverKeys[i]] = Q(fields[i]);
    }
    if (format_ == Format::Table) {
        std::string line;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            line += Padded(ForTerminal(fields[i]), kDiscoverWidths[i]);
        }
        Line(line.substr(0, line.find_last_not_of(' ') + 1) + "\n");
        return;
    }
    Record(object, fields);
}

void Output::Ended(const fleet::CardTask& task) {
    const std::string card = FormatDottedAddress(task.address());
    if (format_ == Format::Prometheus) {
        // A card never asked for its status (a signal came first): it is not up.
        statuses_.push_back(
            {card, Utf8FromLatin1(task.card().macAddress), snmp::Outcome::NoResponse, {}});
        return;
    }
    const std::string result(fleet::ResultName(task.result()));
    if (format_ == Format::Json) {
        Record(CardRecord(task, command_), {});
    } else if (format_ == Format::Table) {
        TableOf(task);
    } else if (command_ == Command::ConfigGet && Done(task)) {
        std::vector<std::string> row = {card, result, task.message()};
        const auto fields = Fields(task);
        for (const std::string_view name : fleet::ConfigurationFieldNames()) {
            const auto it =
                std::find_if(fields.begin(), fields.end(),
                             [&](const fleet::NamedValue& f) { return f.name == name; });
            row.push_back(it == fields.end() ? "" : it->value);
        }
        Line(CsvRow(row, columns_));
    } else if (command_ == Command::Snmpv3List && Done(task)) {
        const UsmConfiguration& users = task.users();
        for (int i = 0; i < usm::kUsers; ++i) {
            Line(CsvRow({card, result, task.message(), users.engineId, users.contextName,
                         std::to_string(i), users.userNames[static_cast<std::size_t>(i)],
                         LevelKey(LevelOf(users.securityLevels, i))},
                        columns_));
        }
    } else {
        Line(CsvRow({card, result, task.message()}, columns_));
    }
}

void Output::Status(const fleet::CardTask& task, const std::vector<snmp::UpsReading>& readings) {
    const std::string card = FormatDottedAddress(task.address());
    const std::string& mac = task.card().macAddress;
    if (format_ == Format::Prometheus) {
        statuses_.push_back({card, Utf8FromLatin1(mac),
                             Done(task) ? snmp::Outcome::Answered : snmp::Outcome::NoResponse,
                             readings});
    } else if (format_ == Format::Json) {
        QJsonObject record = CardRecord(task, command_);
        record["mac-address"] = Q(mac);
        QJsonObject ups;
        for (const snmp::UpsReading& reading : readings) {
            if (reading.text) {
                // SNMP texts are bytes; the UPS MIB's are ASCII, others are taken as Latin-1.
                ups[Q(reading.key)] = Q(*reading.text);
            } else if (reading.number) {
                ups[Q(reading.key)] = static_cast<qint64>(*reading.number);
            }
        }
        if (Done(task)) {
            record["ups"] = ups;
        }
        Record(record, {});
    } else if (format_ == Format::Csv) {
        std::vector<std::string> row = {card, std::string(fleet::ResultName(task.result())),
                                        task.message(), mac};
        for (const snmp::UpsReading& reading : readings) {
            row.push_back(ReadingText(reading));
        }
        Line(CsvRow(row, columns_));
    } else if (!Done(task)) {
        TableOf(task);
    } else {
        std::string block = card + "  " + ForTerminal(mac) + "\n";
        for (const snmp::UpsReading& reading : readings) {
            block += "  " + Padded(reading.key, 19) + ForTerminal(ReadingText(reading)) + "\n";
        }
        Line(block);
    }
}

void Output::TableOf(const fleet::CardTask& task) {
    const std::string card = FormatDottedAddress(task.address());
    if (!Done(task) || (command_ != Command::ConfigGet && command_ != Command::Snmpv3List)) {
        Line(Padded(card, 15) + Padded(std::string(fleet::ResultName(task.result())), 11) +
             ForTerminal(task.message()) + "\n");
        return;
    }
    std::string block = card + "\n";
    if (command_ == Command::ConfigGet) {
        for (const fleet::NamedValue& field : Fields(task)) {
            block += "  " + Padded(field.name, 21) + ForTerminal(field.value) + "\n";
        }
    } else {
        const UsmConfiguration& users = task.users();
        block += "  engine-id " + ForTerminal(users.engineId) + "\n  context   " +
                 ForTerminal(users.contextName) + "\n";
        for (int i = 0; i < usm::kUsers; ++i) {
            block += "  " + std::to_string(i) + " " +
                     Padded(ForTerminal(users.userNames[static_cast<std::size_t>(i)]), 8) +
                     LevelKey(LevelOf(users.securityLevels, i)) + "\n";
        }
    }
    Line(block);
}

void Output::Record(const QJsonObject& object, const std::vector<std::string>& csv) {
    if (format_ == Format::Csv) {
        Line(CsvRow(csv, columns_));
        return;
    }
    out_ << (first_ ? "\n" : ",\n") << QJsonDocument(object).toJson(QJsonDocument::Compact).data()
         << std::flush;
    first_ = false;
}

void Output::Line(const std::string& text) {
    out_ << text << std::flush;
}

void Output::Finish() {
    if (format_ == Format::Json) {
        out_ << "\n]\n" << std::flush;
    } else if (format_ == Format::Prometheus) {
        out_ << snmp::PrometheusText(statuses_) << std::flush;
    }
}

}  // namespace parvolink::cli
