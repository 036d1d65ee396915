// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/Commands.h"

#include <array>

#include "app/cli/SmallFile.h"
#include "core/config/UsmConfiguration.h"

namespace parvolink::cli {
namespace {

using Command = CliOptions::Command;
using Kind = fleet::Job::Kind;

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

// Where an SNMPv3 user's passwords come from, for the commands that take one.
QList<QCommandLineOption> PasswordFileOptions() {
    return {
        {"auth-password-file",
         "Read the authentication password from FILE "
         "(else PARVOLINK_AUTH_PASSWORD, else a prompt).",
         "FILE"},
        {"priv-password-file",
         "Read the privacy password from FILE (else PARVOLINK_PRIV_PASSWORD, else a prompt).",
         "FILE"},
    };
}

// The SNMP options of the commands that read over SNMP: an SNMPv3 user (its passwords from
// files or the environment) or, where a community may do, a community from a file.
void AddSnmpOptions(QCommandLineParser& parser, bool community) {
    parser.addOptions({
        {"user", "The SNMPv3 user, at most 8 characters.", "NAME"},
        {"level", "The user's level: noAuthNoPriv, authNoPriv or authPriv.", "LEVEL"},
        {"snmp-timeout",
         "Wait MS milliseconds for each SNMP answer (default " +
             QString::number(kDefaultSnmpTimeoutMs) + "; one retry).",
         "MS", QString::number(kDefaultSnmpTimeoutMs)},
    });
    parser.addOptions(PasswordFileOptions());
    if (community) {
        parser.addOptions({
            {"community-file",
             "Use SNMPv1 or v2c with the community on the first line of FILE (never on the "
             "command line).",
             "FILE"},
            {"snmp-version", "With --community-file: 1 or 2c (default 2c).", "VERSION", "2c"},
        });
    }
}

void TakeSnmpOptions(const QCommandLineParser& parser, bool community, CliOptions& options) {
    SnmpOptions& snmp = options.snmp;
    snmp.timeoutMs = Number(parser, "snmp-timeout", 10, kLongestSnmpTimeoutMs);
    if (community && parser.isSet("community-file")) {
        if (parser.isSet("user")) {
            throw UsageError{"give --user or --community-file, not both"};
        }
        const QString version = parser.value("snmp-version");
        if (version != "1" && version != "2c") {
            throw UsageError{"--snmp-version takes 1 or 2c"};
        }
        snmp.credentials.version =
            version == "1" ? snmp::Credentials::Version::V1 : snmp::Credentials::Version::V2c;
        snmp.communityFile = Text(parser.value("community-file"));
        return;
    }
    if (!parser.isSet("user") || !parser.isSet("level")) {
        throw UsageError{community ? "give --user and --level, or --community-file"
                                   : "--user and --level are needed"};
    }
    snmp.credentials.version = snmp::Credentials::Version::V3;
    snmp.credentials.user = Limited(parser.value("user"), usm::kTextLength, "--user");
    snmp.credentials.level = Level(parser.value("level"));
    options.authPasswordFile = Text(parser.value("auth-password-file"));
    options.privPasswordFile = Text(parser.value("priv-password-file"));
}

// A command that reads over SNMP once its cards are identified.
class SnmpReading : public CliCommand {
public:
    SnmpReading(QStringList words, Command id, bool community, const char* description)
        : words_(std::move(words)), id_(id), community_(community), description_(description) {}
    QStringList Words() const override { return words_; }
    Command Id() const override { return id_; }
    const char* Arguments() const override { return "CARD..."; }
    const char* Description() const override { return description_; }
    void AddOptions(QCommandLineParser& parser) const override {
        AddSnmpOptions(parser, community_);
        if (id_ == Command::NutConfig) {
            parser.addOption({"include-secrets", "Print the passwords or the community too."});
        }
    }
    void Take(const QCommandLineParser& parser, QStringList&, CliOptions& options) const override {
        options.job.kind = Kind::Identify;
        TakeSnmpOptions(parser, community_, options);
        options.snmp.includeSecrets = id_ == Command::NutConfig && parser.isSet("include-secrets");
    }

private:
    QStringList words_;
    Command id_;
    bool community_;
    const char* description_;
};

// A command that only names its job: it takes nothing but cards.
class Plain : public CliCommand {
public:
    Plain(QStringList words, Command id, Kind kind, const char* arguments, const char* description)
        : words_(std::move(words)),
          id_(id),
          kind_(kind),
          arguments_(arguments),
          description_(description) {}
    QStringList Words() const override { return words_; }
    Command Id() const override { return id_; }
    const char* Arguments() const override { return arguments_; }
    const char* Description() const override { return description_; }
    void Take(const QCommandLineParser&, QStringList&, CliOptions& options) const override {
        options.job.kind = kind_;
    }

private:
    QStringList words_;
    Command id_;
    Kind kind_;
    const char* arguments_;
    const char* description_;
};

class Discover : public Plain {
public:
    Discover()
        : Plain({"discover"}, Command::Discover, Kind::Identify, "",
                "Finds the cards of a network with the window's Discover: the network's "
                "broadcast address, then every address of it. Prints each card as it answers.") {}
    void Take(const QCommandLineParser&, QStringList& positional, CliOptions&) const override {
        if (!positional.isEmpty()) {
            throw UsageError{"discover takes no cards, but was given \"" +
                             Text(positional.front()) + "\""};
        }
    }
};

class ConfigSet : public CliCommand {
public:
    QStringList Words() const override { return {"config", "set"}; }
    Command Id() const override { return Command::ConfigSet; }
    const char* Arguments() const override { return "CARD... NAME=VALUE..."; }
    const char* Description() const override {
        return "Reads each card's configuration, changes the fields named, checks them as the "
               "configuration dialog does and writes them back.";
    }
    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption({"from", "Read NAME=VALUE lines from FILE.", "FILE"});
    }
    void Take(const QCommandLineParser& parser, QStringList& positional,
              CliOptions& options) const override {
        options.job.kind = Kind::WriteConfiguration;
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
    }
};

class Snmpv3Set : public CliCommand {
public:
    QStringList Words() const override { return {"snmpv3", "set"}; }
    Command Id() const override { return Command::Snmpv3Set; }
    const char* Arguments() const override { return "CARD..."; }
    const char* Description() const override {
        return "Writes one SNMPv3 user, with keys derived from its passwords as the window "
               "derives them.";
    }
    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOptions({
            {"index", "The user's row, 0 to 7.", "N"},
            {"user", "The user's name, at most 8 characters.", "NAME"},
            {"level", "noAuthNoPriv, authNoPriv or authPriv.", "LEVEL"},
            {"verify",
             "Then prove the user over SNMP: an authenticated GET of sysObjectID.0 at its "
             "level; done only when the card's agent answers."},
        });
        parser.addOptions(PasswordFileOptions());
    }
    void Take(const QCommandLineParser& parser, QStringList&, CliOptions& options) const override {
        options.job.kind = Kind::WriteUser;
        options.snmp.verify = parser.isSet("verify");
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
    }
};

