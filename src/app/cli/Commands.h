// SPDX-License-Identifier: GPL-3.0-or-later
// parvolink-cli's commands, one type each: its words, what it takes, its own options, and the
// checks that fill in what it runs (the card task's job, or a discover). The options every
// command shares, and the running, are the command line's and the program's.
#pragma once

#include <QCommandLineParser>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/CommandLine.h"

namespace parvolink::cli {

// A usage error: the line to print.
struct UsageError {
    std::string line;
};

class CliCommand {
public:
    virtual ~CliCommand() = default;
    virtual QStringList Words() const = 0;
    virtual CliOptions::Command Id() const = 0;
    virtual const char* Arguments() const = 0;  // for the usage line
    virtual const char* Description() const = 0;
    // The command's own options.
    virtual void AddOptions(QCommandLineParser& /*parser*/) const {}
    // Fills options.job from the parsed options and takes the arguments that are not cards out
    // of positional. Throws UsageError.
    virtual void Take(const QCommandLineParser& parser, QStringList& positional,
                      CliOptions& options) const = 0;
    bool Writes() const { return cli::Writes(Id()); }
};

// Every command, in the order --help lists them.
const std::vector<std::unique_ptr<CliCommand>>& Commands();

// A text from the command line as the program handles it (the locale's 8 bits).
std::string Text(const QString& text);
// The option's value as a number from low to high; throws UsageError otherwise.
int Number(const QCommandLineParser& parser, const QString& name, int low, int high);
// The text, when it has at most limit characters; throws UsageError naming it otherwise.
std::string Limited(const QString& text, std::size_t limit, const std::string& name);

}  // namespace parvolink::cli
