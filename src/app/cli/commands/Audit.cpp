// SPDX-License-Identifier: GPL-3.0-or-later
// audit: what on each card an administrator should change (its factory account and
// passphrases, open services, its firmware and clock), read and never written.
#include "core/fleet/Audit.h"

#include <QJsonArray>
#include <chrono>
#include <map>

#include "app/cli/ExitCodes.h"
#include "app/cli/TerminalText.h"
#include "app/cli/commands/Commands.h"
#include "app/cli/commands/Named.h"
#include "app/cli/commands/SnmpReading.h"

namespace parvolink::cli::commands {
namespace {

using fleet::Finding;
using fleet::Severity;

constexpr const char* kDefaultClockDrift = "5m";
constexpr std::int64_t kLongestClockDrift = 366LL * 86400;

std::int64_t Now() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

// "300", "90s", "5m", "2h", "1d" as seconds; throws UsageError otherwise.
std::int64_t TakeDuration(const QString& text, const char* option) {
    static const std::map<QChar, std::int64_t> units = {
        {'s', 1}, {'m', 60}, {'h', 3600}, {'d', 86400}};
    QString digits = text;
    std::int64_t unit = 1;
    if (!text.isEmpty() && units.count(text.back()) != 0) {
        unit = units.at(text.back());
        digits.chop(1);
    }
    bool ok = false;
    const std::int64_t value = digits.toLongLong(&ok);
    if (!ok || value < 0 || digits.startsWith('+') || value > kLongestClockDrift / unit) {
        throw UsageError{std::string("--") + option +
                         " takes seconds, or a number followed by s, m, h or d (at most 366d)"};
    }
    return value * unit;
}

// Drops the full stop that ends a card task's message, for a sentence that goes on.
std::string Clause(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

class Audit : public Named {
public:
    Audit()
        : Named({"audit"}, "CARD...", "find what on each card should be changed",
                "Reads each card and its SNMP agent and lists what an administrator should "
                "change, each finding with a stable id and a severity (info, low, medium, "
                "high): the factory account or SNMPv3 passphrase still taken, Telnet or HTTP "
                "enabled, the administrator's access open to any address, a user without "
                "authentication, the community \"public\" answered, old firmware, a clock that "
                "is off or has no SNTP server, an address two cards answer for, a card that "
                "cannot be read. Writes nothing to any card. Exits 5 when a finding at or "
                "above --fail-on was found.") {}
    fleet::Job Job() const override { return Operation::Audit; }
    bool KeepsCardsToTheEnd() const override { return true; }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOptions({
            {"min-version", "A finding for firmware older than VERSION (\"2.1\").", "VERSION"},
            {"max-clock-drift",
             "A finding for a clock more than DRIFT off this PC's, its time zone taken into "
             "account: seconds, or with s, m, h or d (default " +
                 QString(kDefaultClockDrift) + ").",
             "DRIFT", kDefaultClockDrift},
            {"fail-on",
             "Exit 5 when a finding of SEVERITY or above is found: info, low, medium or high "
             "(default high).",
             "SEVERITY", "high"},
            SnmpTimeoutOption(),
        });
    }
    void Take(const QCommandLineParser& parser, QStringList&) override {
        if (parser.isSet("min-version")) {
            limits_.minVersion = Limited(parser.value("min-version"), 16, "--min-version");
            if (ReadVersion(limits_.minVersion) <= 0) {
                throw UsageError{"--min-version takes a version such as 2.1"};
            }
        }
        limits_.maxClockDrift = TakeDuration(parser.value("max-clock-drift"), "max-clock-drift");
        const auto failOn = fleet::ParseSeverity(Text(parser.value("fail-on").toLower()));
        if (!failOn) {
            throw UsageError{"--fail-on takes info, low, medium or high"};
        }
        failOn_ = *failOn;
        timeoutMs_ = TakeSnmpTimeout(parser);
    }

    // The card's clock is compared with this PC's as the card ends, a moment after it was read.
    void CardEnded(const fleet::CardTask& task) override { endedAt_[task.address()] = Now(); }

    // Every card's agent, whatever its task came to: the community "public" in both versions,
    // then each user with the factory passphrase (the factory users when none were read).
    std::vector<Probe> Probes(const fleet::CardTask& task) const override {
        std::vector<Probe> probes;
        for (const auto version :
             {snmp::Credentials::Version::V1, snmp::Credentials::Version::V2c}) {
            snmp::Credentials community;
            community.version = version;
            community.community = "public";
            probes.push_back({community});
        }
        for (const auto& [user, level] : UsersToTry(task)) {
            snmp::Credentials factory;
            factory.user = user;
            factory.level = level;
            factory.authPassword = fleet::kFactoryPassword;
            factory.privPassword = fleet::kFactoryPassword;
            probes.push_back({factory});
        }
        return probes;
    }
    int ProbeTimeoutMs() const override { return timeoutMs_; }

    void Probed(const fleet::CardTask& task, const std::vector<snmp::Answer>& answers) override {
        fleet::CardFacts facts;
        facts.card = task.card();
        facts.otherMacs = task.otherMacs();
        if (task.result() == fleet::Result::Done) {
            facts.configuration = task.configuration();
            if (task.usersRead()) {
                facts.users = task.users();
            }
            facts.factoryAccountAccepted = task.factoryAccountAccepted();
        } else {
            facts.unreadable =
                Clause(task.message().empty() ? std::string(task.resultName()) : task.message());
        }
        const auto answered = [&](std::size_t i) {
            return i < answers.size() && answers[i].outcome == snmp::Outcome::Answered;
        };
        const char* versions[] = {"SNMPv1", "SNMPv2c"};
        for (std::size_t i = 0; i < 2; ++i) {
            if (answered(i)) {
                facts.publicCommunityVersions.emplace_back(versions[i]);
            }
        }
        std::size_t i = 2;
        for (const auto& [user, level] : UsersToTry(task)) {
            if (answered(i++)) {
                facts.factoryPassphraseUsers.push_back(user);
            }
        }
        fleet::AuditLimits limits = limits_;
        const auto ended = endedAt_.find(task.address());
        limits.now = ended != endedAt_.end() ? ended->second : Now();
        findings_[task.address()] = fleet::Audit(facts, limits);
    }

    // Exit 5 for a finding at or above --fail-on; a fault of this PC's still says so.
    int ExitCode(int worst, Format) const override {
        if (worst == exitcode::kLocalFault) {
            return worst;
        }
        for (const auto& [card, findings] : findings_) {
            for (const Finding& finding : findings) {
                if (finding.severity >= failOn_) {
                    return exitcode::kFindings;
                }
            }
        }
        return exitcode::kDone;
    }

    std::vector<std::string> Heading() const override {
        std::vector<std::string> heading = Command::Heading();
        for (const char* name : {"mac-address", "version", "finding", "severity", "text"}) {
            heading.emplace_back(name);
        }
        return heading;
    }

    Record Describe(const fleet::CardTask& task) const override {
        Record record = Command::Describe(task);
        const DeviceEntry& card = task.card();
        const auto found = findings_.find(task.address());
        const std::vector<Finding> findings =
            found != findings_.end() ? found->second : std::vector<Finding>{};
        record.json["mac-address"] = Latin1(card.macAddress);
        record.json["version"] = Latin1(card.version);
        QJsonArray list;
        const std::vector<std::string> row = record.csv.front();
        record.csv.clear();
        // The card's line: its MAC address and version where it said them, then the message.
        std::string first = Padded(FormatDottedAddress(task.address()), 15) +
                            Padded(std::string(task.resultName()), 11);
        if (!card.macAddress.empty()) {
            first += ForTerminal(card.macAddress) + "  " + Padded(ForTerminal(card.version), 6);
        }
        first += ForTerminal(task.message());
        record.table = first.substr(0, first.find_last_not_of(' ') + 1) + "\n";
        for (const Finding& finding : findings) {
            const std::string severity(fleet::SeverityName(finding.severity));
            list.append(QJsonObject{{"id", Latin1(finding.id)},
                                    {"severity", Latin1(severity)},
                                    {"text", Latin1(finding.text)}});
            std::vector<std::string> line = row;
            line.insert(line.end(),
                        {card.macAddress, card.version, finding.id, severity, finding.text});
            record.csv.push_back(std::move(line));
            record.table += "  " + Padded(severity, 6) + Padded(finding.id, 25) +
                            ForTerminal(finding.text) + "\n";
        }
        if (findings.empty()) {
            std::vector<std::string> line = row;
            line.insert(line.end(), {card.macAddress, card.version, "", "", ""});
            record.csv.push_back(std::move(line));
            record.table += "  no findings\n";
        }
        record.json["findings"] = list;
        return record;
    }

private:
    // The users whose factory passphrase is tried: those read with a level that has one, or,
    // when none could be read, the users a card leaves the factory with.
    static std::vector<std::pair<std::string, int>> UsersToTry(const fleet::CardTask& task) {
        if (!task.usersRead()) {
            return {{"admin", AuthNoPriv}, {"monitor", AuthPriv}};
        }
        std::vector<std::pair<std::string, int>> users;
        for (int row = 0; row < usm::kUsers; ++row) {
            const std::string& name = task.users().userNames[static_cast<std::size_t>(row)];
            const int level = LevelOf(task.users().securityLevels, row);
            if (!name.empty() && level != NoAuthNoPriv) {
                users.emplace_back(name, level);
            }
        }
        return users;
    }

    fleet::AuditLimits limits_;
    Severity failOn_ = Severity::High;
    int timeoutMs_ = kDefaultSnmpTimeoutMs;
    std::map<Ipv4Address, std::int64_t> endedAt_;
    std::map<Ipv4Address, std::vector<Finding>> findings_;
};

}  // namespace

std::unique_ptr<Command> MakeAudit() {
    return std::make_unique<Audit>();
}

}  // namespace parvolink::cli::commands