class Snmpv3Context : public CliCommand {
public:
    QStringList Words() const override { return {"snmpv3", "context"}; }
    Command Id() const override { return Command::Snmpv3Context; }
    const char* Arguments() const override { return "CARD... NAME"; }
    const char* Description() const override { return "Writes the SNMPv3 context name."; }
    void Take(const QCommandLineParser&, QStringList& positional,
              CliOptions& options) const override {
        options.job.kind = Kind::WriteContext;
        if (positional.isEmpty()) {
            throw UsageError{"name the context"};
        }
        options.job.context = Limited(positional.takeLast(), usm::kTextLength, "the context name");
    }
};

class Upgrade : public CliCommand {
public:
    QStringList Words() const override { return {"upgrade"}; }
    Command Id() const override { return Command::Upgrade; }
    const char* Arguments() const override { return "FILE CARD..."; }
    const char* Description() const override {
        return "Serves FILE from this program's TFTP server on port 69 and has each card fetch "
               "it.";
    }
    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOptions({
            {"no-confirm",
             "Done once the file is transferred, without waiting for the card to come back."},
            {"confirm-timeout",
             "Wait at most SECONDS for a card to come back with the file's version (default " +
                 QString::number(kDefaultConfirmSeconds) + ").",
             "SECONDS", QString::number(kDefaultConfirmSeconds)},
        });
    }
    void Take(const QCommandLineParser& parser, QStringList& positional,
              CliOptions& options) const override {
        options.job.kind = Kind::Upgrade;
        options.job.confirm = !parser.isSet("no-confirm");
        options.job.confirmSeconds = Number(parser, "confirm-timeout", 1, kLongestConfirmSeconds);
        if (positional.isEmpty()) {
            throw UsageError{"name the firmware file"};
        }
        options.job.firmware = Text(positional.takeFirst());
    }
};

