// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CliProgram.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QNetworkInterface>
#include <algorithm>
#include <iostream>

#include "app/cli/CardRunner.h"
#include "app/cli/DiscoverSession.h"
#include "app/cli/ExitCodes.h"
#include "app/cli/Secrets.h"
#include "app/cli/SignalWatcher.h"
#include "app/cli/SnmpStage.h"
#include "app/cli/TerminalText.h"
#include "core/config/UsmConfiguration.h"
#include "core/snmp/NutConfig.h"
#include "core/upgrade/FirmwareFile.h"
#include "core/upgrade/UpgradeChecks.h"
#include "shell/protocol/DatagramSocket.h"
#include "shell/protocol/NetworkEnvironment.h"
#include "shell/protocol/NetworkFailures.h"
#include "shell/upgrade/FirmwareServer.h"

namespace parvolink::cli {
namespace {

using Command = CliOptions::Command;
using fleet::Result;

constexpr int kBarWidth = 30;

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

// A user is verified only where it was written (or the card identified); a status is asked of
// every card.
bool AskedOverSnmp(Command command, const fleet::CardTask& task) {
    return command == Command::Status || task.result() == Result::Done;
}

// A card's result and message for what its agent answered.
std::pair<Result, std::string> Verdict(Command command, const snmp::Answer& answer) {
    Result result = ResultOf(answer.outcome);
    std::string message(answer.outcome == snmp::Outcome::Answered
                            ? answer.errorStatus
                            : snmp::OutcomeText(answer.outcome));
    if (answer.outcome == snmp::Outcome::LocalFault && !answer.errorStatus.empty()) {
        message += ": " + answer.errorStatus;
    }
    if (command == Command::Status && result == Result::Done && !answer.errorStatus.empty()) {
        // An answer that is an error (SNMPv1's noSuchName, say) carries no readings; a user
        // verified by one still has working keys.
        result = Result::Refused;
    }
    if (command == Command::Snmpv3Verify && result == Result::Done) {
        message = "the agent answered";
    }
    if (command == Command::Snmpv3Set) {
        message = result == Result::Done
                      ? "written and verified over SNMP"
                      : "written, but the user does not verify over SNMP: " + message;
    }
    return {result, message};
}

}  // namespace

CliProgram::CliProgram(CliOptions options) : options_(std::move(options)) {
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
    const bool discoverFirst = options_.command == Command::Discover || options_.allDiscovered;
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
    Output output(std::cout, options_.format, options_.command);
    for (const Ipv4Address& card : options_.cards) {
        fleet::CardTask task(card, options_.account, "", hostAddress_, options_.job);
        task.Fail(fleet::Result::LocalFault, fault_);
        output.Ended(task);
    }
    output.Finish();
}

bool CliProgram::Prepare() {
    const auto fault = [this](int code, const std::string& line) {
        std::cerr << "parvolink-cli: " << line << "\n";
        exitCode_ = code;
        fault_ = line;
        return false;
    };
    if (options_.command == Command::Discover) {
        return true;
    }
    // The file first: nobody should type a password for an upgrade that cannot start.
    if (options_.command == Command::Upgrade) {
        const std::filesystem::path& file = options_.job.firmware;
        if (!FirmwareFileSize(file)) {
            return fault(exitcode::kLocalFault, "cannot read the firmware file " + file.string());
        }
        if (TooLargeToServe(file)) {
            return fault(exitcode::kBadInput, upgrade::kFileTooLarge.text);
        }
        const std::string description = describeFirmwareFile(file);
        if (description == firmware::kNotCorrect) {
            return fault(exitcode::kBadInput,
                         file.string() + ": " + std::string(firmware::kNotCorrect));
        }
        // The version field closes the description: what an upgraded card must come back with.
        std::string version = description.substr(description.size() - firmware::kVersionLength);
        version.erase(version.find_last_not_of(' ') + 1);
        options_.job.firmwareVersion = version;
    }
    if (const auto broadcast = BroadcastAmong(options_.cards, options_)) {
        return fault(exitcode::kBadInput, "\"" + FormatDottedAddress(*broadcast) +
                                              "\" is a network's broadcast address, not a card's");
    }
    if (options_.command == Command::Upgrade) {
        const std::filesystem::path file = options_.job.firmware;
        firmware_ = std::make_unique<FirmwareServer>([file] {
            return ServedFirmware{file.string(), file.filename().string()};
        });
        if (!firmware_->Open(kTftpPort)) {
            const PortFailure& why = firmware_->failure();
            return fault(exitcode::kLocalFault,
                         mainwindow::kCannotOpenTftp.text + " (" + why.reason + ")" +
                             (why.remedy.empty() ? "" : "; to get it: " + why.remedy));
        }
    }
    if (options_.job.kind == fleet::Job::Kind::Identify) {
        return PrepareSnmp();  // the cards are only identified: no card password is needed
    }
    std::string error;
    const auto secret = [&](const std::string& what, const std::string& file,
                            const std::string& option, const std::string& variable) {
        return ReadSecret(
            {what, file, option, variable, "The " + what + " for " + options_.account + ": "},
            error);
    };
    const auto password =
        secret("password", options_.passwordFile, "--password-file", "PARVOLINK_PASSWORD");
    if (!password) {
        return fault(exitcode::kBadInput, error);
    }
    if (password->size() > devices::kPasswordLength) {
        return fault(exitcode::kBadInput, "the password has more than " +
                                              std::to_string(devices::kPasswordLength) +
                                              " characters, more than a card keeps");
    }
    password_ = *password;
    if (options_.command == Command::Snmpv3Set) {
        fleet::Job::User& user = options_.job.user;
        // Too short a password is refused below, with the other checks of the job.
        if (const auto refusal = ReadUserPasswords(user.level, options_.account, false,
                                                   user.authPassword, user.privPassword)) {
            return fault(exitcode::kBadInput, *refusal);
        }
    }
    // What no card would take is refused before any card is asked.
    if (const auto refusal = fleet::CheckWithoutCard(options_.job)) {
        return fault(exitcode::kBadInput, *refusal);
    }
    if (options_.snmp.verify) {
        const fleet::Job::User& user = options_.job.user;
        options_.snmp.credentials = {snmp::Credentials::Version::V3,
                                     "",
                                     user.name,
                                     user.level,
                                     user.authPassword,
                                     user.privPassword};
    }
    return true;
}

bool CliProgram::PrepareSnmp() {
    std::string error;
    const auto fault = [this, &error] {
        std::cerr << "parvolink-cli: " << error << "\n";
        exitCode_ = exitcode::kBadInput;
        return false;
    };
    snmp::Credentials& credentials = options_.snmp.credentials;
    if (credentials.version != snmp::Credentials::Version::V3) {
        const auto community = ReadSecret(
            {"community", options_.snmp.communityFile, "--community-file", "", ""}, error);
        if (!community) {
            return fault();
        }
        credentials.community = *community;
        return true;
    }
    if (const auto refusal =
            ReadUserPasswords(credentials.level, credentials.user, true, credentials.authPassword,
                              credentials.privPassword)) {
        error = *refusal;
        return fault();
    }
    return true;
}

std::optional<std::string> CliProgram::ReadUserPasswords(int level, const std::string& owner,
                                                         bool checkLength, std::string& auth,
                                                         std::string& priv) const {
    std::string error;
    const auto read = [&](const std::string& what, const std::string& file,
                          const std::string& option, const std::string& variable,
                          std::string& into) {
        const auto text = ReadSecret(
            {what, file, option, variable, "The " + what + " for " + owner + ": "}, error);
        if (text && checkLength && text->size() < usm::kShortestPassword) {
            // The keys are derived from passwords of 8 characters or more.
            error = "the " + what + " has fewer than " + std::to_string(usm::kShortestPassword) +
                    " characters";
            return false;
        }
        into = text.value_or("");
        return text.has_value();
    };
    if (level >= AuthNoPriv && !read("authentication password", options_.authPasswordFile,
                                     "--auth-password-file", "PARVOLINK_AUTH_PASSWORD", auth)) {
        return error;
    }
    if (level >= AuthPriv && !read("privacy password", options_.privPasswordFile,
                                   "--priv-password-file", "PARVOLINK_PRIV_PASSWORD", priv)) {
        return error;
    }
    return std::nullopt;
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
    const bool listing = options_.command == Command::Discover;
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
                output_->Found(row);
            }
        },
        [this, listing] {
            const DeviceList& cards = discover_->cards();
            if (listing) {
                End(cards.empty() ? exitcode::kNoResponse : exitcode::kDone);
                return;
            }
            for (std::size_t i = 0; i < cards.size(); ++i) {
                const auto address = ParseStrictAddress(cards.row(i).ipAddress);
                if (address && !BroadcastAmong({*address}, options_)) {
                    if (std::find(options_.cards.begin(), options_.cards.end(), *address) ==
                        options_.cards.end()) {
                        options_.cards.push_back(*address);
                    }
                }
            }
            RunCards();
        });
    if (!started) {
        std::cerr << "parvolink-cli: " << mainwindow::kCannotOpenUdp.text << "\n";
        exitCode_ = exitcode::kLocalFault;
    } else if (listing) {
        // Only now: a listing that cannot start prints nothing, not half a JSON document.
        output_ = std::make_unique<Output>(std::cout, options_.format, options_.command);
    }
    return started;
}

