// SPDX-License-Identifier: GPL-3.0-or-later
// What parvolink-cli was asked to do, read from its arguments with Qt's parser: one command,
// its cards and options. Nothing here touches the network.
#pragma once

#include <QStringList>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/DottedAddress.h"
#include "core/fleet/CardTask.h"
#include "core/snmp/SnmpTypes.h"

namespace parvolink::cli {

enum class Format { Table, Json, Csv, Prometheus };

// Cards worked on at once: by default, and at most; an upgrade serves at most as many
// transfers as the TFTP server holds.
constexpr int kDefaultParallel = 8;
constexpr int kMostParallel = 64;
constexpr int kDefaultParallelUpgrades = 10;
constexpr int kMostParallelUpgrades = 10;
// How long an upgraded card may take to come back with the file's version: by default, and at
// most.
constexpr int kDefaultConfirmSeconds = 300;
constexpr int kLongestConfirmSeconds = 3600;
// A --from file of NAME=VALUE lines is small; more than this is not one.
constexpr std::size_t kLongestChangesFile = 64 * 1024;

// How the SNMP readings are asked for: the credentials (passwords and the community read
// later, from files or the environment) and the timing.
struct SnmpOptions {
    snmp::Credentials credentials;
    std::string communityFile;
    bool verify = false;  // snmpv3 set: verify the user written
    bool includeSecrets = false;
    int timeoutMs = 1000;
    int retries = 1;
};
// SNMP readings wait this long for a card, per try: by default, and at most.
constexpr int kDefaultSnmpTimeoutMs = 1000;
constexpr int kLongestSnmpTimeoutMs = 60000;

struct CliOptions {
    enum class Command {
        Discover,
        ConfigGet,
        ConfigSet,
        ConfigReset,
        Snmpv3List,
        Snmpv3Set,
        Snmpv3Context,
        Snmpv3Reset,
        Snmpv3Verify,
        Upgrade,
        Status,
        NutConfig,
    };
    Command command = Command::Discover;
    Format format = Format::Table;
    std::optional<Ipv4Network> lan;
    std::string interfaceName;
    std::vector<Ipv4Address> cards;
    bool allDiscovered = false;
    std::string account = "admin";
    std::string passwordFile;
    std::string authPasswordFile;
    std::string privPasswordFile;
    int parallel = kDefaultParallel;
    // Write the cards that pass their checks even when others do not; otherwise a write goes
    // to every card or to none.
    bool keepGoing = false;
    fleet::Job job;
    SnmpOptions snmp;
};

// True for the commands that read over SNMP after the cards are identified.
bool AsksSnmp(const CliOptions& options);

// True for the commands that write to the cards.
bool Writes(CliOptions::Command command);

// The options, or the exit code to end with at once: done after --help or --version (printed
// on standard output), bad input after a usage error (one line on standard error).
std::variant<CliOptions, int> ParseCommandLine(const QStringList& arguments);

}  // namespace parvolink::cli
