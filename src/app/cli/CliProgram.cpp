// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CliProgram.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QNetworkInterface>
#include <QSaveFile>
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <iostream>

#include "app/cli/CardRunner.h"
#include "app/cli/DiscoverSession.h"
#include "app/cli/ExitCodes.h"
#include "app/cli/Secrets.h"
#include "app/cli/SignalWatcher.h"
#include "app/cli/SnmpStage.h"
#include "app/cli/TerminalText.h"
#include "core/protocol/DiscoverSweep.h"
#include "core/protocol/Exchange.h"
#include "shell/devices/AccountsFile.h"
#include "shell/protocol/DatagramSocket.h"
#include "shell/protocol/NetworkEnvironment.h"
#include "shell/protocol/NetworkFailures.h"
#include "shell/upgrade/FirmwareServer.h"

namespace parvolink::cli {
namespace {

using fleet::Result;

constexpr int kBarWidth = 30;
// Networks larger than a /16 take hours to sweep: only on request.
constexpr int kLargestPlainSweep = 16;
// A sweep this long (in seconds) is announced before it starts.
constexpr std::uint64_t kSweepWorthSaying = 30;

int PrefixLength(const Ipv4Address& mask) {
    int length = 0;
    for (const std::uint8_t octet : mask) {
        length += std::popcount(octet);
    }
    return length;
}

// "about 5 min", as a person reads a duration.
std::string Duration(std::uint64_t seconds) {
    if (seconds < 120) {
        return std::to_string(seconds) + " s";
    }
    if (seconds < 2 * 3600) {
        return std::to_string((seconds + 30) / 60) + " min";
    }
    return std::to_string((seconds + 1800) / 3600) + " h";
}

std::string Bar(quint64 done, quint64 total) {
    const quint64 filled = total == 0 ? 0 : std::min<quint64>(done * kBarWidth / total, kBarWidth);
    return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] " +
           std::to_string(total == 0 ? 0 : done * 100 / total) + "%";
}

// The network of the interface named, of the --lan given, or of the first interface the
// window's LAN box would list. An interface that does not exist is bad usage.
std::optional<Ipv4Network> NetworkToSearch(const CliOptions& options, std::string& error,
                                           int& code) {
    code = exitcode::kLocalFault;
    if (options.lan) {
        return options.lan;
    }
    std::vector<InterfaceRow> table;
    if (!options.interfaceName.empty()) {
        const QNetworkInterface interface =
            QNetworkInterface::interfaceFromName(QString::fromStdString(options.interfaceName));
        if (!interface.isValid()) {
            error = "no interface \"" + ForTerminal(options.interfaceName) + "\" on this PC";
            code = exitcode::kBadInput;
            return std::nullopt;
        }
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                table.push_back({ToIpv4Address(entry.ip()), ToIpv4Address(entry.netmask())});
            }
        }
        if (table.empty()) {
            error = "no IPv4 network on interface \"" + options.interfaceName + "\"";
            return std::nullopt;
        }
    } else {
        table = SystemNetworkEnvironment().InterfaceTable();
    }
    const std::vector<LanChoice> choices = LanBoxEntries(table);
    if (choices.empty()) {
        error = "no IPv4 network to search: name one with --lan";
        return std::nullopt;
    }
    const SubnetFields fields = InterfaceSubnet(table[choices.front().row]);
    return Ipv4Network{fields.subnet, fields.mask};
}

// The directed broadcast address of a network (none for /31 and /32, which have none).
std::optional<Ipv4Address> BroadcastOf(const Ipv4Address& address, const Ipv4Address& mask) {
    if (mask[3] >= 0xFE) {
        return std::nullopt;
    }
    Ipv4Address broadcast{};
    for (std::size_t i = 0; i < broadcast.size(); ++i) {
        broadcast[i] = static_cast<std::uint8_t>(address[i] | ~mask[i]);
    }
    return broadcast;
}

// A card's address that is a broadcast address of a network here, or of the --lan given:
// sent to, every host of that network would take the request.
std::optional<Ipv4Address> BroadcastAmong(const std::vector<Ipv4Address>& cards,
                                          const CliOptions& options) {
    std::vector<Ipv4Address> broadcasts;
    for (const InterfaceRow& row : SystemNetworkEnvironment().InterfaceTable()) {
        if (const auto b = BroadcastOf(row.address, row.mask)) {
            broadcasts.push_back(*b);
        }
    }
    if (options.lan) {
        if (const auto b = BroadcastOf(options.lan->subnet, options.lan->mask)) {
            broadcasts.push_back(*b);
        }
    }
    for (const Ipv4Address& card : cards) {
        if (std::find(broadcasts.begin(), broadcasts.end(), card) != broadcasts.end()) {
            return card;
        }
    }
    return std::nullopt;
}

}  // namespace

