// SPDX-License-Identifier: GPL-3.0-or-later
// config set: fields of each card's configuration changed, checked as the dialog checks them.
#include "app/cli/ExitCodes.h"
#include "app/cli/SmallFile.h"
#include "app/cli/commands/Commands.h"
#include "app/cli/commands/Named.h"

namespace parvolink::cli::commands {
namespace {

// A --from file of NAME=VALUE lines is small; more than this is not one.
constexpr std::size_t kLongestChangesFile = 64 * 1024;

fleet::FieldChange Change(const std::string& argument) {
    std::string error;
    if (auto change = fleet::ParseFieldChange(argument, error)) {
        return *change;
    }
    throw UsageError{error};
}

// NAME=VALUE lines; blank lines and lines starting with '#' are skipped.
std::vector<fleet::FieldChange> ChangesFromFile(const QString& path) {
    std::string error;
    // Read whole: the file may be a pipe, whose end shows only once it is read.
    int code = exitcode::kBadInput;
    const auto text = ReadSmallFile(Text(path), kLongestChangesFile, error, &code);
    if (!text) {
        throw UsageError{error, code};
    }
    std::vector<fleet::FieldChange> changes;
    for (const QByteArray& raw : QByteArray::fromStdString(*text).split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.isEmpty() && !line.startsWith('#')) {
            changes.push_back(Change(CardText(line)));
        }
    }
    return changes;
}

class ConfigSet : public Named {
public:
    ConfigSet()
        : Named({"config", "set"}, "CARD... NAME=VALUE...",
                "change fields of each card's configuration",
                "Reads each card's configuration, changes the fields named, checks them as the "
                "configuration dialog does and writes them back.") {}
    bool Writes() const override { return true; }
    fleet::Job Job() const override { return job_; }
    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption({"from", "Read NAME=VALUE lines from FILE.", "FILE"});
    }
    void Take(const QCommandLineParser& parser, QStringList& positional) override {
        if (parser.isSet("from")) {
            job_.changes = ChangesFromFile(parser.value("from"));
        }
        QStringList cards;
        for (const QString& argument : positional) {
            if (argument.contains('=')) {
                job_.changes.push_back(Change(CardText(argument.toUtf8())));
            } else {
                cards << argument;
            }
        }
        positional = cards;
        if (job_.changes.empty()) {
            throw UsageError{"name at least one NAME=VALUE to set"};
        }
    }

private:
    fleet::Job job_{Operation::WriteConfiguration};
};

}  // namespace

std::unique_ptr<Command> MakeConfigSet() {
    return std::make_unique<ConfigSet>();
}

}  // namespace parvolink::cli::commands
