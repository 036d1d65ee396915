// SPDX-License-Identifier: GPL-3.0-or-later
// Passwords for parvolink-cli, never from its command line (others could read it there): from a
// file named on it, an environment variable, or typed at the terminal without echo.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace parvolink::cli {

// A password file holds a line; more than this is not a password file.
constexpr std::size_t kLongestSecretFile = 4096;

struct SecretSource {
    std::string what;    // "password", "authentication password", ...
    std::string file;    // given with option, or empty
    std::string option;  // "--password-file"
    std::string variable;
    std::string prompt;
};

// The first line of the file when one is named; else the variable's value when it is set;
// else what the user types after the prompt (on standard error) when standard input is a
// terminal. Nothing otherwise, with error naming what is missing or wrong, and code the exit
// code: a file that cannot be read is a local fault, a password not given bad usage.
std::optional<std::string> ReadSecret(const SecretSource& source, std::string& error, int& code);

}  // namespace parvolink::cli
