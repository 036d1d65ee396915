// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/SmallFile.h"

#include "app/cli/ExitCodes.h"
#include "shell/files/LimitedFile.h"

namespace parvolink::cli {

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit,
                                         std::string& error, int* code) {
    std::string bytes;
    const LimitedFileFault fault = ReadLimitedFile(path, {.limit = limit}, bytes);
    switch (fault) {
        case LimitedFileFault::None:
            return bytes;
        case LimitedFileFault::NotAFile:
            error = path + " is not a file";
            break;
        case LimitedFileFault::TooLarge:
            error = path + " is larger than " + std::to_string(limit) + " bytes";
            break;
        default:
            error = "cannot read " + path;
            break;
    }
    if (code != nullptr) {
        *code = fault == LimitedFileFault::Unreadable ? exitcode::kLocalFault : exitcode::kBadInput;
    }
    return std::nullopt;
}

}  // namespace parvolink::cli