void CliProgram::RunCards() {
    output_ = std::make_unique<Output>(std::cout, options_.format, options_.command);
    if (options_.cards.empty()) {
        ClearProgress();
        std::cerr << "parvolink-cli: no card answered the discover\n";
        End(exitcode::kNoResponse);
        return;
    }
    std::vector<std::unique_ptr<fleet::CardTask>> tasks;
    for (const Ipv4Address& card : options_.cards) {
        tasks.push_back(std::make_unique<fleet::CardTask>(card, options_.account, password_,
                                                          hostAddress_, options_.job));
        tasks.back()->HoldBeforeWriting(!options_.keepGoing);
    }
    cardsTotal_ = static_cast<int>(tasks.size());
    runner_ = std::make_unique<CardRunner>(options_.parallel, firmware_.get());
    runner_->Run(
        std::move(tasks),
        [this](const fleet::CardTask& task) {
            ClearProgress();
            ++cardsEnded_;
            exitCode_ = std::max(exitCode_, static_cast<int>(task.result()));
            if (task.result() == Result::BadInput) {
                // Why this card was refused, or held back, in a line of its own.
                std::cerr << "parvolink-cli: " << FormatDottedAddress(task.address()) << ": "
                          << ForTerminal(task.message()) << "\n";
            }
            if (AsksSnmp(options_)) {
                identified_.push_back(task);
            } else {
                output_->Ended(task);
            }
        },
        [this] { AsksSnmp(options_) ? StartSnmp() : End(exitCode_); });
}

