// SPDX-License-Identifier: GPL-3.0-or-later
// parvolink-cli's commands, one file each.
#pragma once

#include <memory>

#include "app/cli/Command.h"

namespace parvolink::cli::commands {

std::unique_ptr<Command> MakeDiscover();
std::unique_ptr<Command> MakeConfigGet();
std::unique_ptr<Command> MakeConfigSet();
std::unique_ptr<Command> MakeConfigReset();
std::unique_ptr<Command> MakeSnmpv3List();
std::unique_ptr<Command> MakeSnmpv3Set();
std::unique_ptr<Command> MakeSnmpv3Context();
std::unique_ptr<Command> MakeSnmpv3Reset();
std::unique_ptr<Command> MakeSnmpv3Verify();
std::unique_ptr<Command> MakeUpgrade();
std::unique_ptr<Command> MakeStatus();
std::unique_ptr<Command> MakeNutConfig();
std::unique_ptr<Command> MakeAudit();

}  // namespace parvolink::cli::commands
