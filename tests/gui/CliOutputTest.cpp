// SPDX-License-Identifier: GPL-3.0-or-later
// What parvolink-cli prints for the cards a command worked on, in each format: records read
// back by the parsers a script would use, cards whose texts are hostile included.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <sstream>

#include "app/cli/CommandLine.h"
#include "app/cli/Output.h"
#include "support/CliTestSupport.h"
#include "support/SimulatedCardRun.h"

namespace parvolink::cli {
namespace {

using testing::CommandFor;

const Ipv4Address kPc{198, 51, 100, 1};
const Ipv4Address kAnswering{198, 51, 100, 2};
const Ipv4Address kSilent{198, 51, 100, 3};

// The fields of a CSV line: commas outside quotes, plus one.
std::size_t CsvFields(const std::string& line) {
    std::size_t fields = 1;
    bool quoted = false;
    for (const char c : line) {
        quoted = c == '"' ? !quoted : quoted;
        fields += !quoted && c == ',' ? 1 : 0;
    }
    return fields;
}

class CliOutputTest : public ::testing::Test {
protected:
    // The command's tasks: one card that answers (its version text hostile), one silent.
    std::vector<fleet::CardTask> Tasks(const Command& command) {
        card.version = "2.1\"x\n\xff";
        std::vector<fleet::CardTask> tasks;
        for (const Ipv4Address& address : {kAnswering, kSilent}) {
            tasks.emplace_back(address, "admin", "lanterns", kPc, command.Job());
            card.faults.silent = address == kSilent;
            run.Run(tasks.back());
        }
        return tasks;
    }
    std::string Printed(const Command& command, Format format) {
        std::ostringstream out;
        Output output(out, format, command.Heading(), command.TableHeading());
        for (const fleet::CardTask& task : Tasks(command)) {
            output.Write(command.Describe(task));
        }
        output.Finish();
        return out.str();
    }

    cardsim::Card card = cardsim::MakeCard(kAnswering, 0);
    testing::SimulatedCardRun run{card, card.faults, {}};
};

TEST_F(CliOutputTest, JsonIsOneArrayWithARecordPerCard) {
    struct Case {
        QStringList words;
        const char* readKey;  // what the answering card's record carries
    };
    const Case cases[] = {
        {{"config", "get"}, "configuration"},
        {{"snmpv3", "list"}, "users"},
        {{"config", "reset"}, "message"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.join(' ').toStdString());
        const auto command = CommandFor(c.words);
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(
            QByteArray::fromStdString(Printed(*command, Format::Json)), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        const QJsonArray records = document.array();
        ASSERT_EQ(records.size(), 2);
        EXPECT_EQ(records[0]["card"].toString(), "198.51.100.2");
        EXPECT_EQ(records[0]["result"].toString(), "done");
        EXPECT_TRUE(records[0].toObject().contains(c.readKey));
        EXPECT_EQ(records[1]["result"].toString(), "no-response");
        EXPECT_FALSE(records[1].toObject().contains("configuration"));
    }
    // The card's Latin-1 text comes back whole, escaped, never cut at its quote.
    const QJsonArray read =
        QJsonDocument::fromJson(
            QByteArray::fromStdString(Printed(*CommandFor({"config", "get"}), Format::Json)))
            .array();
    EXPECT_EQ(read[0]["version"].toString(), QString::fromLatin1("2.1\"x\n\xff"));
}

TEST_F(CliOutputTest, CsvRowsHaveTheHeadingsColumns) {
    struct Case {
        QStringList words;
        int answeringRows;
    };
    const Case cases[] = {
        {{"config", "get"}, 1},
        {{"snmpv3", "list"}, 8},  // one row per user
        {{"snmpv3", "reset"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.join(' ').toStdString());
        const auto command = CommandFor(c.words);
        const std::string csv = Printed(*command, Format::Csv);
        const std::size_t columns = command->Heading().size();
        std::istringstream lines(csv);
        std::string line;
        int rows = -1;  // the heading
        while (std::getline(lines, line)) {
            EXPECT_EQ(CsvFields(line), columns) << line;
            ++rows;
        }
        EXPECT_EQ(rows, c.answeringRows + 1);
        EXPECT_EQ(csv.rfind("198.51.100.3,no-response,", csv.size() - 1) != std::string::npos,
                  true);
    }
}

TEST_F(CliOutputTest, TableShowsWhatWasReadOrTheResult) {
    const auto command = CommandFor({"snmpv3", "list"});
    const std::string table = Printed(*command, Format::Table);
    EXPECT_EQ(table.rfind("198.51.100.2\n  engine-id ", 0), 0u) << table;
    EXPECT_NE(table.find("\n198.51.100.3    no-response"), std::string::npos) << table;
    // A discover listing starts with its heading; other commands with their first card.
    const auto discover = ParseCommandLine({"parvolink-cli", "discover"});
    const Command& listing = *std::get<ParsedCommand>(discover).command;
    std::ostringstream out;
    Output output(out, Format::Table, listing.Heading(), listing.TableHeading());
    DeviceEntry row{.ipAddress = "198.51.100.2", .hostName = "ups\x1b[2J", .macAddress = "m"};
    output.Write(listing.Found(row));
    EXPECT_EQ(out.str().rfind("ip-address      host-name", 0), 0u) << out.str();
    EXPECT_EQ(out.str().find('\x1b'), std::string::npos) << "a card's text reached the terminal";
}

TEST_F(CliOutputTest, PrometheusCountsACardNeverAskedAsDown) {
    const auto command = CommandFor({"status", "--community-file", "/dev/null"});
    const std::string text = Printed(*command, Format::Prometheus);
    for (const char* line : {"parvolink_ups_snmp_up{address=\"198.51.100.2\"} 0\n",
                             "parvolink_ups_snmp_up{address=\"198.51.100.3\"} 0\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << text;
    }
    // The card identified is known by its MAC address all the same.
    EXPECT_NE(text.find("parvolink_ups_info{address=\"198.51.100.2\",mac="), std::string::npos);
}

}  // namespace
}  // namespace parvolink::cli
