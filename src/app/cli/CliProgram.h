// SPDX-License-Identifier: GPL-3.0-or-later
// parvolink-cli's run, what every command shares: the command's files and the cards' password
// checked before anything is sent, then a discover or the command's job on every card, the SNMP
// stage the command asks for, progress on a terminal, the output and the exit code.
#pragma once

#include <QObject>
#include <QTimer>
#include <map>
#include <memory>
#include <sstream>

#include "app/cli/CommandLine.h"
#include "app/cli/Output.h"

namespace parvolink {
class FirmwareServer;
}

namespace parvolink::cli {

class CardRunner;
class DiscoverSession;
class SignalWatcher;
class SnmpStage;

class CliProgram : public QObject {
    Q_OBJECT
public:
    CliProgram(CliOptions options, std::unique_ptr<Command> command);
    ~CliProgram() override;

    // Runs the command in the application's event loop; returns the exit code.
    int Run();

private:
    // Checks and secrets before the network: false (with the exit code set) on a fault.
    bool Prepare();
    // A local fault before any card was asked: every card named, with that fault, so that a
    // reader of the output still gets a record per card (and JSON a whole array).
    void ReportUnstarted();
    bool StartDiscover();
    // Reads and checks the accounts file; false (with the exit code set) on a fault.
    bool ReadAccounts();
    // Says how long a sweep of network takes; false (bad usage) for one too large unasked.
    bool SweepMayStart(const Ipv4Network& network);
    void RunCards();
    // The cards' dotted addresses, in the order they were named.
    std::vector<std::string> NamedAddresses() const;
    // The output, to standard output or kept for --output.
    std::unique_ptr<Output> MakeOutput();
    // Writes what was kept to --output's file, whole; false (said on standard error) when it
    // cannot.
    bool SaveOutput();
    // Reads the cards' password; false (with the exit code set) on a fault.
    bool ReadCardPassword();
    // Prints the fault's line and keeps its code; false.
    bool Failed(const Fault& fault);
    // A discover that ended: the listing's end, or the cards it found are run.
    void DiscoverEnded();
    void CardEnded(const fleet::CardTask& task);
    // After every card has ended, for a command that keeps its cards to the end: its whole
    // output, or its SNMP question asked, then its records.
    void CardsEnded();
    // Asks the command's question of the addresses; Report follows once the cards have ended
    // too.
    void AskOverSnmp(const SnmpQuestion& question, std::vector<std::string> addresses);
    // Asks the command's probes of the kept cards; false when it has none.
    bool AskProbes();
    // The kept cards with their agents' answers: the command's records, and the end.
    void Report();
    // The largest result of the cards kept.
    int WorstOfKept() const;
    // Prints what remains (the JSON array closed) and leaves the event loop with code, or
    // with the code of the signal that stopped the run.
    void End(int code);
    // SIGINT, SIGTERM or SIGHUP: the first stops starting cards and lets writes finish; the
    // second, or one while nothing writes, ends at once.
    void OnSignal(int signal);
    void ShowProgress();
    void ClearProgress();

    CliOptions options_;
    std::unique_ptr<Command> command_;
    std::string password_;
    Ipv4Address hostAddress_{};
    std::unique_ptr<Output> output_;
    std::ostringstream saved_;  // the output, with --output
    std::unique_ptr<DiscoverSession> discover_;
    std::unique_ptr<FirmwareServer> firmware_;
    std::unique_ptr<CardRunner> runner_;
    std::unique_ptr<SignalWatcher> signals_;
    std::unique_ptr<SnmpStage> snmp_;
    std::unique_ptr<SnmpStage> firstAsked_;  // the command's question before its tasks
    std::map<std::string, snmp::Answer> firstAnswers_;
    std::shared_ptr<const Accounts> accounts_;
    bool fallbackPassword_ = true;  // a card no line of accounts_ names takes password_
    std::map<std::string, snmp::Answer> answers_;                    // by the dotted address asked
    std::map<std::string, std::vector<snmp::Answer>> probeAnswers_;  // by dotted address
    bool answered_ = false;              // the SNMP stage has given its answers
    bool cardsDone_ = false;             // every card's task has ended
    std::vector<fleet::CardTask> kept_;  // ended, kept to the end by the command
    int signal_ = 0;                     // the first signal caught
    bool ended_ = false;
    QTimer progress_;
    bool showProgress_ = false;
    bool progressShown_ = false;
    std::string progressLine_;  // what the progress line shows now
    int exitCode_ = 0;
    std::string fault_;  // the line Prepare's fault printed
    int cardsEnded_ = 0;
    int cardsTotal_ = 0;
};

}  // namespace parvolink::cli
