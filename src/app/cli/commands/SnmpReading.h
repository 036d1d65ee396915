// SPDX-License-Identifier: GPL-3.0-or-later
// What the commands that read over SNMP share: the user or community they ask with, its
// passwords read before any card is asked, and the timing. Their cards are only identified:
// no card password is needed.
#pragma once

#include "app/cli/commands/Named.h"

namespace parvolink::cli::commands {

// SNMP readings wait this long for a card, per try: by default, and at most.
constexpr int kDefaultSnmpTimeoutMs = 1000;
constexpr int kLongestSnmpTimeoutMs = 60000;

QCommandLineOption SnmpTimeoutOption();
int TakeSnmpTimeout(const QCommandLineParser& parser);

class SnmpReading : public Named {
public:
    // community: whether SNMPv1 or v2c with a community may be asked instead of a v3 user.
    SnmpReading(QStringList words, bool community, const char* summary, const char* description)
        : Named(std::move(words), "CARD...", summary, description), community_(community) {}
    bool NeedsCardPassword() const override { return false; }
    fleet::Job Job() const override { return Operation::Identify; }
    bool KeepsCardsToTheEnd() const override { return true; }
    void AddOptions(QCommandLineParser& parser) const override;
    void Take(const QCommandLineParser& parser, QStringList& positional) override;
    std::optional<Fault> ReadSecrets(const std::string& account) override;

protected:
    SnmpQuestion Ask(SnmpQuestion::Kind kind) const { return {kind, credentials_, timeoutMs_, 1}; }
    const snmp::Credentials& credentials() const { return credentials_; }

private:
    bool community_;
    snmp::Credentials credentials_;
    std::string communityFile_;
    UserPasswordFiles files_;
    int timeoutMs_ = kDefaultSnmpTimeoutMs;
};

}  // namespace parvolink::cli::commands