CliProgram::CliProgram(CliOptions options, std::unique_ptr<Command> command)
    : options_(std::move(options)), command_(std::move(command)) {
    signals_ = std::make_unique<SignalWatcher>([this](int signal) { OnSignal(signal); });
    showProgress_ = isatty(STDERR_FILENO) != 0;
    progress_.setInterval(200);
    connect(&progress_, &QTimer::timeout, this, &CliProgram::ShowProgress);
}

CliProgram::~CliProgram() = default;

int CliProgram::Run() {
    if (!Prepare()) {
        if (exitCode_ == exitcode::kLocalFault) {
            ReportUnstarted();
        }
        return exitCode_;
    }
    SystemNetworkEnvironment network;
    hostAddress_ = ChooseHostAddress(network.HostNameAddresses(), network.InterfaceTable());
    const bool discoverFirst = !command_->TakesCards() || options_.allDiscovered;
    if (discoverFirst) {
        if (!StartDiscover()) {
            return exitCode_;
        }
    } else {
        RunCards();
    }
    if (showProgress_) {
        progress_.start();
    }
    return QCoreApplication::exec();
}

void CliProgram::ReportUnstarted() {
    const auto output = MakeOutput();
    for (const Ipv4Address& card : options_.cards) {
        fleet::CardTask task(card, options_.account, "", hostAddress_, command_->Job());
        task.Fail(fleet::Result::LocalFault, fault_);
        output->Write(command_->Describe(task));
    }
    output->Finish();
    SaveOutput();
}

bool CliProgram::Prepare() {
    if (!command_->TakesCards()) {
        return true;
    }
    if (const auto fault = command_->CheckInput()) {
        return Failed(*fault);
    }
    if (const auto broadcast = BroadcastAmong(options_.cards, options_)) {
        return Failed(
            {exitcode::kBadInput, "\"" + FormatDottedAddress(*broadcast) +
                                      "\" is a network's broadcast address, not a card's"});
    }
    if (const auto fault = command_->Serve(firmware_)) {
        return Failed(*fault);
    }
    if (!options_.accountsFile.empty() && !ReadAccounts()) {
        return false;
    }
    // With an accounts file the password given is for the cards no line names; none need be.
    const bool passwordGiven =
        !options_.passwordFile.empty() || std::getenv("PARVOLINK_PASSWORD") != nullptr;
    if (command_->NeedsCardPassword() && (!accounts_ || passwordGiven) && !ReadCardPassword()) {
        return false;
    }
    fallbackPassword_ = !accounts_ || passwordGiven;
    if (const auto fault = command_->ReadSecrets(options_.account)) {
        return Failed(*fault);
    }
    // What no card would take is refused before any card is asked.
    if (const auto refusal = fleet::CheckWithoutCard(command_->Job())) {
        return Failed({exitcode::kBadInput, *refusal});
    }
    return true;
}

bool CliProgram::Failed(const Fault& fault) {
    std::cerr << "parvolink-cli: " << fault.line << "\n";
    exitCode_ = fault.code;
    fault_ = fault.line;
    return false;
}

bool CliProgram::ReadCardPassword() {
    std::string error;
    int code = exitcode::kBadInput;
    const auto password =
        ReadSecret({"password", options_.passwordFile, "--password-file", "PARVOLINK_PASSWORD",
                    "The password for " + options_.account + ": "},
                   error, code);
    if (!password) {
        return Failed({code, error});
    }
    if (password->size() > devices::kPasswordLength) {
        return Failed({exitcode::kBadInput, "the password has more than " +
                                                std::to_string(devices::kPasswordLength) +
                                                " characters, more than a card keeps"});
    }
    password_ = *password;
    return true;
}

bool CliProgram::ReadAccounts() {
    std::string error;
    AccountsFileFault fault = AccountsFileFault::None;
    auto accounts = ReadAccountsFile(options_.accountsFile, error, fault);
    if (!accounts) {
        return Failed(
            {fault == AccountsFileFault::Unreadable ? exitcode::kLocalFault : exitcode::kBadInput,
             ForTerminal(error)});
    }
    accounts_ = std::make_shared<const Accounts>(std::move(*accounts));
    return true;
}

