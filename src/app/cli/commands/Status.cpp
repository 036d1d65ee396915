// SPDX-License-Identifier: GPL-3.0-or-later
// status: each card's UPS read over SNMP, with the UPS MIB of RFC 1628.
#include <QCommandLineParser>
#include <map>

#include "app/cli/ExitCodes.h"
#include "app/cli/SmallFile.h"
#include "app/cli/SnmpStage.h"
#include "app/cli/TerminalText.h"
#include "app/cli/commands/Commands.h"
#include "app/cli/commands/SnmpReading.h"
#include "core/snmp/CardLabels.h"

namespace parvolink::cli::commands {
namespace {

// A reading as its text (enumerations by name) or its number; empty when it was missing.
std::string ReadingText(const snmp::UpsReading& reading) {
    return reading.text     ? *reading.text
           : reading.number ? std::to_string(*reading.number)
                            : std::string();
}

// A labels file names a card in a line of some 100 bytes: a thousand fleets' worth.
constexpr std::size_t kMostCardLabelsBytes = 1 << 20;

class Status : public SnmpReading {
public:
    Status()
        : SnmpReading({"status"}, true, "read each UPS's status over SNMP",
                      "Reads each card's UPS over SNMP (the UPS MIB of RFC 1628): battery, "
                      "charge, time left, voltages, load and alarms.") {}
    std::vector<std::pair<Format, const char*>> Formats() const override {
        auto formats = SnmpReading::Formats();
        formats.emplace_back(Format::Prometheus, "prometheus");
        return formats;
    }
    // Every card is asked: one that did not say who it is may still have an agent.
    std::optional<SnmpQuestion> Question() const override {
        return Ask(SnmpQuestion::Kind::UpsStatus);
    }
    bool AskedOverSnmp(const fleet::CardTask&) const override { return true; }
    bool AsksEveryCard() const override { return true; }
    void AddOptions(QCommandLineParser& parser) const override {
        SnmpReading::AddOptions(parser);
        parser.addOption({"label",
                          "Add the label KEY=VALUE to every Prometheus series (repeatable): a "
                          "site, a room.",
                          "KEY=VALUE"});
        parser.addOption({"card-labels",
                          "Add each card's own labels to its Prometheus series from FILE: lines "
                          "of ADDRESS KEY=VALUE... (a name, a site; a value with blanks in "
                          "double quotes).",
                          "FILE"});
    }
    void Take(const QCommandLineParser& parser, QStringList& positional) override {
        SnmpReading::Take(parser, positional);
        for (const QString& label : parser.values("label")) {
            const std::string text = Text(label);
            const std::size_t equals = text.find('=');
            const std::string name = text.substr(0, equals);
            if (equals == std::string::npos || !snmp::IsFreeLabelName(name)) {
                throw UsageError{
                    "--label takes KEY=VALUE, KEY a label name of letters, digits "
                    "and _ other than address, mac, reason, state and source, not \"" +
                    ForTerminal(text) + "\""};
            }
            labels_.emplace_back(name, text.substr(equals + 1));
        }
        cardLabelsFile_ = Text(parser.value("card-labels"));
    }
    std::optional<Fault> CheckInput() override {
        if (cardLabelsFile_.empty()) {
            return std::nullopt;
        }
        std::string error;
        int code = exitcode::kBadInput;
        const auto text = ReadSmallFile(cardLabelsFile_, kMostCardLabelsBytes, error, &code);
        if (!text) {
            return Fault{code, error};
        }
        auto labels = snmp::CardLabels::Parse(*text, error);
        if (!labels) {
            return Fault{exitcode::kBadInput, cardLabelsFile_ + ": " + error};
        }
        cardLabels_ = std::move(*labels);
        return std::nullopt;
    }
    snmp::Labels MetricLabels() const override { return labels_; }
    // The Prometheus text is whole and says which cards answered (parvolink_ups_snmp_up): a
    // textfile job that writes it should keep it, so a card that did not answer ends the run
    // well. Local faults and bad usage still end it badly.
    int ExitCode(int worst, Format format) const override {
        const bool cardsOnly = worst == exitcode::kRefused || worst == exitcode::kNoResponse;
        return format == Format::Prometheus && cardsOnly ? exitcode::kDone : worst;
    }
    void Answered(fleet::CardTask& task, const snmp::Answer& answer) override {
        auto [result, message] = Verdict(answer);
        if (result == fleet::Result::Done && !answer.errorStatus.empty()) {
            // An answer that is an error (SNMPv1's noSuchName, say) carries no readings.
            result = fleet::Result::Refused;
        }
        task.Fail(result, message);
        readings_[task.address()] = snmp::ReadUpsStatus(answer.values);
    }

    std::vector<std::string> Heading() const override {
        std::vector<std::string> heading = Command::Heading();
        heading.emplace_back("mac-address");
        for (const std::string& key : snmp::UpsReadingKeys()) {
            heading.push_back(key);
        }
        return heading;
    }

    Record Describe(const fleet::CardTask& task) const override {
        Record record = Command::Describe(task);
        const std::string card = FormatDottedAddress(task.address());
        const std::string& mac = task.card().macAddress;
        const auto asked = readings_.find(task.address());
        if (asked == readings_.end()) {
            // Never asked (a signal came first): it is not up.
            record.metrics = {card,
                              Utf8FromLatin1(mac),
                              snmp::Outcome::NoResponse,
                              {},
                              Utf8FromLatin1(task.message()),
                              cardLabels_.For(task.address())};
            return record;
        }
        const bool done = task.result() == fleet::Result::Done;
        // One rule for every format: the readings of a card that answered without an error.
        const std::vector<snmp::UpsReading> readings =
            done ? asked->second : std::vector<snmp::UpsReading>{};
        record.metrics = {card,
                          Utf8FromLatin1(mac),
                          done ? snmp::Outcome::Answered : snmp::Outcome::NoResponse,
                          readings,
                          Utf8FromLatin1(task.message()),
                          cardLabels_.For(task.address())};
        record.json["mac-address"] = Latin1(mac);
        QJsonObject ups;
        std::string block = card + "  " + ForTerminal(mac) + "\n";
        record.csv.front().push_back(mac);
        for (const snmp::UpsReading& reading : readings) {
            if (reading.text) {
                // SNMP texts are bytes; the UPS MIB's are ASCII, others are taken as Latin-1.
                ups[Latin1(reading.key)] = Latin1(*reading.text);
            } else if (reading.number) {
                ups[Latin1(reading.key)] = static_cast<qint64>(*reading.number);
            }
            record.csv.front().push_back(ReadingText(reading));
            block += "  " + Padded(reading.key, 19) + ForTerminal(ReadingText(reading)) + "\n";
        }
        if (done) {
            record.json["ups"] = ups;
            record.table = block;
        }
        return record;
    }

private:
    std::map<Ipv4Address, std::vector<snmp::UpsReading>> readings_;
    snmp::Labels labels_;
    std::string cardLabelsFile_;
    snmp::CardLabels cardLabels_;
};

}  // namespace

std::unique_ptr<Command> MakeStatus() {
    return std::make_unique<Status>();
}

}  // namespace parvolink::cli::commands
