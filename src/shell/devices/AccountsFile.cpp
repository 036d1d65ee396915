// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/devices/AccountsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parvolink {
namespace {

// A file of accounts for thousands of cards is far smaller.
constexpr off_t kLongestAccountsFile = 1 << 20;

}  // namespace

std::optional<Accounts> ReadAccountsFile(const std::string& path, std::string& error,
                                         AccountsFileFault& fault) {
    fault = AccountsFileFault::Unreadable;
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        error = "cannot read the accounts file " + path;
        return std::nullopt;
    }
    std::string text;
    struct stat status {};
    // The descriptor's own status: the file read is the file checked.
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > kLongestAccountsFile) {
        fault = AccountsFileFault::Refused;
        error = path + " is not a file of accounts (a regular file of at most 1 MiB)";
    } else if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        fault = AccountsFileFault::Refused;
        error = path + ": group or others may read it (chmod 600 it)";
    } else {
        // Read to its end: one read may return less than the whole file, and a line lost
        // would leave its card without its password.
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(descriptor, buffer, sizeof buffer)) > 0 &&
               text.size() <= static_cast<std::size_t>(kLongestAccountsFile)) {
            text.append(buffer, static_cast<std::size_t>(got));
        }
        if (got < 0 || text.size() > static_cast<std::size_t>(kLongestAccountsFile)) {
            error = "cannot read the accounts file " + path;
        } else {
            fault = AccountsFileFault::None;
        }
    }
    ::close(descriptor);
    if (fault != AccountsFileFault::None) {
        return std::nullopt;
    }
    auto accounts = Accounts::Parse(text, error);
    if (!accounts) {
        fault = AccountsFileFault::Refused;
        error = path + ": " + error;
    }
    return accounts;
}

}  // namespace parvolink
