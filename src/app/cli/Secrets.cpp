// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/Secrets.h"

#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "app/cli/ExitCodes.h"
#include "app/cli/SmallFile.h"

namespace parvolink::cli {
namespace {

std::string WithoutLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

std::optional<std::string> Prompt(const std::string& prompt) {
    termios saved{};
    if (tcgetattr(STDIN_FILENO, &saved) != 0) {
        return std::nullopt;
    }
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    std::cerr << prompt << std::flush;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::string line;
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << '\n';
    if (!read) {
        return std::nullopt;
    }
    return WithoutLineEnd(line);
}

}  // namespace

std::optional<std::string> ReadSecret(const SecretSource& source, std::string& error, int& code) {
    code = exitcode::kBadInput;
    if (!source.file.empty()) {
        std::string fault;
        const auto text = ReadSmallFile(source.file, kLongestSecretFile, fault, &code);
        if (!text) {
            error = "cannot read the " + source.what + ": " + fault;
            return std::nullopt;
        }
        return WithoutLineEnd(text->substr(0, text->find('\n')));
    }
    if (const char* value = std::getenv(source.variable.c_str())) {
        return std::string(value);
    }
    if (isatty(STDIN_FILENO)) {
        if (auto typed = Prompt(source.prompt)) {
            return typed;
        }
    }
    error = "no " + source.what + ": set " + source.variable + ", name a file with " +
            source.option + ", or run it at a terminal";
    return std::nullopt;
}

}  // namespace parvolink::cli