std::vector<std::unique_ptr<CliCommand>> MakeCommands() {
    std::vector<std::unique_ptr<CliCommand>> commands;
    commands.push_back(std::make_unique<Discover>());
    commands.push_back(std::make_unique<Plain>(
        QStringList{"config", "get"}, Command::ConfigGet, Kind::ReadConfiguration, "CARD...",
        "Reads each card's configuration and prints it by field name."));
    commands.push_back(std::make_unique<ConfigSet>());
    commands.push_back(std::make_unique<Plain>(
        QStringList{"config", "reset"}, Command::ConfigReset, Kind::ResetConfiguration, "CARD...",
        "Sets each card's configuration back to its defaults."));
    commands.push_back(std::make_unique<Plain>(QStringList{"snmpv3", "list"}, Command::Snmpv3List,
                                               Kind::ReadUsers, "CARD...",
                                               "Prints each card's SNMPv3 users."));
    commands.push_back(std::make_unique<Snmpv3Set>());
    commands.push_back(std::make_unique<Snmpv3Context>());
    commands.push_back(std::make_unique<Plain>(
        QStringList{"snmpv3", "reset"}, Command::Snmpv3Reset, Kind::ResetUsers, "CARD...",
        "Sets each card's SNMPv3 users back to their defaults."));
    commands.push_back(std::make_unique<SnmpReading>(
        QStringList{"snmpv3", "verify"}, Command::Snmpv3Verify, false,
        "Proves an SNMPv3 user on each card: an authenticated GET of sysObjectID.0 at the "
        "user's level. Done only when the card's agent answers; otherwise the reason."));
    commands.push_back(std::make_unique<Upgrade>());
    commands.push_back(std::make_unique<SnmpReading>(
        QStringList{"status"}, Command::Status, true,
        "Reads each card's UPS over SNMP (the UPS MIB of RFC 1628): battery, charge, time "
        "left, voltages, load and alarms."));
    commands.push_back(std::make_unique<SnmpReading>(
        QStringList{"nut-config"}, Command::NutConfig, true,
        "Prints ups.conf sections for Network UPS Tools' snmp-ups driver, one per card."));
    return commands;
}

}  // namespace

int Number(const QCommandLineParser& parser, const QString& name, int low, int high) {
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < low || value > high) {
        throw UsageError{"--" + name.toStdString() + " takes a number from " + std::to_string(low) +
                         " to " + std::to_string(high)};
    }
    return value;
}

std::string Limited(const QString& text, std::size_t limit, const std::string& name) {
    const std::string value = Text(text);
    if (value.size() > limit) {
        throw UsageError{name + ": at most " + std::to_string(limit) + " characters"};
    }
    return value;
}

std::string Text(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

const std::vector<std::unique_ptr<CliCommand>>& Commands() {
    static const std::vector<std::unique_ptr<CliCommand>> commands = MakeCommands();
    return commands;
}

}  // namespace parvolink::cli