void CliProgram::StartSnmp() {
    // In the order the cards were named, not the order they answered.
    std::sort(identified_.begin(), identified_.end(), [this](const auto& a, const auto& b) {
        const auto position = [this](const fleet::CardTask& task) {
            return std::find(options_.cards.begin(), options_.cards.end(), task.address()) -
                   options_.cards.begin();
        };
        return position(a) < position(b);
    });
    if (options_.command == Command::NutConfig) {
        PrintNutConfig();  // nothing to ask: the cards' identities make the sections
        return;
    }
    if (signal_ != 0) {
        SnmpEnded({});
        return;
    }
    std::vector<std::string> addresses;
    for (const fleet::CardTask& task : identified_) {
        if (AskedOverSnmp(options_.command, task)) {
            addresses.push_back(FormatDottedAddress(task.address()));
        }
    }
    snmp_ = std::make_unique<SnmpStage>();
    snmp_->Start(options_, std::move(addresses),
                 [this](const std::vector<snmp::Answer>& answers) { SnmpEnded(answers); });
}

void CliProgram::PrintNutConfig() {
    exitCode_ = 0;
    std::vector<snmp::NutCard> cards;
    for (const fleet::CardTask& task : identified_) {
        const std::string card = FormatDottedAddress(task.address());
        if (task.result() == Result::Done) {
            cards.push_back({card, Utf8FromLatin1(task.card().hostName),
                             Utf8FromLatin1(task.card().macAddress)});
        } else {
            std::cerr << "parvolink-cli: " << card << ": " << ForTerminal(task.message()) << "\n";
        }
        exitCode_ = std::max(exitCode_, static_cast<int>(task.result()));
    }
    std::cout << snmp::NutSections(cards, options_.snmp.credentials, options_.snmp.includeSecrets)
              << std::flush;
    End(exitCode_);
}

void CliProgram::SnmpEnded(const std::vector<snmp::Answer>& answers) {
    exitCode_ = 0;
    std::size_t next = 0;
    for (fleet::CardTask& task : identified_) {
        // Without the stage (a signal came first) every card keeps what it came to.
        const bool asked = snmp_ != nullptr && AskedOverSnmp(options_.command, task);
        if (asked) {
            const snmp::Answer answer = next < answers.size() ? answers[next++] : snmp::Answer{};
            const auto [result, message] = Verdict(options_.command, answer);
            task.Fail(result, message);
            if (options_.command == Command::Status) {
                output_->Status(task, snmp::ReadUpsStatus(answer.values));
            }
        }
        if (!asked || options_.command != Command::Status) {
            output_->Ended(task);
        }
        exitCode_ = std::max(exitCode_, static_cast<int>(task.result()));
    }
    End(exitCode_);
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
    }
    exitCode_ = signal_ != 0 ? exitcode::Interrupted(signal_) : code;
    QCoreApplication::exit(exitCode_);
}

void CliProgram::OnSignal(int signal) {
    ClearProgress();
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
        snmp_->Stop();  // nothing is written any more: the readings are given up
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
