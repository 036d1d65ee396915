// SPDX-License-Identifier: GPL-3.0-or-later
// config reset: each card's configuration back to its defaults.
#include "app/cli/commands/Commands.h"
#include "app/cli/commands/Named.h"

namespace parvolink::cli::commands {
namespace {

class ConfigReset : public Named {
public:
    ConfigReset()
        : Named({"config", "reset"}, "CARD...", "set each card's configuration back to defaults",
                "Sets each card's configuration back to its defaults.") {}
    bool Writes() const override { return true; }
    fleet::Job Job() const override { return Operation::ResetConfiguration; }
    void Take(const QCommandLineParser&, QStringList&) override {}
};

}  // namespace

std::unique_ptr<Command> MakeConfigReset() {
    return std::make_unique<ConfigReset>();
}

}  // namespace parvolink::cli::commands
