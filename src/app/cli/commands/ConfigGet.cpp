// SPDX-License-Identifier: GPL-3.0-or-later
// config get: each card's configuration, by field name.
#include <algorithm>

#include "app/cli/TerminalText.h"
#include "app/cli/commands/Commands.h"
#include "app/cli/commands/Named.h"
#include "core/fleet/ConfigurationFields.h"

namespace parvolink::cli::commands {
namespace {

class ConfigGet : public Named {
public:
    ConfigGet()
        : Named({"config", "get"}, "CARD...", "print each card's configuration",
                "Reads each card's configuration and prints it by field name.") {}
    fleet::Job Job() const override { return Operation::ReadConfiguration; }
    void Take(const QCommandLineParser&, QStringList&) override {}

    std::vector<std::string> Heading() const override {
        std::vector<std::string> heading = Command::Heading();
        for (const std::string_view name : fleet::ConfigurationFieldNames()) {
            heading.emplace_back(name);
        }
        return heading;
    }

    Record Describe(const fleet::CardTask& task) const override {
        Record record = Command::Describe(task);
        if (task.result() != fleet::Result::Done) {
            return record;
        }
        const auto fields = fleet::ReadConfigurationFields(
            task.configuration(), GatesFor(task.card().version, task.card().model));
        QJsonObject configuration;
        std::string block = FormatDottedAddress(task.address()) + "\n";
        for (const fleet::NamedValue& field : fields) {
            configuration[Latin1(field.name)] =
                field.number ? QJsonValue(std::stoi(field.value)) : QJsonValue(Latin1(field.value));
            block += "  " + Padded(field.name, 21) + ForTerminal(field.value) + "\n";
        }
        record.json["version"] = Latin1(task.card().version);
        record.json["configuration"] = configuration;
        // Every column of the heading, empty for a field this card does not have.
        for (const std::string_view name : fleet::ConfigurationFieldNames()) {
            const auto it =
                std::find_if(fields.begin(), fields.end(),
                             [&](const fleet::NamedValue& f) { return f.name == name; });
            record.csv.front().push_back(it == fields.end() ? "" : it->value);
        }
        record.table = block;
        return record;
    }
};

}  // namespace

std::unique_ptr<Command> MakeConfigGet() {
    return std::make_unique<ConfigGet>();
}

}  // namespace parvolink::cli::commands
