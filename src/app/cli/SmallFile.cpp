// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/SmallFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/cli/ExitCodes.h"

namespace parvolink::cli {

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit,
                                         std::string& error, int* code) {
    int unused = 0;
    int& fault = code != nullptr ? *code : unused;
    fault = exitcode::kBadInput;
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        error = "cannot read " + path;
        fault = exitcode::kLocalFault;
        return std::nullopt;
    }
    struct stat status {};
    std::string bytes;
    if (::fstat(descriptor, &status) != 0 ||
        !(S_ISREG(status.st_mode) || S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode))) {
        error = path + " is not a file";
    } else {
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(descriptor, buffer, sizeof buffer)) > 0 && bytes.size() <= limit) {
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
        if (got < 0) {
            error = "cannot read " + path;
            fault = exitcode::kLocalFault;
        } else if (bytes.size() > limit) {
            error = path + " is larger than " + std::to_string(limit) + " bytes";
        }
    }
    ::close(descriptor);
    if (!error.empty()) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace parvolink::cli
