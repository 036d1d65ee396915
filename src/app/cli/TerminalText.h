// SPDX-License-Identifier: GPL-3.0-or-later
// Texts from cards are 8-bit Latin-1 and come from the network: what reaches a terminal or a
// UTF-8 file is converted, and on a terminal control characters are shown, not obeyed.
#pragma once

#include <string>
#include <string_view>

namespace parvolink::cli {

// Latin-1 bytes as UTF-8 ("B\xFCro" becomes "Büro").
std::string Utf8FromLatin1(std::string_view text);

// The same for a terminal: control characters (C0, DEL and C1: escape sequences, line breaks)
// become "\xNN", so a card's text can neither break a table nor command the terminal.
std::string ForTerminal(std::string_view text);

}  // namespace parvolink::cli
