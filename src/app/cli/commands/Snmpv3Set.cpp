// SPDX-License-Identifier: GPL-3.0-or-later
// snmpv3 set: one SNMPv3 user written to each card, and proved on its agent when asked.
#include "app/cli/ExitCodes.h"
#include "app/cli/SnmpStage.h"
#include "app/cli/commands/Commands.h"
#include "app/cli/commands/Named.h"
#include "app/cli/commands/SnmpReading.h"
#include "core/config/UsmConfiguration.h"

namespace parvolink::cli::commands {
namespace {

class Snmpv3Set : public Named {
public:
    Snmpv3Set()
        : Named({"snmpv3", "set"}, "CARD...", "write an SNMPv3 user to each card",
                "Writes one SNMPv3 user, with keys derived from its passwords as the window "
                "derives them.") {}
    const char* Synopsis() const override { return "CARD... --index N --user NAME --level LEVEL"; }
    bool Writes() const override { return true; }
    fleet::Job Job() const override { return job_; }
    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOptions({
            {"index", "The user's row, 0 to 7.", "N"},
            {"user", "The user's name, at most 8 characters.", "NAME"},
            {"level", "noAuthNoPriv, authNoPriv or authPriv.", "LEVEL"},
            {"verify",
             "Then prove the user over SNMP: an authenticated GET of sysObjectID.0 at its "
             "level; done only when the card's agent answers."},
            SnmpTimeoutOption(),
        });
        parser.addOptions(PasswordFileOptions());
    }
    void Take(const QCommandLineParser& parser, QStringList&) override {
        verify_ = parser.isSet("verify");
        for (const char* required : {"index", "user", "level"}) {
            if (!parser.isSet(required)) {
                throw UsageError{std::string("--") + required + " is needed"};
            }
        }
        job_.user.index = Number(parser, "index", 0, usm::kUsers - 1);
        job_.user.name = Limited(parser.value("user"), usm::kTextLength, "--user");
        job_.user.level = Level(parser.value("level"));
        files_ = TakePasswordFiles(parser);
        timeoutMs_ = TakeSnmpTimeout(parser);
    }
    std::optional<Fault> ReadSecrets(const std::string& account) override {
        fleet::Job::User& user = job_.user;
        // Too short a password is refused with the other checks of the job.
        if (auto refusal = ReadUserPasswords(user.level, account, files_, false, user.authPassword,
                                             user.privPassword)) {
            return refusal;
        }
        return std::nullopt;
    }

    // With --verify, the user written is proved once every card has ended.
    bool KeepsCardsToTheEnd() const override { return verify_; }
    // A card's keys are never read back: whether the user already answers with these
    // passwords is asked of its agent before anything is written.
    std::optional<SnmpQuestion> AskedFirst() const override {
        if (job_.user.level == NoAuthNoPriv) {
            return std::nullopt;
        }
        SnmpQuestion question = *Asked();
        question.kind = SnmpQuestion::Kind::VerifyUser;
        return question;
    }
    bool AskedOverSnmp(const fleet::CardTask& task) const override {
        // A card left unchanged already answered; one only checked was not written.
        return task.result() == fleet::Result::Done && !task.unchanged() && !task.checkOnly();
    }
    std::optional<SnmpQuestion> Question() const override {
        return verify_ ? Asked() : std::nullopt;
    }
    // The user written, asked for over SNMP.
    std::optional<SnmpQuestion> Asked() const {
        const fleet::Job::User& user = job_.user;
        return SnmpQuestion{SnmpQuestion::Kind::VerifyUserJustWritten,
                            {snmp::Credentials::Version::V3, "", user.name, user.level,
                             user.authPassword, user.privPassword},
                            timeoutMs_,
                            1};
    }
    void Answered(fleet::CardTask& task, const snmp::Answer& answer) override {
        auto [result, message] = Verdict(answer);
        task.Fail(result, result == fleet::Result::Done ? "written and verified over SNMP"
                          : answer.outcome == snmp::Outcome::Interrupted
                              ? "written, not verified: interrupted"
                              : "written, but the user does not verify over SNMP: " + message);
    }

private:
    fleet::Job job_{Operation::WriteUsers};
    UserPasswordFiles files_;
    bool verify_ = false;
    int timeoutMs_ = kDefaultSnmpTimeoutMs;
};

}  // namespace

std::unique_ptr<Command> MakeSnmpv3Set() {
    return std::make_unique<Snmpv3Set>();
}

}  // namespace parvolink::cli::commands
