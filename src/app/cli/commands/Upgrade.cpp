// SPDX-License-Identifier: GPL-3.0-or-later
// upgrade: each card fetches a firmware file from this program's TFTP server.
#include "app/cli/ExitCodes.h"
#include "app/cli/commands/Commands.h"
#include "app/cli/commands/Named.h"
#include "core/upgrade/FirmwareFile.h"
#include "core/upgrade/UpgradeChecks.h"
#include "shell/protocol/NetworkFailures.h"
#include "shell/upgrade/FirmwareServer.h"

namespace parvolink::cli::commands {
namespace {

// An upgrade serves at most as many transfers as the TFTP server holds.
constexpr int kParallelUpgrades = 10;
// How long an upgraded card may take to come back with the file's version: by default, and at
// most.
constexpr int kDefaultConfirmSeconds = 300;
constexpr int kLongestConfirmSeconds = 3600;

class Upgrade : public Named {
public:
    Upgrade()
        : Named({"upgrade"}, "FILE CARD...", "upgrade each card's firmware",
                "Serves FILE from this program's TFTP server on port 69 and has each card fetch "
                "it.") {}
    bool Writes() const override { return true; }
    int DefaultParallel() const override { return kParallelUpgrades; }
    int MostParallel() const override { return kParallelUpgrades; }
    fleet::Job Job() const override { return job_; }
    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOptions({
            {"no-confirm",
             "Done once the file is transferred, without waiting for the card to come back."},
            {"confirm-timeout",
             "Wait at most SECONDS for a card to come back with the file's version (default " +
                 QString::number(kDefaultConfirmSeconds) + ").",
             "SECONDS", QString::number(kDefaultConfirmSeconds)},
        });
    }
    void Take(const QCommandLineParser& parser, QStringList& positional) override {
        job_.confirm = !parser.isSet("no-confirm");
        job_.confirmSeconds = Number(parser, "confirm-timeout", 1, kLongestConfirmSeconds);
        if (positional.isEmpty()) {
            throw UsageError{"name the firmware file"};
        }
        job_.firmware = Text(positional.takeFirst());
    }

    // The file first: nobody should type a password for an upgrade that cannot start.
    std::optional<Fault> CheckInput() override {
        const std::filesystem::path& file = job_.firmware;
        if (!FirmwareFileSize(file)) {
            return Fault{exitcode::kLocalFault, "cannot read the firmware file " + file.string()};
        }
        if (TooLargeToServe(file)) {
            return Fault{exitcode::kBadInput, upgrade::kFileTooLarge.text};
        }
        const std::string description = describeFirmwareFile(file);
        if (description == firmware::kNotCorrect) {
            return Fault{exitcode::kBadInput,
                         file.string() + ": " + std::string(firmware::kNotCorrect)};
        }
        // The version field closes the description: what an upgraded card must come back with.
        std::string version = description.substr(description.size() - firmware::kVersionLength);
        version.erase(version.find_last_not_of(' ') + 1);
        job_.firmwareVersion = version;
        return std::nullopt;
    }

    std::optional<Fault> Serve(std::unique_ptr<FirmwareServer>& server) override {
        const std::filesystem::path file = job_.firmware;
        server = std::make_unique<FirmwareServer>([file] {
            return ServedFirmware{file.string(), file.filename().string()};
        });
        if (server->Open(kTftpPort)) {
            return std::nullopt;
        }
        const PortFailure& why = server->failure();
        return Fault{exitcode::kLocalFault,
                     mainwindow::kCannotOpenTftp.text + " (" + why.reason + ")" +
                         (why.remedy.empty() ? "" : "; to get it: " + why.remedy)};
    }

private:
    fleet::Job job_{Operation::Upgrade};
};

}  // namespace

std::unique_ptr<Command> MakeUpgrade() {
    return std::make_unique<Upgrade>();
}

}  // namespace parvolink::cli::commands
