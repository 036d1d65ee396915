// SPDX-License-Identifier: GPL-3.0-or-later
// discover: the window's Discover from the command line, printing each card as it answers.
#include <array>

#include "app/cli/TerminalText.h"
#include "app/cli/commands/Commands.h"
#include "app/cli/commands/Named.h"
#include "core/devices/DeviceListExport.h"

namespace parvolink::cli::commands {
namespace {

constexpr std::array<const char*, 7> kKeys = {"ip-address",  "host-name",  "version",      "model",
                                              "mac-address", "flash-size", "duplicate-mac"};
constexpr std::array<int, 7> kWidths = {15, 15, 8, 14, 17, 10, 17};

// Columns of the given widths, without the spaces after the last.
std::string Columns(const std::array<std::string, 7>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        line += Padded(fields[i], kWidths[i]);
    }
    return line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
}

class Discover : public Named {
public:
    Discover()
        : Named({"discover"}, "", "list the cards of a network",
                "Finds the cards of a network with the window's Discover: the network's "
                "broadcast address, then every address of it. Prints each card as it answers.") {}
    bool TakesCards() const override { return false; }
    bool NeedsCardPassword() const override { return false; }
    fleet::Job Job() const override { return Operation::Identify; }
    void Take(const QCommandLineParser&, QStringList& positional) override {
        if (!positional.isEmpty()) {
            throw UsageError{"discover takes no cards, but was given \"" +
                             Text(positional.front()) + "\""};
        }
    }
    std::vector<std::string> Heading() const override { return {kKeys.begin(), kKeys.end()}; }
    std::string TableHeading() const override {
        std::array<std::string, 7> keys;
        std::copy(kKeys.begin(), kKeys.end(), keys.begin());
        return Columns(keys);
    }
    Record Found(const DeviceEntry& row) const override {
        const std::vector<std::string> fields = ExportFields(row);
        Record record;
        std::array<std::string, 7> shown;
        for (std::size_t i = 0; i < kKeys.size(); ++i) {
            record.json[kKeys[i]] = Latin1(fields[i]);
            shown[i] = ForTerminal(fields[i]);
        }
        record.csv = {fields};
        record.table = Columns(shown);
        return record;
    }
};

}  // namespace

std::unique_ptr<Command> MakeDiscover() {
    return std::make_unique<Discover>();
}

}  // namespace parvolink::cli::commands
