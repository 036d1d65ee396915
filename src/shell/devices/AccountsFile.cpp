// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/devices/AccountsFile.h"

#include "shell/files/LimitedFile.h"

namespace parvolink {
namespace {

// A file of accounts for thousands of cards is far smaller.
constexpr std::size_t kLongestAccountsFile = 1 << 20;

}  // namespace

std::optional<Accounts> ReadAccountsFile(const std::string& path, std::string& error,
                                         AccountsFileFault& fault) {
    std::string text;
    const LimitedFileRules rules{
        .limit = kLongestAccountsFile, .regularOnly = true, .ownerOnly = true};
    switch (ReadLimitedFile(path, rules, text)) {
        case LimitedFileFault::None:
            break;
        case LimitedFileFault::Unreadable:
            fault = AccountsFileFault::Unreadable;
            error = "cannot read the accounts file " + path;
            return std::nullopt;
        case LimitedFileFault::OpenToOthers:
            fault = AccountsFileFault::Refused;
            error = path + ": group or others may read it (chmod 600 it)";
            return std::nullopt;
        default:
            fault = AccountsFileFault::Refused;
            error = path + " is not a file of accounts (a regular file of at most 1 MiB)";
            return std::nullopt;
    }
    fault = AccountsFileFault::None;
    auto accounts = Accounts::Parse(text, error);
    if (!accounts) {
        fault = AccountsFileFault::Refused;
        error = path + ": " + error;
    }
    return accounts;
}

}  // namespace parvolink
