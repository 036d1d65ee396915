// SPDX-License-Identifier: GPL-3.0-or-later
// snmpv3 list: each card's SNMPv3 users.
#include <QJsonArray>
#include <array>

#include "app/cli/TerminalText.h"
#include "app/cli/commands/Commands.h"
#include "app/cli/commands/Named.h"
#include "core/config/UsmConfiguration.h"

namespace parvolink::cli::commands {
namespace {

std::string LevelKey(int code) {
    constexpr std::array<const char*, 3> kLevelKeys = {"noAuthNoPriv", "authNoPriv", "authPriv"};
    return code >= 0 && code < 3 ? kLevelKeys[static_cast<std::size_t>(code)]
                                 : std::to_string(code);
}

class Snmpv3List : public Named {
public:
    Snmpv3List()
        : Named({"snmpv3", "list"}, "CARD...", "print each card's SNMPv3 users",
                "Prints each card's SNMPv3 users.") {}
    fleet::Job Job() const override { return Operation::ReadUsers; }
    void Take(const QCommandLineParser&, QStringList&) override {}

    std::vector<std::string> Heading() const override {
        std::vector<std::string> heading = Command::Heading();
        heading.insert(heading.end(), {"engine-id", "context", "index", "user", "level"});
        return heading;
    }

    Record Describe(const fleet::CardTask& task) const override {
        Record record = Command::Describe(task);
        if (task.result() != fleet::Result::Done) {
            return record;
        }
        const UsmConfiguration& users = task.users();
        const std::vector<std::string> card = record.csv.front();
        record.csv.clear();
        record.table = FormatDottedAddress(task.address()) + "\n  engine-id " +
                       ForTerminal(users.engineId) + "\n  context   " +
                       ForTerminal(users.contextName) + "\n";
        QJsonArray rows;
        for (int i = 0; i < usm::kUsers; ++i) {
            const std::string& name = users.userNames[static_cast<std::size_t>(i)];
            const std::string level = LevelKey(LevelOf(users.securityLevels, i));
            rows.append(
                QJsonObject{{"index", i}, {"user", Latin1(name)}, {"level", Latin1(level)}});
            std::vector<std::string> row = card;
            row.insert(row.end(),
                       {users.engineId, users.contextName, std::to_string(i), name, level});
            record.csv.push_back(row);
            record.table +=
                "  " + std::to_string(i) + " " + Padded(ForTerminal(name), 8) + level + "\n";
        }
        record.json["engine-id"] = Latin1(users.engineId);
        record.json["context"] = Latin1(users.contextName);
        record.json["users"] = rows;
        return record;
    }
};

}  // namespace

std::unique_ptr<Command> MakeSnmpv3List() {
    return std::make_unique<Snmpv3List>();
}

}  // namespace parvolink::cli::commands