bool CliProgram::StartDiscover() {
    std::string error;
    int code = exitcode::kLocalFault;
    const auto network = NetworkToSearch(options_, error, code);
    if (!network) {
        std::cerr << "parvolink-cli: " << error << "\n";
        exitCode_ = code;
        return false;
    }
    if (!SweepMayStart(*network)) {
        return false;
    }
    const bool listing = !command_->TakesCards();
    discover_ = std::make_unique<DiscoverSession>();
    const bool started = discover_->Start(
        *network,
        [this, listing](const DeviceEntry& row) {
            ClearProgress();
            if (!row.otherMacAddress.empty()) {
                std::cerr << "parvolink-cli: two cards answer at " << ForTerminal(row.ipAddress)
                          << ": MAC addresses " << ForTerminal(row.macAddress) << " and "
                          << ForTerminal(row.otherMacAddress) << "\n";
            }
            if (listing) {
                output_->Write(command_->Found(row));
            }
        },
        [this] { DiscoverEnded(); });
    if (!started) {
        std::cerr << "parvolink-cli: " << mainwindow::kCannotOpenUdp.text << "\n";
        exitCode_ = exitcode::kLocalFault;
    } else if (listing) {
        // Only now: a listing that cannot start prints nothing, not half a JSON document.
        output_ = MakeOutput();
    }
    return started;
}

bool CliProgram::SweepMayStart(const Ipv4Network& network) {
    const DiscoverSweep sweep(network.subnet, network.mask);
    const std::uint64_t seconds =
        sweep.PausesWhenAllSucceed() * DiscoverSweep::kPauseMilliseconds / 1000 +
        exchange::kDiscoverTicks;
    const std::string how = "a discover of " + FormatDottedAddress(network.subnet) + "/" +
                            std::to_string(PrefixLength(network.mask)) + " sends to " +
                            std::to_string(sweep.Total()) + " addresses and takes about " +
                            Duration(seconds);
    if (PrefixLength(network.mask) < kLargestPlainSweep && !options_.largeSweep) {
        return Failed({exitcode::kBadInput, how + ": --large-sweep runs it"});
    }
    if (seconds >= kSweepWorthSaying) {
        std::cerr << "parvolink-cli: " << how << "\n";
    }
    return true;
}

void CliProgram::DiscoverEnded() {
    const DeviceList& cards = discover_->cards();
    if (!command_->TakesCards()) {
        End(cards.empty() ? exitcode::kNoResponse : exitcode::kDone);
        return;
    }
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const auto address = ParseStrictAddress(cards.row(i).ipAddress);
        if (address && !BroadcastAmong({*address}, options_) &&
            std::find(options_.cards.begin(), options_.cards.end(), *address) ==
                options_.cards.end()) {
            options_.cards.push_back(*address);
        }
    }
    RunCards();
}

void CliProgram::RunCards() {
    if (!output_) {
        output_ = MakeOutput();
    }
    if (options_.cards.empty()) {
        ClearProgress();
        std::cerr << "parvolink-cli: no card answered the discover\n";
        End(exitcode::kNoResponse);
        return;
    }
    const auto first = command_->AskedFirst();
    if (first && !firstAsked_ && signal_ == 0) {
        // Asked of every card before any task starts; the tasks begin with the answers.
        firstAsked_ = std::make_unique<SnmpStage>();
        const std::vector<std::string> addresses = NamedAddresses();
        firstAsked_->Start(
            *first, addresses, [this, addresses](const std::vector<snmp::Answer>& answers) {
                for (std::size_t i = 0; i < addresses.size() && i < answers.size(); ++i) {
                    firstAnswers_[addresses[i]] = answers[i];
                }
                RunCards();
            });
        return;
    }
    std::vector<std::unique_ptr<fleet::CardTask>> tasks;
    for (const Ipv4Address& card : options_.cards) {
        tasks.push_back(std::make_unique<fleet::CardTask>(card, options_.account, password_,
                                                          hostAddress_, command_->Job()));
        fleet::CardTask& task = *tasks.back();
        task.HoldBeforeWriting(!options_.keepGoing);
        task.CheckOnly(options_.check);
        if (accounts_) {
            task.UseAccounts(accounts_, fallbackPassword_);
        }
        const auto answer = firstAnswers_.find(FormatDottedAddress(card));
        task.UserAlreadyAnswers(answer != firstAnswers_.end() &&
                                answer->second.outcome == snmp::Outcome::Answered &&
                                answer->second.errorStatus.empty());
    }
    cardsTotal_ = static_cast<int>(tasks.size());
    runner_ = std::make_unique<CardRunner>(options_.parallel, firmware_.get());
    runner_->Run(
        std::move(tasks), [this](const fleet::CardTask& task) { CardEnded(task); },
        [this] { command_->KeepsCardsToTheEnd() ? CardsEnded() : End(exitCode_); });
    if (signal_ != 0) {
        runner_->Stop();  // a signal while the agents were asked first: every card is told
    }
    const auto question = command_->Question();
    if (question && command_->AsksEveryCard() && !cardsDone_) {
        // The agents' round trips overlap the cards' own: the run takes the longer of the two.
        AskOverSnmp(*question, NamedAddresses());
    }
}

