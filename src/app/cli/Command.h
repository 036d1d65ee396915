// SPDX-License-Identifier: GPL-3.0-or-later
// A parvolink-cli command: its words, its own options and checks, what it asks of every card
// (a job for the card task, then perhaps SNMP readings) and its output record. The program
// keeps only what every command shares: the cards, secrets, discover, the card runner, the SNMP
// stage and the output.
#pragma once

#include <QCommandLineParser>
#include <QJsonObject>
#include <QStringList>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/fleet/CardTask.h"
#include "core/snmp/SnmpTypes.h"
#include "core/snmp/UpsStatus.h"

namespace parvolink {
class FirmwareServer;
}

namespace parvolink::cli {

enum class Format { Table, Json, Csv, Prometheus };

// Cards worked on at once: by default, and at most.
constexpr int kDefaultParallel = 8;
constexpr int kMostParallel = 64;

// A usage error: the line to print. A file named that cannot be read is a local fault.
struct UsageError {
    std::string line;
    int code = 2;
};

// A fault found before any card is asked: the exit code and the line to print.
struct Fault {
    int code;
    std::string line;
};

// One output record in every format: the output prints the one asked for.
struct Record {
    QJsonObject json;
    std::vector<std::vector<std::string>> csv;  // rows of card texts
    std::string table;                          // whole lines
    std::optional<snmp::CardStatus> metrics;    // Prometheus
};

// A GET of sysObjectID.0 with credentials of a command's own, to see whether the agent answers
// them (audit: the community "public", a user's factory passphrase).
struct Probe {
    snmp::Credentials credentials;
};

// What the SNMP stage asks of the cards once they are identified (or written).
struct SnmpQuestion {
    enum class Kind { UpsStatus, VerifyUser, VerifyUserJustWritten };
    Kind kind = Kind::UpsStatus;
    snmp::Credentials credentials;
    int timeoutMs = 1000;
    int retries = 1;
};

class Command {
public:
    virtual ~Command() = default;

    // For the help: the words that name it, what follows them, a line for the overview and
    // its own description.
    virtual QStringList Words() const = 0;
    virtual const char* Arguments() const = 0;
    // What the overview shows after the words, when more than the arguments.
    virtual const char* Synopsis() const { return Arguments(); }
    virtual const char* Summary() const = 0;
    virtual const char* Description() const = 0;

    // Whether it works on cards (every command but discover), writes to them, and needs the
    // cards' password (identifying a card needs none).
    virtual bool TakesCards() const { return true; }
    virtual bool Writes() const { return false; }
    virtual bool NeedsCardPassword() const { return true; }
    virtual int DefaultParallel() const { return kDefaultParallel; }
    virtual int MostParallel() const { return kMostParallel; }
    virtual std::vector<std::pair<Format, const char*>> Formats() const {
        return {{Format::Table, "table"}, {Format::Json, "json"}, {Format::Csv, "csv"}};
    }

    // Its own options; then takes them, and the arguments that are not cards out of
    // positional. Take throws UsageError.
    virtual void AddOptions(QCommandLineParser& /*parser*/) const {}
    virtual void Take(const QCommandLineParser& parser, QStringList& positional) = 0;

    // Before the cards named are checked: the command's own files. Then, with the cards
    // checked, what it serves them (a TFTP server). Then its own secrets, after the cards'
    // password (read for account, the prompt's name).
    virtual std::optional<Fault> CheckInput() { return std::nullopt; }
    virtual std::optional<Fault> Serve(std::unique_ptr<FirmwareServer>& /*server*/) {
        return std::nullopt;
    }
    virtual std::optional<Fault> ReadSecrets(const std::string& /*account*/) {
        return std::nullopt;
    }

