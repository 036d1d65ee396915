#include "app/cli/CliProgram.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QNetworkInterface>
#include <algorithm>
#include <iostream>

#include "app/NetworkEnvironment.h"
#include "app/cli/CardRunner.h"
#include "app/cli/DiscoverSession.h"
#include "app/cli/FirmwareServer.h"
#include "app/cli/Secrets.h"
#include "core/config/UsmConfiguration.h"
#include "core/upgrade/FirmwareFile.h"
#include "core/upgrade/UpgradeChecks.h"
#include "shell/protocol/DatagramSocket.h"
#include "shell/protocol/NetworkFailures.h"

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
// window's LAN box would list.
std::optional<Ipv4Network> NetworkToSearch(const CliOptions& options, std::string& error) {
    if (options.lan) {
        return options.lan;
    }
    std::vector<InterfaceRow> table;
    if (!options.interfaceName.empty()) {
        const QNetworkInterface interface =
            QNetworkInterface::interfaceFromName(QString::fromStdString(options.interfaceName));
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

}  // namespace

CliProgram::CliProgram(CliOptions options) : options_(std::move(options)) {
    showProgress_ = isatty(STDERR_FILENO) != 0;
    progress_.setInterval(200);
    connect(&progress_, &QTimer::timeout, this, &CliProgram::ShowProgress);
}

CliProgram::~CliProgram() = default;

int CliProgram::Run() {
    if (!Prepare()) {
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

bool CliProgram::Prepare() {
    const auto fault = [this](int code, const std::string& line) {
        std::cerr << "parvolink-cli: " << line << "\n";
        exitCode_ = code;
        return false;
    };
    if (options_.command == Command::Discover) {
        return true;
    }
    // The file first: nobody should type a password for an upgrade that cannot start.
    if (options_.command == Command::Upgrade) {
        const std::filesystem::path& file = options_.job.firmware;
        if (!FirmwareFileSize(file)) {
            return fault(4, "cannot read the firmware file " + file.string());
        }
        if (TooLargeToServe(file)) {
            return fault(2, upgrade::kFileTooLarge.text);
        }
        if (describeFirmwareFile(file) == firmware::kNotCorrect) {
            return fault(2, file.string() + ": " + std::string(firmware::kNotCorrect));
        }
        firmware_ = std::make_unique<FirmwareServer>(file.string());
        if (!firmware_->Open(kTftpPort)) {
            return fault(4, mainwindow::kCannotOpenTftp.text +
                                " (port 69 needs root or cap_net_bind_service, and a free port)");
        }
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
        return fault(2, error);
    }
    if (password->size() > devices::kPasswordLength) {
        return fault(2, "the password has more than 8 characters, more than a card keeps");
    }
    password_ = *password;
    if (options_.command == Command::Snmpv3Set) {
        fleet::Job::User& user = options_.job.user;
        if (user.level >= AuthNoPriv) {
            const auto auth = secret("authentication password", options_.authPasswordFile,
                                     "--auth-password-file", "PARVOLINK_AUTH_PASSWORD");
            if (!auth) {
                return fault(2, error);
            }
            user.authPassword = *auth;
        }
        if (user.level >= AuthPriv) {
            const auto priv = secret("privacy password", options_.privPasswordFile,
                                     "--priv-password-file", "PARVOLINK_PRIV_PASSWORD");
            if (!priv) {
                return fault(2, error);
            }
            user.privPassword = *priv;
        }
    }
    return true;
}

bool CliProgram::StartDiscover() {
    std::string error;
    const auto network = NetworkToSearch(options_, error);
    if (!network) {
        std::cerr << "parvolink-cli: " << error << "\n";
        exitCode_ = 4;
        return false;
    }
    const bool listing = options_.command == Command::Discover;
    discover_ = std::make_unique<DiscoverSession>();
    const bool started = discover_->Start(
        *network,
        [this, listing](const DeviceEntry& row) {
            ClearProgress();
            if (!row.otherMacAddress.empty()) {
                std::cerr << "parvolink-cli: two cards answer at " << row.ipAddress
                          << ": MAC addresses " << row.macAddress << " and " << row.otherMacAddress
                          << "\n";
            }
            if (listing) {
                output_->Found(row);
            }
        },
        [this, listing] {
            const DeviceList& cards = discover_->cards();
            if (listing) {
                End(cards.empty() ? static_cast<int>(Result::NoResponse) : 0);
                return;
            }
            for (std::size_t i = 0; i < cards.size(); ++i) {
                if (const auto address = ParseStrictAddress(cards.row(i).ipAddress)) {
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
        exitCode_ = 4;
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
        End(static_cast<int>(Result::NoResponse));
        return;
    }
    std::vector<std::unique_ptr<fleet::CardTask>> tasks;
    for (const Ipv4Address& card : options_.cards) {
        tasks.push_back(std::make_unique<fleet::CardTask>(card, options_.account, password_,
                                                          hostAddress_, options_.job));
    }
    cardsTotal_ = static_cast<int>(tasks.size());
    runner_ = std::make_unique<CardRunner>(options_.parallel, firmware_.get());
    runner_->Run(
        std::move(tasks),
        [this](const fleet::CardTask& task) {
            ClearProgress();
            ++cardsEnded_;
            exitCode_ = std::max(exitCode_, static_cast<int>(task.result()));
            output_->Ended(task);
        },
        [this] { End(exitCode_); });
}

void CliProgram::End(int code) {
    ClearProgress();
    progress_.stop();
    if (output_) {
        output_->Finish();
    }
    exitCode_ = code;
    QCoreApplication::exit(code);
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
