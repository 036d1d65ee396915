// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <iostream>

#include "app/Version.h"
#include "app/cli/Commands.h"
#include "app/cli/ExitCodes.h"
#include "core/devices/DeviceList.h"

namespace parvolink::cli {
namespace {

using Command = CliOptions::Command;

constexpr const char* kOverview =
    "usage: parvolink-cli COMMAND [OPTIONS] [ARGUMENTS]\n"
    "\n"
    "Works on the network management cards of UPS units, as the Parvolink window does.\n"
    "\n"
    "commands:\n"
    "  discover                  list the cards of a network\n"
    "  config get CARD...        print each card's configuration\n"
    "  config set CARD... NAME=VALUE...   change fields of each card's configuration\n"
    "  config reset CARD...      set each card's configuration back to defaults\n"
    "  snmpv3 list CARD...       print each card's SNMPv3 users\n"
    "  snmpv3 set CARD... --index N --user NAME --level LEVEL\n"
    "  snmpv3 context CARD... NAME\n"
    "  snmpv3 reset CARD...\n"
    "  snmpv3 verify CARD... --user NAME --level LEVEL   prove a user's keys over SNMP\n"
    "  upgrade FILE CARD...      upgrade each card's firmware\n"
    "  status CARD...            read each UPS's status over SNMP\n"
    "  nut-config CARD...        print ups.conf sections for NUT's snmp-ups driver\n"
    "\n"
    "CARD is a card's IPv4 address; --all-discovered takes every card a discover finds.\n"
    "The card's password comes from PARVOLINK_PASSWORD, --password-file or a prompt;\n"
    "SNMP passwords from PARVOLINK_AUTH_PASSWORD and PARVOLINK_PRIV_PASSWORD or files.\n"
    "'parvolink-cli COMMAND --help' describes a command's options.\n"
    "Writes go to every card or to none: each card is checked first (--keep-going writes\n"
    "the cards that pass).\n"
    "Exit codes: 0 done, 1 a card refused or answered \"Error\", 2 bad usage or input,\n"
    "3 no response, 4 a local fault; 130, 143 or 129 after SIGINT, SIGTERM or SIGHUP.\n";

struct HelpShown {};

int Usage(const std::string& command, const std::string& line) {
    std::cerr << "parvolink-cli" << (command.empty() ? "" : " " + command) << ": " << line << "\n";
    return exitcode::kBadInput;
}

Format ParseFormat(const QString& text, Command command) {
    if (text == "prometheus" && command == Command::Status) {
        return Format::Prometheus;
    }
    if (text == "table") {
        return Format::Table;
    }
    if (text == "json") {
        return Format::Json;
    }
    if (text == "csv") {
        return Format::Csv;
    }
    throw UsageError{"--format takes table, json or csv" +
                     std::string(command == Command::Status ? " or prometheus" : "") + ", not \"" +
                     Text(text) + "\""};
}

Ipv4Address Card(const QString& text) {
    const auto address = ParseStrictAddress(Text(text));
    // No card answers at the address of no host or of every host.
    if (!address || *address == Ipv4Address{0, 0, 0, 0} ||
        *address == Ipv4Address{255, 255, 255, 255}) {
        throw UsageError{"\"" + Text(text) + "\" is not a card's address (such as 192.168.1.10)"};
    }
    return *address;
}

void AddCardOptions(QCommandLineParser& parser, int parallel) {
    parser.addOptions({
        {"account", "The cards' administrator account (default admin).", "NAME", "admin"},
        {"password-file", "Read the password from the first line of FILE.", "FILE"},
        {"parallel", "Work on at most N cards at once (default " + QString::number(parallel) + ").",
         "N", QString::number(parallel)},
        {"all-discovered", "Work on every card a discover finds."},
    });
}

// Writes go to every card or to none, unless the user asks for the rest anyway.
void AddWriteOptions(QCommandLineParser& parser) {
    parser.addOption({"keep-going",
                      "Write the cards that pass their checks even when others do not (by "
                      "default nothing is written unless every card passes)."});
}

CliOptions Parse(const CliCommand& command, const QStringList& rest) {
    QCommandLineParser parser;
    parser.setApplicationDescription(command.Description());
    parser.addHelpOption();
    parser.addOptions({
        {"format",
         command.Id() == Command::Status
             ? "Output as table, json, csv or prometheus (default table)."
             : "Output as table, json or csv (default table).",
         "FORMAT", "table"},
        {"lan", "The network to search, such as 192.168.1.0/24.", "ADDRESS/PREFIX"},
        {"interface", "Search the network of this interface.", "NAME"},
    });
    const bool upgrade = command.Id() == Command::Upgrade;
    const bool cards = command.Id() != Command::Discover;
    if (cards) {
        AddCardOptions(parser, upgrade ? kDefaultParallelUpgrades : kDefaultParallel);
    }
    if (command.Writes()) {
        AddWriteOptions(parser);
    }
    command.AddOptions(parser);
    if (*command.Arguments() != '\0') {
        parser.addPositionalArgument("CARD", "A card's IPv4 address, such as 192.168.1.10.",
                                     command.Arguments());
    }
    const QString name = "parvolink-cli " + command.Words().join(' ');
    if (!parser.parse(QStringList{name} + rest)) {
        throw UsageError{Text(parser.errorText())};
    }
    if (parser.isSet("help")) {
        // Qt names the program by the path it was started from.
        QString help = parser.helpText();
        help.replace(QCoreApplication::arguments().value(0), name);
        std::cout << Text(help);
        throw HelpShown{};
    }

    CliOptions options;
    options.command = command.Id();
    options.format = ParseFormat(parser.value("format"), command.Id());
    if (parser.isSet("lan") && parser.isSet("interface")) {
        throw UsageError{"give --lan or --interface, not both"};
    }
    if (parser.isSet("lan")) {
        options.lan = ParseNetwork(Text(parser.value("lan")));
        if (!options.lan) {
            throw UsageError{"--lan takes a network such as 192.168.1.0/24, not \"" +
                             Text(parser.value("lan")) + "\""};
        }
    }
    options.interfaceName = Text(parser.value("interface"));
    QStringList positional = parser.positionalArguments();
    options.job = fleet::Job(fleet::Job::Kind::Identify);
    if (cards) {
        options.account = Limited(parser.value("account"), devices::kAccountLength, "--account");
        options.passwordFile = Text(parser.value("password-file"));
        options.parallel =
            Number(parser, "parallel", 1, upgrade ? kMostParallelUpgrades : kMostParallel);
        options.allDiscovered = parser.isSet("all-discovered");
        options.keepGoing = command.Writes() && parser.isSet("keep-going");
    }
    command.Take(parser, positional, options);
    if (!cards) {
        return options;
    }
    for (const QString& card : positional) {
        const Ipv4Address address = Card(card);
        if (std::find(options.cards.begin(), options.cards.end(), address) == options.cards.end()) {
            options.cards.push_back(address);
        }
    }
    if (options.cards.empty() && !options.allDiscovered) {
        throw UsageError{"name at least one card, or give --all-discovered"};
    }
    return options;
}

}  // namespace

bool AsksSnmp(const CliOptions& options) {
    return options.command == Command::Snmpv3Verify || options.command == Command::Status ||
           options.command == Command::NutConfig ||
           (options.command == Command::Snmpv3Set && options.snmp.verify);
}

bool Writes(Command command) {
    switch (command) {
        case Command::ConfigSet:
        case Command::ConfigReset:
        case Command::Snmpv3Set:
        case Command::Snmpv3Context:
        case Command::Snmpv3Reset:
        case Command::Upgrade:
            return true;
        default:
            return false;
    }
}

std::variant<CliOptions, int> ParseCommandLine(const QStringList& arguments) {
    const QStringList words = arguments.mid(1);
    if (words.isEmpty()) {
        std::cerr << kOverview;
        return exitcode::kBadInput;
    }
    if (words.front() == "--help" || words.front() == "-h" || words.front() == "help") {
        std::cout << kOverview;
        return exitcode::kDone;
    }
    if (words.front() == "--version") {
        std::cout << "parvolink-cli " << kVersion << "\n";
        return exitcode::kDone;
    }
    for (const auto& command : Commands()) {
        const QStringList own = command->Words();
        if (words.mid(0, own.size()) == own) {
            try {
                return Parse(*command, words.mid(own.size()));
            } catch (const UsageError& error) {
                return Usage(Text(own.join(' ')), error.line);
            } catch (const HelpShown&) {
                return exitcode::kDone;
            }
        }
    }
    const bool family = words.front() == "config" || words.front() == "snmpv3";
    return Usage(
        "", family ? "\"" + Text(words.join(' ')) + "\": " + Text(words.front()) + " takes " +
                         (words.front() == "config" ? "get, set or reset"
                                                    : "list, set, context or reset")
                   : "unknown command \"" + Text(words.front()) + "\" (see parvolink-cli --help)");
}

}  // namespace parvolink::cli
