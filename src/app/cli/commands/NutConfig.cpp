// SPDX-License-Identifier: GPL-3.0-or-later
// nut-config: ups.conf sections for Network UPS Tools' snmp-ups driver, one per card.
#include "core/snmp/NutConfig.h"

#include <set>

#include "app/cli/SnmpStage.h"
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
    // ups.conf text is all it prints.
    std::vector<std::pair<Format, const char*>> Formats() const override {
        return {{Format::Table, "table"}};
    }
    // Each section is proved before it is printed, as NUT's own scanner lists only the devices
    // that answered with the credentials given: one GET with them.
    std::optional<SnmpQuestion> Question() const override {
        return Ask(SnmpQuestion::Kind::VerifyUser);
    }
    void Answered(fleet::CardTask& task, const snmp::Answer& answer) override {
        auto [result, message] = Verdict(answer);
        task.Fail(result, result == fleet::Result::Done ? "" : "not configured: " + message);
        if (result == fleet::Result::Done) {
            proven_.insert(task.address());
        }
    }
    // The cards' identities make the sections of those whose agents answered.
    std::optional<std::string> Whole(const std::vector<fleet::CardTask>& cards,
                                     std::ostream& errors) const override {
        std::vector<snmp::NutCard> sections;
        for (const fleet::CardTask& task : cards) {
            const std::string card = FormatDottedAddress(task.address());
            if (proven_.count(task.address()) != 0) {
                sections.push_back({card, Utf8FromLatin1(task.card().hostName),
                                    Utf8FromLatin1(task.card().macAddress)});
            } else {
                // Identified but never asked (a signal came first): not proven either.
                errors << "parvolink-cli: " << card << ": "
                       << (task.result() == fleet::Result::Done
                               ? std::string("not configured: not asked over SNMP")
                               : ForTerminal(task.message()))
                       << "\n";
            }
        }
        return snmp::NutSections(sections, credentials(), includeSecrets_);
    }

private:
    bool includeSecrets_ = false;
    std::set<Ipv4Address> proven_;  // the cards whose agents answered the credentials
};

}  // namespace

std::unique_ptr<Command> MakeNutConfig() {
    return std::make_unique<NutConfig>();
}

}  // namespace parvolink::cli::commands
