// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>

#include "app/cli/CliProgram.h"
#include "app/cli/CommandLine.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    auto parsed = parvolink::cli::ParseCommandLine(QCoreApplication::arguments());
    if (const int* code = std::get_if<int>(&parsed)) {
        return *code;
    }
    auto& [options, command] = std::get<parvolink::cli::ParsedCommand>(parsed);
    parvolink::cli::CliProgram program(std::move(options), std::move(command));
    return program.Run();
}