    // What every card's task does.
    virtual fleet::Job Job() const = 0;
    // True when the cards' records are written only once every card has ended (and been asked
    // over SNMP); else each as its card ends.
    virtual bool KeepsCardsToTheEnd() const { return false; }
    // What is asked over SNMP once the cards have ended, and of which of them; none: nothing.
    virtual std::optional<SnmpQuestion> Question() const { return std::nullopt; }
    virtual bool AskedOverSnmp(const fleet::CardTask& task) const {
        return task.result() == fleet::Result::Done;
    }
    // What is asked over SNMP of every card before its task starts (the answer goes to the
    // task: UserAlreadyAnswers); none: nothing.
    virtual std::optional<SnmpQuestion> AskedFirst() const { return std::nullopt; }
    // True when every card named is asked whatever its task comes to: the question then goes
    // out while the cards are still being identified, not after.
    virtual bool AsksEveryCard() const { return false; }
    // A card's agent answered (or not): its result and message, and what it read.
    virtual void Answered(fleet::CardTask& /*task*/, const snmp::Answer& /*answer*/) {}
    // A card's task has ended (before its record is written or kept).
    virtual void CardEnded(const fleet::CardTask& /*task*/) {}
    // Probes of the command's own for a card once every card has ended (instead of a
    // question); every card's answers, in the same order, then go to Probed (none when a
    // signal came first).
    virtual std::vector<Probe> Probes(const fleet::CardTask& /*task*/) const { return {}; }
    virtual int ProbeTimeoutMs() const { return 1000; }
    virtual void Probed(const fleet::CardTask& /*task*/,
                        const std::vector<snmp::Answer>& /*answers*/) {}
    // The run's exit code, from the worst of its cards' results.
    virtual int ExitCode(int worst, Format /*format*/) const { return worst; }

    // Labels the command adds to every Prometheus series (status --label).
    virtual snmp::Labels MetricLabels() const { return {}; }
    // The output's heading: CSV's columns, and the table's first line (none by default).
    virtual std::vector<std::string> Heading() const;
    virtual std::string TableHeading() const { return ""; }
    // A card's record, once it has ended.
    virtual Record Describe(const fleet::CardTask& task) const;
    // The record of a card a discover found (for a command that takes no cards: a listing).
    virtual Record Found(const DeviceEntry& /*row*/) const { return {}; }
    // The whole output of a command whose cards are kept to the end, when it is not one record
    // per card (ups.conf sections); none by default.
    // Why a card is left out of it goes to errors.
    virtual std::optional<std::string> Whole(const std::vector<fleet::CardTask>& /*cards*/,
                                             std::ostream& /*errors*/) const {
        return std::nullopt;
    }
};

// Every command, fresh, in the order the help lists them.
std::vector<std::unique_ptr<Command>> MakeCommands();

// A text from the command line as the program handles it (the locale's 8 bits).
std::string Text(const QString& text);
// A value for a card, whose texts are Latin-1 as the window's: what the user wrote in UTF-8 is
// encoded so; bytes that are not UTF-8 are taken as Latin-1 already.
std::string CardText(const QByteArray& raw);
// The option's value as a number from low to high; throws UsageError otherwise.
int Number(const QCommandLineParser& parser, const QString& name, int low, int high);
// The text, when it has at most limit characters; throws UsageError naming it otherwise.
std::string Limited(const QString& text, std::size_t limit, const std::string& name);
// An SNMPv3 level by name or number; throws UsageError otherwise.
int Level(const QString& text);

// Where an SNMPv3 user's passwords come from.
struct UserPasswordFiles {
    std::string auth;
    std::string priv;
};
QList<QCommandLineOption> PasswordFileOptions();
UserPasswordFiles TakePasswordFiles(const QCommandLineParser& parser);
// Reads the SNMPv3 passwords a level needs, for owner (the prompt's name); refuses ones too
// short for keys when checkLength is set. The fault, or nothing when they were read.
std::optional<Fault> ReadUserPasswords(int level, const std::string& owner,
                                       const UserPasswordFiles& files, bool checkLength,
                                       std::string& auth, std::string& priv);

// Card texts are Latin-1, as the window reads them.
QString Latin1(const std::string& text);
// Text padded to width and one space.
std::string Padded(const std::string& text, int width);

}  // namespace parvolink::cli
