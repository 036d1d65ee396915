// SPDX-License-Identifier: GPL-3.0-or-later
// parvolink-cli's command line as a user types it: whole argument lists, read by the program's
// own parser, with what it prints and the code it ends with.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "app/cli/CommandLine.h"

namespace parvolink::cli {
namespace {

// Standard output and error while it lives.
class Captured {
public:
    Captured() : out_(std::cout.rdbuf(outText.rdbuf())), err_(std::cerr.rdbuf(errText.rdbuf())) {}
    ~Captured() {
        std::cout.rdbuf(out_);
        std::cerr.rdbuf(err_);
    }
    std::ostringstream outText;
    std::ostringstream errText;

private:
    std::streambuf* out_;
    std::streambuf* err_;
};

std::variant<ParsedCommand, int> Parse(const QStringList& words) {
    return ParseCommandLine(QStringList{"parvolink-cli"} + words);
}

TEST(CliCommandLine, EndsAtOnceWithTheCodeAndTheLine) {
    struct Case {
        QStringList words;
        int code;
        const char* printed;  // on standard output for 0, on standard error otherwise
        const char* absent;   // never printed (empty: no such check)
    };
    const Case cases[] = {
        {{"--help"}, 0, "snmpv3 verify CARD... --user NAME --level LEVEL", ""},
        {{"--help"}, 0, "nut-config CARD...", ""},
        {{}, 2, "commands:", ""},
        {{"config", "--help"}, 0, "config reset CARD...", "snmpv3"},
        {{"snmpv3", "-h"}, 0, "snmpv3 verify", "config get"},
        {{"snmpv3"}, 2, "snmpv3 takes list, set, context, reset or verify", ""},
        {{"config", "put", "10.0.0.1"}, 2, "config takes get, set or reset", ""},
        {{"frobnicate"}, 2, "unknown command \"frobnicate\"", ""},
        {{"status", "--help"}, 0, "--community-file", "--account"},
        {{"status", "--help"}, 0, "prometheus", "--keep-going"},
        {{"snmpv3", "verify", "--help"}, 0, "--user", "--password-file"},
        {{"config", "get", "--help"}, 0, "--password-file", "--keep-going"},
        {{"config", "set", "--help"}, 0, "--keep-going", "--community-file"},
        {{"upgrade", "--help"}, 0, "--confirm-timeout", "--user"},
        {{"config", "get", "10.0.0.1", "--format", "prometheus"},
         2,
         "--format takes table, json or csv, not \"prometheus\"",
         ""},
        {{"status", "10.0.0.1"}, 2, "give --user and --level, or --community-file", ""},
        {{"status", "10.0.0.1", "--user", "ops", "--level", "authPriv", "--account", "x"},
         2,
         "account",
         ""},
        {{"config", "get"}, 2, "name at least one card, or give --all-discovered", ""},
        {{"config", "get", "10.0.0.300"}, 2, "\"10.0.0.300\" is not a card's address", ""},
        {{"config", "get", "255.255.255.255"}, 2, "is not a card's address", ""},
        {{"discover", "10.0.0.1"}, 2, "discover takes no cards", ""},
        {{"upgrade", "--parallel", "11", "f.bin", "10.0.0.1"},
         2,
         "--parallel takes a number from 1 to 10",
         ""},
        {{"config", "set", "10.0.0.1"}, 2, "name at least one NAME=VALUE to set", ""},
        {{"config", "set", "10.0.0.1", "no-such-field=1"}, 2, "no-such-field", ""},
        {{"snmpv3", "set", "10.0.0.1", "--user", "ops", "--level", "authPriv"},
         2,
         "--index is needed",
         ""},
        {{"snmpv3", "set", "10.0.0.1", "--index", "8", "--user", "ops", "--level", "1"},
         2,
         "--index takes a number from 0 to 7",
         ""},
        {{"snmpv3", "context", "10.0.0.1", "ninechars"}, 2, "at most 8 characters", ""},
        {{"status", "10.0.0.1", "--user", "ops", "--level", "top"},
         2,
         "--level takes noAuthNoPriv",
         ""},
        {{"discover", "--lan", "10.0.0.0/33"}, 2, "--lan takes a network", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.join(' ').toStdString());
        Captured captured;
        const auto parsed = Parse(c.words);
        ASSERT_TRUE(std::holds_alternative<int>(parsed));
        EXPECT_EQ(std::get<int>(parsed), c.code);
        const std::string printed = c.code == 0 ? captured.outText.str() : captured.errText.str();
        EXPECT_NE(printed.find(c.printed), std::string::npos) << printed;
        if (*c.absent != '\0') {
            EXPECT_EQ(printed.find(c.absent), std::string::npos) << printed;
        }
        // A usage error is one line; help goes nowhere else.
        if (c.code == 2 && !c.words.isEmpty()) {
            EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
        }
        EXPECT_TRUE(c.code == 0 ? captured.errText.str().empty() : captured.outText.str().empty());
    }
}

TEST(CliCommandLine, TakesWhatEachCommandRuns) {
    Captured captured;
    {
        auto parsed =
            Parse({"config", "get", "10.0.0.1", "10.0.0.1", "10.0.0.2", "--format", "csv"});
        auto& [options, command] = std::get<ParsedCommand>(parsed);
        EXPECT_EQ(options.cards, (std::vector<Ipv4Address>{{10, 0, 0, 1}, {10, 0, 0, 2}}));
        EXPECT_EQ(options.format, Format::Csv);
        EXPECT_EQ(options.parallel, kDefaultParallel);
        EXPECT_EQ(command->Job().operation, Operation::ReadConfiguration);
        EXPECT_FALSE(command->Writes());
        EXPECT_FALSE(command->Question().has_value());
    }
    {
        auto parsed = Parse({"snmpv3", "set", "10.0.0.1", "--index", "3", "--user", "ops",
                             "--level", "authPriv", "--verify", "--snmp-timeout", "2500",
                             "--keep-going", "--account", "root"});
        auto& [options, command] = std::get<ParsedCommand>(parsed);
        EXPECT_TRUE(options.keepGoing);
        EXPECT_EQ(options.account, "root");
        const fleet::Job job = command->Job();
        EXPECT_EQ(job.operation, Operation::WriteUsers);
        EXPECT_FALSE(job.context.has_value());
        EXPECT_EQ(job.user.index, 3);
        EXPECT_EQ(job.user.name, "ops");
        EXPECT_EQ(job.user.level, 2);
        ASSERT_TRUE(command->Question().has_value());
        EXPECT_EQ(command->Question()->kind, SnmpQuestion::Kind::VerifyUserJustWritten);
        EXPECT_EQ(command->Question()->timeoutMs, 2500);
        EXPECT_TRUE(command->KeepsCardsToTheEnd());
    }
    {
        auto parsed = Parse({"upgrade", "fw.bin", "10.0.0.9", "--no-confirm"});
        auto& [options, command] = std::get<ParsedCommand>(parsed);
        EXPECT_EQ(options.parallel, 10);
        EXPECT_EQ(command->Job().firmware, "fw.bin");
        EXPECT_FALSE(command->Job().confirm);
        EXPECT_TRUE(command->Writes());
    }
    {
        auto parsed = Parse({"config", "set", "--all-discovered", "--lan", "198.51.100.0/24",
                             "sntp-server-1=198.51.100.1", "http-port=8080"});
        auto& [options, command] = std::get<ParsedCommand>(parsed);
        EXPECT_TRUE(options.allDiscovered);
        EXPECT_TRUE(options.cards.empty());
        ASSERT_TRUE(options.lan.has_value());
        EXPECT_EQ(command->Job().changes.size(), 2u);
    }
    {
        auto parsed = Parse({"status", "10.0.0.1", "--community-file", "/dev/null",
                             "--snmp-version", "1", "--format", "prometheus"});
        auto& [options, command] = std::get<ParsedCommand>(parsed);
        EXPECT_EQ(options.format, Format::Prometheus);
        EXPECT_FALSE(command->NeedsCardPassword());
        ASSERT_TRUE(command->Question().has_value());
        EXPECT_EQ(command->Question()->credentials.version, snmp::Credentials::Version::V1);
    }
    EXPECT_EQ(captured.errText.str(), "");
}

}  // namespace
}  // namespace parvolink::cli
