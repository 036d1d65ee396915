// SPDX-License-Identifier: GPL-3.0-or-later
// parvolink-cli's exit codes, named once. A card's result is its exit code (fleet::Result);
// with several cards the largest is the command's.
#pragma once

#include <csignal>

#include "core/fleet/CardTask.h"

namespace parvolink::cli::exitcode {

constexpr int kDone = static_cast<int>(fleet::Result::Done);
constexpr int kRefused = static_cast<int>(fleet::Result::Refused);
constexpr int kBadInput = static_cast<int>(fleet::Result::BadInput);  // also bad usage
constexpr int kNoResponse = static_cast<int>(fleet::Result::NoResponse);
constexpr int kLocalFault = static_cast<int>(fleet::Result::LocalFault);
// audit: a finding at or above --fail-on.
constexpr int kFindings = 5;
// Ended by a signal, as shells report it: 130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP.
constexpr int Interrupted(int signal) {
    return 128 + signal;
}

}  // namespace parvolink::cli::exitcode
