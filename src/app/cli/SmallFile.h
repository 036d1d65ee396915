// SPDX-License-Identifier: GPL-3.0-or-later
// Files named on the command line (passwords, NAME=VALUE lines) are small: read whole, from a
// regular file or a pipe, never from a device (/dev/zero would never end), and at most limit
// bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace parvolink::cli {

// The file's bytes; nothing, with a line for the user in error, when it cannot be opened, is a
// device or a directory, or holds more than limit bytes. code, when given, is set to the exit
// code of the fault: a local fault when the file cannot be opened or read, bad input when it
// is not such a file.
std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit,
                                         std::string& error, int* code = nullptr);

}  // namespace parvolink::cli
