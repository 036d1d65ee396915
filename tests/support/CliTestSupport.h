// SPDX-License-Identifier: GPL-3.0-or-later
// A parvolink-cli command as its command line makes it, for one card.
#pragma once

#include <gtest/gtest.h>

#include "app/cli/CommandLine.h"

namespace parvolink::testing {

inline std::unique_ptr<cli::Command> CommandFor(QStringList words) {
    words.prepend("parvolink-cli");
    words.append("198.51.100.2");
    auto parsed = cli::ParseCommandLine(words);
    EXPECT_TRUE(std::holds_alternative<cli::ParsedCommand>(parsed))
        << words.join(' ').toStdString();
    return std::move(std::get<cli::ParsedCommand>(parsed).command);
}

}  // namespace parvolink::testing
