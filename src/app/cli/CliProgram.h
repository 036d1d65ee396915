// SPDX-License-Identifier: GPL-3.0-or-later
// parvolink-cli's run: passwords and files checked before anything is sent, then a discover
// or the command on every card, with progress on a terminal, and the exit code.
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

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
    explicit CliProgram(CliOptions options);
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
    void RunCards();
    // Reads the SNMP passwords, or the community; false (with the exit code set) on a fault.
    bool PrepareSnmp();
    // The SNMPv3 passwords a level needs, read for owner (the prompt's name); the fault, or
    // nothing when they were read.
    std::optional<std::string> ReadUserPasswords(int level, const std::string& owner,
                                                 bool checkLength, std::string& auth,
                                                 std::string& priv) const;
    // After the cards are identified (or written): their SNMP readings, then the results.
    void StartSnmp();
    void SnmpEnded(const std::vector<snmp::Answer>& answers);
    void PrintNutConfig();
    // Prints what remains (the JSON array closed) and leaves the event loop with code, or
    // with the code of the signal that stopped the run.
    void End(int code);
    // SIGINT, SIGTERM or SIGHUP: the first stops starting cards and lets writes finish; the
    // second, or one while nothing writes, ends at once.
    void OnSignal(int signal);
    void ShowProgress();
    void ClearProgress();

    CliOptions options_;
    std::string password_;
    Ipv4Address hostAddress_{};
    std::unique_ptr<Output> output_;
    std::unique_ptr<DiscoverSession> discover_;
    std::unique_ptr<FirmwareServer> firmware_;
    std::unique_ptr<CardRunner> runner_;
    std::unique_ptr<SignalWatcher> signals_;
    std::unique_ptr<SnmpStage> snmp_;
    std::vector<fleet::CardTask> identified_;  // ended, waiting for their SNMP readings
    int signal_ = 0;                           // the first signal caught
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
