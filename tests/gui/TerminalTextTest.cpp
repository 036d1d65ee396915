// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "app/cli/TerminalText.h"

namespace parvolink::cli {
namespace {

TEST(TerminalText, LatinOneBecomesUtf8AndControlsAreShown) {
    const struct {
        std::string card;
        std::string utf8;
        std::string terminal;
    } cases[] = {
        {"B\xFCro", "B\xC3\xBCro", "B\xC3\xBCro"},
        {"\x1b]0;x\x07", "\x1b]0;x\x07", "\\x1B]0;x\\x07"},
        {"a\nb\tc\x7f", "a\nb\tc\x7f", "a\\x0Ab\\x09c\\x7F"},
        {"\x9b"
         "2J",
         "\xC2\x9B"
         "2J",
         "\\x9B2J"},  // the one-byte CSI of C1
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8FromLatin1(c.card), c.utf8);
        EXPECT_EQ(ForTerminal(c.card), c.terminal);
    }
}

}  // namespace
}  // namespace parvolink::cli
