// SPDX-License-Identifier: GPL-3.0-or-later
// nut-config: ups.conf sections for Network UPS Tools' snmp-ups driver, one per card.
#include "core/snmp/NutConfig.h"

#include "app/cli/TerminalText.h"
#include "app/cli/commands/Commands.h"
#include "app/cli/commands/SnmpReading.h"

namespace parvolink::cli::commands {
namespace {

class NutConfig : public SnmpReading {
public:
    NutConfig()
        : SnmpReading({"nut-config"}, true, "print ups.conf sections for NUT's snmp-ups driver",
                      "Prints ups.conf sections for Network UPS Tools' snmp-ups driver, one per "
                      "card.") {}
    void AddOptions(QCommandLineParser& parser) const override {
        SnmpReading::AddOptions(parser);
        parser.addOption({"include-secrets", "Print the passwords or the community too."});
    }
    void Take(const QCommandLineParser& parser, QStringList& positional) override {
        SnmpReading::Take(parser, positional);
        includeSecrets_ = parser.isSet("include-secrets");
    }
    // The cards' identities make the sections: nothing is asked over SNMP.
    std::optional<std::string> Whole(const std::vector<fleet::CardTask>& cards,
                                     std::ostream& errors) const override {
        std::vector<snmp::NutCard> sections;
        for (const fleet::CardTask& task : cards) {
            const std::string card = FormatDottedAddress(task.address());
            if (task.result() == fleet::Result::Done) {
                sections.push_back({card, Utf8FromLatin1(task.card().hostName),
                                    Utf8FromLatin1(task.card().macAddress)});
            } else {
                errors << "parvolink-cli: " << card << ": " << ForTerminal(task.message()) << "\n";
            }
        }
        return snmp::NutSections(sections, credentials(), includeSecrets_);
    }

private:
    bool includeSecrets_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeNutConfig() {
    return std::make_unique<NutConfig>();
}

}  // namespace parvolink::cli::commands
