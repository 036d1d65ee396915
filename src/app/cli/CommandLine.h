// SPDX-License-Identifier: GPL-3.0-or-later
// What parvolink-cli was asked to do, read from its arguments with Qt's parser: one command
// (which takes its own options) and the options every command shares. Nothing here touches
// the network.
#pragma once

#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/cli/Command.h"
#include "base/DottedAddress.h"

namespace parvolink::cli {

// The options every command shares.
struct CliOptions {
    Format format = Format::Table;
    std::optional<Ipv4Network> lan;
    std::string interfaceName;
    std::vector<Ipv4Address> cards;
    bool allDiscovered = false;
    std::string account = "admin";
    std::string passwordFile;
    int parallel = kDefaultParallel;
    // Write the cards that pass their checks even when others do not; otherwise a write goes
    // to every card or to none.
    bool keepGoing = false;
    // Identify, read and check every card as a real run would, and write nothing.
    bool check = false;
    // Each card's account and password, by its address or MAC address.
    std::string accountsFile;
    // A discover of a network larger than a /16 (hours of sweeping) runs only when asked.
    bool largeSweep = false;
    // Where the output goes instead of standard output: replaced whole, never half written.
    std::string outputFile;
};

struct ParsedCommand {
    CliOptions options;
    std::unique_ptr<Command> command;
};

// The overview --help prints, made from the commands.
std::string HelpOverview();

// The command and its options, or the exit code to end with at once: done after --help or
// --version (printed on standard output), bad input after a usage error (one line on standard
// error).
std::variant<ParsedCommand, int> ParseCommandLine(const QStringList& arguments);

}  // namespace parvolink::cli
