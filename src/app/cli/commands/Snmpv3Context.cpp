// SPDX-License-Identifier: GPL-3.0-or-later
// snmpv3 context: the SNMPv3 context name of each card.
#include "app/cli/commands/Commands.h"
#include "app/cli/commands/Named.h"
#include "core/config/UsmConfiguration.h"

namespace parvolink::cli::commands {
namespace {

class Snmpv3Context : public Named {
public:
    Snmpv3Context()
        : Named({"snmpv3", "context"}, "CARD... NAME", "write each card's SNMPv3 context name",
                "Writes the SNMPv3 context name.") {}
    bool Writes() const override { return true; }
    fleet::Job Job() const override { return job_; }
    void Take(const QCommandLineParser&, QStringList& positional) override {
        if (positional.isEmpty()) {
            throw UsageError{"name the context"};
        }
        job_.context = Limited(positional.takeLast(), usm::kTextLength, "the context name");
    }

private:
    fleet::Job job_{Operation::WriteUsers};
};

}  // namespace

std::unique_ptr<Command> MakeSnmpv3Context() {
    return std::make_unique<Snmpv3Context>();
}

}  // namespace parvolink::cli::commands