std::vector<std::string> CliProgram::NamedAddresses() const {
    std::vector<std::string> addresses;
    for (const Ipv4Address& card : options_.cards) {
        addresses.push_back(FormatDottedAddress(card));
    }
    return addresses;
}

void CliProgram::CardEnded(const fleet::CardTask& task) {
    ClearProgress();
    ++cardsEnded_;
    command_->CardEnded(task);
    exitCode_ = std::max(exitCode_, static_cast<int>(task.result()));
    if (task.result() == Result::BadInput || task.heldBy()) {
        // Why this card was refused, or held back, in a line of its own.
        std::cerr << "parvolink-cli: " << FormatDottedAddress(task.address()) << ": "
                  << ForTerminal(task.message()) << "\n";
    }
    if (command_->KeepsCardsToTheEnd()) {
        kept_.push_back(task);
    } else {
        output_->Write(command_->Describe(task));
    }
}

void CliProgram::CardsEnded() {
    cardsDone_ = true;
    // In the order the cards were named, not the order they answered.
    std::sort(kept_.begin(), kept_.end(), [this](const auto& a, const auto& b) {
        const auto position = [this](const fleet::CardTask& task) {
            return std::find(options_.cards.begin(), options_.cards.end(), task.address()) -
                   options_.cards.begin();
        };
        return position(a) < position(b);
    });
    if (snmp_) {
        if (answered_) {
            Report();
        }  // else the answers still to come end the run
        return;
    }
    if (signal_ == 0 && AskProbes()) {
        return;
    }
    const auto question = command_->Question();
    if (!question || signal_ != 0) {
        Report();
        return;
    }
    std::vector<std::string> addresses;
    for (const fleet::CardTask& task : kept_) {
        if (command_->AskedOverSnmp(task)) {
            addresses.push_back(FormatDottedAddress(task.address()));
        }
    }
    AskOverSnmp(*question, std::move(addresses));
}

void CliProgram::AskOverSnmp(const SnmpQuestion& question, std::vector<std::string> addresses) {
    snmp_ = std::make_unique<SnmpStage>();
    snmp_->Start(question, addresses, [this, addresses](const std::vector<snmp::Answer>& answers) {
        for (std::size_t i = 0; i < addresses.size() && i < answers.size(); ++i) {
            answers_[addresses[i]] = answers[i];
        }
        answered_ = true;
        if (cardsDone_) {
            Report();
        }
    });
}

bool CliProgram::AskProbes() {
    std::vector<std::pair<std::string, Probe>> probes;
    std::vector<std::pair<std::string, std::size_t>> counts;  // each card's, in order
    for (const fleet::CardTask& task : kept_) {
        const std::string address = FormatDottedAddress(task.address());
        const std::vector<Probe> own = command_->Probes(task);
        counts.emplace_back(address, own.size());
        for (const Probe& probe : own) {
            probes.emplace_back(address, probe);
        }
    }
    if (probes.empty()) {
        return false;
    }
    SnmpQuestion timing;
    timing.timeoutMs = command_->ProbeTimeoutMs();
    snmp_ = std::make_unique<SnmpStage>();
    snmp_->Start(
        std::move(probes), timing, [this, counts](const std::vector<snmp::Answer>& answers) {
            auto next = answers.begin();
            for (const auto& [address, count] : counts) {
                const std::size_t take = std::min<std::size_t>(count, answers.end() - next);
                probeAnswers_[address].assign(next, next + static_cast<std::ptrdiff_t>(take));
                next += static_cast<std::ptrdiff_t>(take);
            }
            answered_ = true;
            Report();
        });
    return true;
}

void CliProgram::Report() {
    for (const fleet::CardTask& task : kept_) {
        const auto probed = probeAnswers_.find(FormatDottedAddress(task.address()));
        command_->Probed(
            task, probed != probeAnswers_.end() ? probed->second : std::vector<snmp::Answer>{});
    }
    for (fleet::CardTask& task : kept_) {
        // Without the stage (a signal came first) every card keeps what it came to.
        if (snmp_ != nullptr && command_->AskedOverSnmp(task)) {
            const auto answer = answers_.find(FormatDottedAddress(task.address()));
            command_->Answered(task, answer != answers_.end() ? answer->second : snmp::Answer{});
        }
    }
    if (const auto whole = command_->Whole(kept_, std::cerr)) {
        output_->Raw(*whole);
    } else {
        for (const fleet::CardTask& task : kept_) {
            output_->Write(command_->Describe(task));
        }
    }
    End(command_->ExitCode(WorstOfKept(), options_.format));
}

