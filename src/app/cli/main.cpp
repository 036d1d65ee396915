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
    parvolink::cli::CliProgram program(std::get<parvolink::cli::CliOptions>(std::move(parsed)));
    return program.Run();
}
