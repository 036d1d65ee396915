// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/commands/Commands.h"

namespace parvolink::cli {

std::vector<std::unique_ptr<Command>> MakeCommands() {
    using namespace commands;
    std::vector<std::unique_ptr<Command>> all;
    for (auto make : {MakeDiscover, MakeConfigGet, MakeConfigSet, MakeConfigReset, MakeSnmpv3List,
                      MakeSnmpv3Set, MakeSnmpv3Context, MakeSnmpv3Reset, MakeSnmpv3Verify,
                      MakeUpgrade, MakeStatus, MakeNutConfig, MakeAudit}) {
        all.push_back(make());
    }
    return all;
}

}  // namespace parvolink::cli
