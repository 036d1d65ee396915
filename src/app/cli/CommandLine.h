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

namespace parvolink::cli {

enum class Format { Table, Json, Csv };

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
        Upgrade,
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
    int parallel = 8;
    fleet::Job job;
};

// The options, or the exit code to end with at once: 0 after --help or --version (printed on
// standard output), 2 after a usage error (one line on standard error).
std::variant<CliOptions, int> ParseCommandLine(const QStringList& arguments);

}  // namespace parvolink::cli
