// SPDX-License-Identifier: GPL-3.0-or-later
// What parvolink-cli makes of what each card's SNMP agent answered: the card's result, the
// exit code it gives, and its message, per command.
#include <gtest/gtest.h>

#include "app/cli/CommandLine.h"
#include "app/cli/ExitCodes.h"
#include "support/CliTestSupport.h"

namespace parvolink::cli {
namespace {

using testing::CommandFor;
TEST(CliResults, AnAgentsAnswerIsTheCardsResult) {
    const QStringList status{"status", "--user", "ops", "--level", "authPriv"};
    const QStringList verify{"snmpv3", "verify", "--user", "ops", "--level", "authPriv"};
    const QStringList set{"snmpv3", "set",     "--index", "2",       "--user",
                          "ops",    "--level", "1",       "--verify"};
    struct Case {
        QStringList words;
        snmp::Outcome outcome;
        const char* errorStatus;
        int code;
        const char* message;
    };
    using O = snmp::Outcome;
    const Case cases[] = {
        {status, O::Answered, "", exitcode::kDone, ""},
        // An error status carries no readings: not done, although the agent answered.
        {status, O::Answered, "noSuchName", exitcode::kRefused, "noSuchName"},
        {status, O::NoResponse, "", exitcode::kNoResponse, "no response"},
        {status, O::LocalFault, "no socket", exitcode::kLocalFault,
         "could not send the request: no socket"},
        {verify, O::Answered, "", exitcode::kDone, "the agent answered"},
        // A user that verifies still has working keys, whatever the GET's status.
        {verify, O::Answered, "noSuchName", exitcode::kDone, "the agent answered"},
        {verify, O::UnknownUser, "", exitcode::kRefused, "unknown user"},
        {verify, O::WrongPrivacy, "", exitcode::kRefused, "wrong privacy password"},
        {set, O::Answered, "", exitcode::kDone, "written and verified over SNMP"},
        {set, O::WrongDigest, "", exitcode::kRefused,
         "written, but the user does not verify over SNMP: wrong digest (wrong authentication "
         "password)"},
        {set, O::NoResponse, "", exitcode::kNoResponse,
         "written, but the user does not verify over SNMP: no response"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.join(' ').toStdString() + " / " +
                     std::string(snmp::OutcomeText(c.outcome)) + " " + c.errorStatus);
        const auto command = CommandFor(c.words);
        ASSERT_TRUE(command->Question().has_value());
        // The card said who it is (or was written); its agent's answer decides.
        fleet::CardTask task({198, 51, 100, 2}, "admin", "lanterns", {198, 51, 100, 1},
                             command->Job());
        task.Fail(fleet::Result::Done, "Update SNMPv3 USM successfully.");
        ASSERT_TRUE(command->AskedOverSnmp(task));
        snmp::Answer answer;
        answer.outcome = c.outcome;
        answer.errorStatus = c.errorStatus;
        command->Answered(task, answer);
        EXPECT_EQ(static_cast<int>(task.result()), c.code);
        EXPECT_EQ(task.message(), c.message);
    }
}

TEST(CliResults, OnlyStatusAsksACardThatDidNotAnswer) {
    fleet::CardTask silent({198, 51, 100, 2}, "admin", "", {198, 51, 100, 1}, {});
    silent.Fail(fleet::Result::NoResponse, "No response from the SNMP/Web device.");
    EXPECT_TRUE(CommandFor({"status", "--user", "ops", "--level", "0"})->AskedOverSnmp(silent));
    EXPECT_FALSE(
        CommandFor({"snmpv3", "verify", "--user", "ops", "--level", "0"})->AskedOverSnmp(silent));
    EXPECT_FALSE(
        CommandFor({"snmpv3", "set", "--index", "0", "--user", "ops", "--level", "0", "--verify"})
            ->AskedOverSnmp(silent));
    // Without --verify a write asks nothing over SNMP and prints each card as it ends.
    const auto plain =
        CommandFor({"snmpv3", "set", "--index", "0", "--user", "ops", "--level", "0"});
    EXPECT_FALSE(plain->Question().has_value());
    EXPECT_FALSE(plain->KeepsCardsToTheEnd());
}

}  // namespace
}  // namespace parvolink::cli
