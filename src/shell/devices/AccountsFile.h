// SPDX-License-Identifier: GPL-3.0-or-later
// The accounts file named at start (the window's --accounts, parvolink-cli's): read as ssh and
// PostgreSQL read their secrets, refused when group or others may read it.
#pragma once

#include <optional>
#include <string>

#include "core/devices/Accounts.h"

namespace parvolink {

enum class AccountsFileFault {
    None,
    Unreadable,  // it cannot be opened or read
    Refused,     // not a regular file, too large, open to others, or not a file of accounts
};

// The file's accounts; nothing, with error (one line, never a password) and fault, otherwise.
std::optional<Accounts> ReadAccountsFile(const std::string& path, std::string& error,
                                         AccountsFileFault& fault);

}  // namespace parvolink
