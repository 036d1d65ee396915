// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <iostream>

#include "app/Version.h"
#include "app/cli/ExitCodes.h"
#include "core/devices/DeviceList.h"

namespace parvolink::cli {
namespace {

constexpr const char* kAbout =
    "usage: parvolink-cli COMMAND [OPTIONS] [ARGUMENTS]\n"
    "\n"
    "Works on the network management cards of UPS units, as the Parvolink window does.\n";

constexpr const char* kConventions =
    "CARD is a card's IPv4 address; --all-discovered takes every card a discover finds.\n"
    "The card's password comes from PARVOLINK_PASSWORD, --password-file or a prompt;\n"
    "--accounts FILE gives each card its own.\n"
    "SNMP passwords from PARVOLINK_AUTH_PASSWORD and PARVOLINK_PRIV_PASSWORD or files.\n"
    "'parvolink-cli COMMAND --help' describes a command's options.\n"
    "Writes go to every card or to none: each card is checked first (--keep-going writes\n"
    "the cards that pass). A card already as asked is \"unchanged\" and not written;\n"
    "--check shows what a write would change and writes nothing.\n"
    "Exit codes: 0 done, 1 a card refused or answered \"Error\", 2 bad usage or input,\n"
    "3 no response, 4 a local fault (a file that cannot be read), 5 audit found something at\n"
    "or above --fail-on; 130, 143 or 129 after SIGINT, SIGTERM or SIGHUP.\n";

struct HelpShown {};

int Usage(const std::string& command, const std::string& line, int code = exitcode::kBadInput) {
    std::cerr << "parvolink-cli" << (command.empty() ? "" : " " + command) << ": " << line << "\n";
    return code;
}

// "a, b or c".
std::string Listed(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    }
    return text;
}

// The overview's lines for the commands whose words begin with family (all: empty).
std::string CommandLines(const QString& family) {
    std::string lines;
    for (const auto& command : MakeCommands()) {
        if (!family.isEmpty() && command->Words().front() != family) {
            continue;
        }
        std::string usage = Text(command->Words().join(' '));
        if (*command->Synopsis() != '\0') {
            usage += std::string(" ") + command->Synopsis();
        }
        // A long usage puts its summary under it, in the summaries' column.
        lines += "  " +
                 (usage.size() < 24 ? Padded(usage, 24) : usage + "\n" + std::string(27, ' ')) +
                 command->Summary() + "\n";
    }
    return lines;
}

// The second words of the commands of family ("get", "set"...).
std::vector<std::string> Members(const QString& family) {
    std::vector<std::string> members;
    for (const auto& command : MakeCommands()) {
        if (command->Words().size() > 1 && command->Words().front() == family) {
            members.push_back(Text(command->Words().at(1)));
        }
    }
    return members;
}

Format ParseFormat(const QString& text, const Command& command) {
    std::vector<std::string> names;
    for (const auto& [format, name] : command.Formats()) {
        if (text == name) {
            return format;
        }
        names.emplace_back(name);
    }
    throw UsageError{"--format takes " + Listed(names) + ", not \"" + Text(text) + "\""};
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

// The options every command shares, as far as it takes them.
void AddSharedOptions(QCommandLineParser& parser, const Command& command) {
    std::vector<std::string> formats;
    for (const auto& format : command.Formats()) {
        formats.emplace_back(format.second);
    }
    parser.addOptions({
        {"format", QString::fromStdString("Output as " + Listed(formats) + " (default table)."),
         "FORMAT", "table"},
        {"lan", "The network to search, such as 192.168.1.0/24.", "ADDRESS/PREFIX"},
        {"interface", "Search the network of this interface.", "NAME"},
        {"large-sweep", "Discover a network larger than a /16 (it takes hours)."},
        {"output",
         "Write the output to FILE instead, replaced whole once it is complete (a "
         "temporary file renamed), as node_exporter's textfile collector needs.",
         "FILE"},
    });
    if (!command.TakesCards()) {
        return;
    }
    if (command.NeedsCardPassword()) {
        parser.addOptions({
            {"account", "The cards' administrator account (default admin).", "NAME", "admin"},
            {"password-file", "Read the password from the first line of FILE.", "FILE"},
            {"accounts",
             "Each card's account and password from FILE: lines of CARD ACCOUNT PASSWORD, CARD "
             "an address, a MAC address or * (the first line naming a card wins). Readable by "
             "its owner only.",
             "FILE"},
        });
    }
    const QString parallel = QString::number(command.DefaultParallel());
    parser.addOptions({
        {"parallel", "Work on at most N cards at once (default " + parallel + ").", "N", parallel},
        {"all-discovered", "Work on every card a discover finds."},
    });
    if (command.Writes()) {
        // Writes go to every card or to none, unless the user asks for the rest anyway.
        parser.addOption({"keep-going",
                          "Write the cards that pass their checks even when others do not (by "
                          "default nothing is written unless every card passes)."});
        parser.addOption({"check",
                          "Identify, read and check every card, print what would change, and "
                          "write nothing."});
    }
}

void TakeSharedOptions(const QCommandLineParser& parser, const Command& command,
                       CliOptions& options) {
    options.format = ParseFormat(parser.value("format"), command);
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
    options.largeSweep = parser.isSet("large-sweep");
    options.outputFile = Text(parser.value("output"));
    if (!command.TakesCards()) {
        return;
    }
    if (command.NeedsCardPassword()) {
        options.account = Limited(parser.value("account"), devices::kAccountLength, "--account");
        options.passwordFile = Text(parser.value("password-file"));
        options.accountsFile = Text(parser.value("accounts"));
    }
    options.parallel = Number(parser, "parallel", 1, command.MostParallel());
    options.allDiscovered = parser.isSet("all-discovered");
    options.keepGoing = command.Writes() && parser.isSet("keep-going");
    options.check = command.Writes() && parser.isSet("check");
}

ParsedCommand Parse(std::unique_ptr<Command> command, const QStringList& rest) {
    QCommandLineParser parser;
    parser.setApplicationDescription(command->Description());
    parser.addHelpOption();
    AddSharedOptions(parser, *command);
    command->AddOptions(parser);
    if (*command->Arguments() != '\0') {
        parser.addPositionalArgument("CARD", "A card's IPv4 address, such as 192.168.1.10.",
                                     command->Arguments());
    }
    const QString name = "parvolink-cli " + command->Words().join(' ');
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
    ParsedCommand parsed;
    TakeSharedOptions(parser, *command, parsed.options);
    QStringList positional = parser.positionalArguments();
    command->Take(parser, positional);
    if (command->TakesCards()) {
        for (const QString& card : positional) {
            const Ipv4Address address = Card(card);
            std::vector<Ipv4Address>& cards = parsed.options.cards;
            if (std::find(cards.begin(), cards.end(), address) == cards.end()) {
                cards.push_back(address);
            }
        }
        if (parsed.options.cards.empty() && !parsed.options.allDiscovered) {
            throw UsageError{"name at least one card, or give --all-discovered"};
        }
    }
    parsed.command = std::move(command);
    return parsed;
}

// A word that names a family of commands ("config", "snmpv3"), not a command by itself.
int FamilyOnly(const QStringList& words) {
    const QString family = words.front();
    const bool help = words.size() > 1 && (words.at(1) == "--help" || words.at(1) == "-h");
    if (help) {
        std::cout << "usage: parvolink-cli " << Text(family)
                  << " SUBCOMMAND [OPTIONS] [ARGUMENTS]\n"
                  << "\nsubcommands:\n"
                  << CommandLines(family) << "\n'parvolink-cli " << Text(family)
                  << " SUBCOMMAND --help' describes a subcommand's options.\n";
        return exitcode::kDone;
    }
    return Usage("", "\"" + Text(words.join(' ')) + "\": " + Text(family) + " takes " +
                         Listed(Members(family)));
}

}  // namespace

std::string HelpOverview() {
    return std::string(kAbout) + "\ncommands:\n" + CommandLines("") + "\n" + kConventions;
}

std::variant<ParsedCommand, int> ParseCommandLine(const QStringList& arguments) {
    const QStringList words = arguments.mid(1);
    if (words.isEmpty()) {
        std::cerr << HelpOverview();
        return exitcode::kBadInput;
    }
    if (words.front() == "--help" || words.front() == "-h" || words.front() == "help") {
        std::cout << HelpOverview();
        return exitcode::kDone;
    }
    if (words.front() == "--version") {
        std::cout << "parvolink-cli " << kVersion << "\n";
        return exitcode::kDone;
    }
    for (auto& command : MakeCommands()) {
        const QStringList own = command->Words();
        if (words.mid(0, own.size()) == own) {
            try {
                return Parse(std::move(command), words.mid(own.size()));
            } catch (const UsageError& error) {
                return Usage(Text(own.join(' ')), error.line, error.code);
            } catch (const HelpShown&) {
                return exitcode::kDone;
            }
        }
    }
    if (!Members(words.front()).empty()) {
        return FamilyOnly(words);
    }
    return Usage("", "unknown command \"" + Text(words.front()) + "\" (see parvolink-cli --help)");
}

}  // namespace parvolink::cli
