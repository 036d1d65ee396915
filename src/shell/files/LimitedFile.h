// SPDX-License-Identifier: GPL-3.0-or-later
// Files a user names (passwords, accounts, NAME=VALUE lines, labels) are small: read whole from
// their descriptor, whose own status is the one checked, never from a device (/dev/zero would
// never end), and at most a limit of bytes. Plain POSIX; the callers word the faults.
#pragma once

#include <cstddef>
#include <string>

namespace parvolink {

struct LimitedFileRules {
    std::size_t limit = 0;     // bytes, at most
    bool regularOnly = false;  // else a pipe or a socket is read too
    bool ownerOnly = false;    // refused when group or others may read or write it
};

enum class LimitedFileFault {
    None,
    Unreadable,    // it cannot be opened or read: a fault of this PC's
    NotAFile,      // a device, a directory, or (with regularOnly) a pipe
    TooLarge,      // more than limit bytes
    OpenToOthers,  // with ownerOnly: group or others have access to it
};

// Reads the file into bytes; the fault, None when it was read whole.
LimitedFileFault ReadLimitedFile(const std::string& path, const LimitedFileRules& rules,
                                 std::string& bytes);

}  // namespace parvolink
