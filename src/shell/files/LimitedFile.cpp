// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/files/LimitedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parvolink {
namespace {

LimitedFileFault Check(const struct stat& status, const LimitedFileRules& rules) {
    const bool stream = S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode);
    if (!S_ISREG(status.st_mode) && (rules.regularOnly || !stream)) {
        return LimitedFileFault::NotAFile;
    }
    if (S_ISREG(status.st_mode) && static_cast<std::size_t>(status.st_size) > rules.limit) {
        return LimitedFileFault::TooLarge;
    }
    if (rules.ownerOnly && (status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        return LimitedFileFault::OpenToOthers;
    }
    return LimitedFileFault::None;
}

}  // namespace

LimitedFileFault ReadLimitedFile(const std::string& path, const LimitedFileRules& rules,
                                 std::string& bytes) {
    bytes.clear();
    // Opening a pipe waits for its writer: where only a file will do, it is not waited for.
    const int descriptor =
        ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (rules.regularOnly ? O_NONBLOCK : 0));
    if (descriptor < 0) {
        return LimitedFileFault::Unreadable;
    }
    struct stat status {};
    LimitedFileFault fault =
        ::fstat(descriptor, &status) != 0 ? LimitedFileFault::NotAFile : Check(status, rules);
    if (fault == LimitedFileFault::None) {
        // Read to its end: one read may return less than the whole file.
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(descriptor, buffer, sizeof buffer)) > 0 &&
               bytes.size() <= rules.limit) {
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
        fault = got < 0                      ? LimitedFileFault::Unreadable
                : bytes.size() > rules.limit ? LimitedFileFault::TooLarge
                                             : LimitedFileFault::None;
    }
    ::close(descriptor);
    if (fault != LimitedFileFault::None) {
        bytes.clear();
    }
    return fault;
}

}  // namespace parvolink
