// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <iostream>

#include "app/Version.h"
#include "app/cli/ExitCodes.h"
#include "app/cli/SmallFile.h"
#include "core/config/UsmConfiguration.h"
#include "core/devices/DeviceList.h"

namespace parvolink::cli {
namespace {

using Command = CliOptions::Command;

struct CommandInfo {
    QStringList words;
    Command command;
    const char* arguments;  // for the usage line
    const char* description;
};

const std::array<CommandInfo, 9> kCommands = {{
    {{"discover"},
     Command::Discover,
     "",
     "Finds the cards of a network with the window's Discover: the network's broadcast address, "
     "then every address of it. Prints each card as it answers."},
    {{"config", "get"},
     Command::ConfigGet,
     "CARD...",
     "Reads each card's configuration and prints it by field name."},
    {{"config", "set"},
     Command::ConfigSet,
     "CARD... NAME=VALUE...",
     "Reads each card's configuration, changes the fields named, checks them as the "
     "configuration dialog does and writes them back."},
    {{"config", "reset"},
     Command::ConfigReset,
     "CARD...",
     "Sets each card's configuration back to its defaults."},
    {{"snmpv3", "list"}, Command::Snmpv3List, "CARD...", "Prints each card's SNMPv3 users."},
    {{"snmpv3", "set"},
     Command::Snmpv3Set,
     "CARD...",
     "Writes one SNMPv3 user, with keys derived from its passwords as the window derives them."},
    {{"snmpv3", "context"},
     Command::Snmpv3Context,
     "CARD... NAME",
     "Writes the SNMPv3 context name."},
    {{"snmpv3", "reset"},
     Command::Snmpv3Reset,
     "CARD...",
     "Sets each card's SNMPv3 users back to their defaults."},
    {{"upgrade"},
     Command::Upgrade,
     "FILE CARD...",
     "Serves FILE from this program's TFTP server on port 69 and has each card fetch it."},
}};

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
    "  upgrade FILE CARD...      upgrade each card's firmware\n"
    "\n"
    "CARD is a card's IPv4 address; --all-discovered takes every card a discover finds.\n"
    "The card's password comes from PARVOLINK_PASSWORD, --password-file or a prompt.\n"
    "'parvolink-cli COMMAND --help' describes a command's options.\n"
    "Writes go to every card or to none: each card is checked first (--keep-going writes\n"
    "the cards that pass).\n"
    "Exit codes: 0 done, 1 a card refused or answered \"Error\", 2 bad usage or input,\n"
    "3 no response, 4 a local fault; 130, 143 or 129 after SIGINT, SIGTERM or SIGHUP.\n";

struct UsageError {
    std::string line;
};
struct HelpShown {};

int Usage(const std::string& command, const std::string& line) {
    std::cerr << "parvolink-cli" << (command.empty() ? "" : " " + command) << ": " << line << "\n";
    return exitcode::kBadInput;
}

int Number(const QCommandLineParser& parser, const QString& name, int low, int high) {
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < low || value > high) {
        throw UsageError{"--" + name.toStdString() + " takes a number from " + std::to_string(low) +
                         " to " + std::to_string(high)};
    }
    return value;
}

std::string Text(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

Format ParseFormat(const QString& text) {
    if (text == "table") {
        return Format::Table;
    }
    if (text == "json") {
        return Format::Json;
    }
    if (text == "csv") {
        return Format::Csv;
    }
    throw UsageError{"--format takes table, json or csv, not \"" + Text(text) + "\""};
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

// A value for a card, whose texts are Latin-1 as the window's: what the user wrote in UTF-8 is
// encoded so; bytes that are not UTF-8 are taken as Latin-1 already.
std::string CardText(const QByteArray& raw) {
    const QString decoded = QString::fromUtf8(raw);
    const bool utf8 =
        !decoded.contains(QChar::ReplacementCharacter) || raw.contains("\xEF\xBF\xBD");
    return utf8 ? decoded.toLatin1().toStdString() : raw.toStdString();
}

fleet::FieldChange Change(const std::string& argument) {
    std::string error;
    if (auto change = fleet::ParseFieldChange(argument, error)) {
        return *change;
    }
    throw UsageError{error};
}

// NAME=VALUE lines; blank lines and lines starting with '#' are skipped.
std::vector<fleet::FieldChange> ChangesFromFile(const QString& path) {
    std::string error;
    // Read whole: the file may be a pipe, whose end shows only once it is read.
    const auto text = ReadSmallFile(Text(path), kLongestChangesFile, error);
    if (!text) {
        throw UsageError{error};
    }
    std::vector<fleet::FieldChange> changes;
    for (const QByteArray& raw : QByteArray::fromStdString(*text).split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.isEmpty() && !line.startsWith('#')) {
            changes.push_back(Change(CardText(line)));
        }
    }
    return changes;
}

int Level(const QString& text) {
    const QString level = text.toLower();
    const std::array<QString, 3> names = {"noauthnopriv", "authnopriv", "authpriv"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (level == names[i] || level == QString::number(i)) {
            return static_cast<int>(i);
        }
    }
    throw UsageError{"--level takes noAuthNoPriv, authNoPriv or authPriv"};
}

std::string Limited(const QString& text, std::size_t limit, const std::string& name) {
    const std::string value = Text(text);
    if (value.size() > limit) {
        throw UsageError{name + ": at most " + std::to_string(limit) + " characters"};
    }
    return value;
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

CliOptions Parse(const CommandInfo& info, const QStringList& rest) {
    QCommandLineParser parser;
    parser.setApplicationDescription(info.description);
    parser.addHelpOption();
    parser.addOptions({
        {"format", "Output as table, json or csv (default table).", "FORMAT", "table"},
        {"lan", "The network to search, such as 192.168.1.0/24.", "ADDRESS/PREFIX"},
        {"interface", "Search the network of this interface.", "NAME"},
    });
    const bool upgrade = info.command == Command::Upgrade;
    if (info.command != Command::Discover) {
        AddCardOptions(parser, upgrade ? kDefaultParallelUpgrades : kDefaultParallel);
    }
    if (Writes(info.command)) {
        AddWriteOptions(parser);
    }
    if (info.command == Command::ConfigSet) {
        parser.addOption({"from", "Read NAME=VALUE lines from FILE.", "FILE"});
    }
    if (info.command == Command::Snmpv3Set) {
        parser.addOptions({
            {"index", "The user's row, 0 to 7.", "N"},
            {"user", "The user's name, at most 8 characters.", "NAME"},
            {"level", "noAuthNoPriv, authNoPriv or authPriv.", "LEVEL"},
            {"auth-password-file",
             "Read the authentication password from FILE "
             "(else PARVOLINK_AUTH_PASSWORD, else a prompt).",
             "FILE"},
            {"priv-password-file",
             "Read the privacy password from FILE "
             "(else PARVOLINK_PRIV_PASSWORD, else a prompt).",
             "FILE"},
        });
    }
    if (*info.arguments != '\0') {
        parser.addPositionalArgument("CARD", "A card's IPv4 address, such as 192.168.1.10.",
                                     info.arguments);
    }
    const QString name = "parvolink-cli " + info.words.join(' ');
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
    options.command = info.command;
    options.format = ParseFormat(parser.value("format"));
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
    if (info.command == Command::Discover) {
        if (!positional.isEmpty()) {
            throw UsageError{"discover takes no cards, but was given \"" +
                             Text(positional.front()) + "\""};
        }
        return options;
    }

    options.account = Limited(parser.value("account"), devices::kAccountLength, "--account");
    options.passwordFile = Text(parser.value("password-file"));
    options.parallel =
        Number(parser, "parallel", 1, upgrade ? kMostParallelUpgrades : kMostParallel);
    options.keepGoing = Writes(info.command) && parser.isSet("keep-going");
    options.allDiscovered = parser.isSet("all-discovered");
    options.job = fleet::Job(fleet::Job::Kind::Identify);
    switch (info.command) {
        case Command::ConfigGet:
            options.job.kind = fleet::Job::Kind::ReadConfiguration;
            break;
        case Command::ConfigSet: {
            options.job.kind = fleet::Job::Kind::WriteConfiguration;
            if (parser.isSet("from")) {
                options.job.changes = ChangesFromFile(parser.value("from"));
            }
            QStringList cards;
            for (const QString& argument : positional) {
                if (argument.contains('=')) {
                    options.job.changes.push_back(Change(CardText(argument.toUtf8())));
                } else {
                    cards << argument;
                }
            }
            positional = cards;
            if (options.job.changes.empty()) {
                throw UsageError{"name at least one NAME=VALUE to set"};
            }
            break;
        }
        case Command::ConfigReset:
            options.job.kind = fleet::Job::Kind::ResetConfiguration;
            break;
        case Command::Snmpv3List:
            options.job.kind = fleet::Job::Kind::ReadUsers;
            break;
        case Command::Snmpv3Set:
            options.job.kind = fleet::Job::Kind::WriteUser;
            for (const char* required : {"index", "user", "level"}) {
                if (!parser.isSet(required)) {
                    throw UsageError{std::string("--") + required + " is needed"};
                }
            }
            options.job.user.index = Number(parser, "index", 0, usm::kUsers - 1);
            options.job.user.name = Limited(parser.value("user"), usm::kTextLength, "--user");
            options.job.user.level = Level(parser.value("level"));
            options.authPasswordFile = Text(parser.value("auth-password-file"));
            options.privPasswordFile = Text(parser.value("priv-password-file"));
            break;
        case Command::Snmpv3Context:
            options.job.kind = fleet::Job::Kind::WriteContext;
            if (positional.isEmpty()) {
                throw UsageError{"name the context"};
            }
            options.job.context =
                Limited(positional.takeLast(), usm::kTextLength, "the context name");
            break;
        case Command::Snmpv3Reset:
            options.job.kind = fleet::Job::Kind::ResetUsers;
            break;
        case Command::Upgrade:
            options.job.kind = fleet::Job::Kind::Upgrade;
            if (positional.isEmpty()) {
                throw UsageError{"name the firmware file"};
            }
            options.job.firmware = Text(positional.takeFirst());
            break;
        case Command::Discover:
            break;
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
    for (const CommandInfo& info : kCommands) {
        if (words.mid(0, info.words.size()) == info.words) {
            try {
                return Parse(info, words.mid(info.words.size()));
            } catch (const UsageError& error) {
                return Usage(Text(info.words.join(' ')), error.line);
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
