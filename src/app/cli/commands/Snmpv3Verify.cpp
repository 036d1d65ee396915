// SPDX-License-Identifier: GPL-3.0-or-later
// snmpv3 verify: an SNMPv3 user proved on each card's agent.
#include "app/cli/SnmpStage.h"
#include "app/cli/commands/Commands.h"
#include "app/cli/commands/SnmpReading.h"

namespace parvolink::cli::commands {
namespace {

class Snmpv3Verify : public SnmpReading {
public:
    Snmpv3Verify()
        : SnmpReading({"snmpv3", "verify"}, false, "prove a user's keys over SNMP",
                      "Proves an SNMPv3 user on each card: an authenticated GET of "
                      "sysObjectID.0 at the user's level. Done only when the card's agent "
                      "answers; otherwise the reason.") {}
    const char* Synopsis() const override { return "CARD... --user NAME --level LEVEL"; }
    std::optional<SnmpQuestion> Question() const override {
        return Ask(SnmpQuestion::Kind::VerifyUser);
    }
    void Answered(fleet::CardTask& task, const snmp::Answer& answer) override {
        auto [result, message] = Verdict(answer);
        task.Fail(result, result == fleet::Result::Done ? "the agent answered" : message);
    }
};

}  // namespace

std::unique_ptr<Command> MakeSnmpv3Verify() {
    return std::make_unique<Snmpv3Verify>();
}

}  // namespace parvolink::cli::commands
