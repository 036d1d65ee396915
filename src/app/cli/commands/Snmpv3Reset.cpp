// SPDX-License-Identifier: GPL-3.0-or-later
// snmpv3 reset: each card's SNMPv3 users back to their defaults.
#include "app/cli/commands/Commands.h"
#include "app/cli/commands/Named.h"

namespace parvolink::cli::commands {
namespace {

class Snmpv3Reset : public Named {
public:
    Snmpv3Reset()
        : Named({"snmpv3", "reset"}, "CARD...", "set each card's SNMPv3 users back to defaults",
                "Sets each card's SNMPv3 users back to their defaults.") {}
    bool Writes() const override { return true; }
    fleet::Job Job() const override { return Operation::ResetUsers; }
    void Take(const QCommandLineParser&, QStringList&) override {}
};

}  // namespace

std::unique_ptr<Command> MakeSnmpv3Reset() {
    return std::make_unique<Snmpv3Reset>();
}

}  // namespace parvolink::cli::commands