int CliProgram::WorstOfKept() const {
    int worst = 0;
    for (const fleet::CardTask& task : kept_) {
        worst = std::max(worst, static_cast<int>(task.result()));
    }
    return worst;
}

std::unique_ptr<Output> CliProgram::MakeOutput() {
    std::ostream& sink = options_.outputFile.empty() ? std::cout : saved_;
    return std::make_unique<Output>(sink, options_.format, command_->Heading(),
                                    command_->TableHeading(), command_->MetricLabels());
}

bool CliProgram::SaveOutput() {
    if (options_.outputFile.empty()) {
        return true;
    }
    // A temporary file beside it, renamed over it: a reader never sees half of it.
    QSaveFile file(QString::fromLocal8Bit(options_.outputFile.c_str()));
    const std::string text = saved_.str();
    if (file.open(QIODevice::WriteOnly) &&
        file.write(text.data(), static_cast<qint64>(text.size())) ==
            static_cast<qint64>(text.size()) &&
        file.commit()) {
        return true;
    }
    std::cerr << "parvolink-cli: cannot write " << ForTerminal(options_.outputFile) << ": "
              << file.errorString().toLocal8Bit().constData() << "\n";
    return false;
}

void CliProgram::End(int code) {
    if (ended_) {
        return;
    }
    ended_ = true;
    ClearProgress();
    progress_.stop();
    if (output_) {
        output_->Finish();
        if (!SaveOutput() && signal_ == 0) {
            code = exitcode::kLocalFault;
        }
    }
    exitCode_ = signal_ != 0 ? exitcode::Interrupted(signal_) : code;
    QCoreApplication::exit(exitCode_);
}

void CliProgram::OnSignal(int signal) {
    ClearProgress();
    if (firstAsked_ && !runner_ && signal_ == 0) {
        firstAsked_->Stop();  // nothing was written: its answers end the run
        signal_ = signal;
        return;
    }
    if (signal_ != 0 || !runner_) {
        // A second signal, or nothing under way that must finish: end now, saying which
        // cards may be left mid-write.
        std::string writing;
        if (runner_) {
            for (const fleet::CardTask* task : runner_->Running()) {
                if (task->writing()) {
                    writing += " " + FormatDottedAddress(task->address());
                }
            }
        }
        if (!writing.empty()) {
            std::cerr << "parvolink-cli: ended at once; these cards may be in the middle of a "
                         "write or a flash:"
                      << writing << "\n";
        }
        signal_ = signal;
        End(exitcode::Interrupted(signal));
        return;
    }
    signal_ = signal;
    if (snmp_) {
        snmp_->Stop();  // nothing is written over SNMP: the readings are given up
    }
    if (cardsDone_) {
        return;
    }
    std::cerr << "parvolink-cli: stopping: no further card is started; writes under way "
                 "finish (a second signal ends at once)\n";
    runner_->Stop();
}

void CliProgram::ShowProgress() {
    std::string line;
    if (runner_) {
        line = std::to_string(cardsEnded_) + " of " + std::to_string(cardsTotal_) + " cards done";
        for (const fleet::CardTask* task : runner_->Running()) {
            line += "  " + FormatDottedAddress(task->address());
            if (firmware_) {
                if (const auto transfer = firmware_->ProgressOf(task->address())) {
                    line += " " + Bar(static_cast<quint64>(transfer->block),
                                      static_cast<quint64>(transfer->blockCount));
                }
            }
        }
    } else if (discover_) {
        const auto [sent, total] = discover_->progress();
        line = "Discover " + Bar(sent, total) + "  " + std::to_string(discover_->cards().size()) +
               " found";
    }
    line = line.substr(0, 160);
    if (progressShown_ && line == progressLine_) {
        return;  // a terminal need not be redrawn for nothing
    }
    std::cerr << "\r\033[K" << line << std::flush;
    progressLine_ = line;
    progressShown_ = true;
}

void CliProgram::ClearProgress() {
    if (progressShown_) {
        std::cerr << "\r\033[K" << std::flush;
        progressShown_ = false;
    }
}

}  // namespace parvolink::cli
