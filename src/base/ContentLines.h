// SPDX-License-Identifier: GPL-3.0-or-later
// Files of lines a person writes (accounts, labels): the lines that say something, each with
// its number for the errors that name it.
#pragma once

#include <string_view>
#include <vector>

namespace parvolink {

struct ContentLine {
    int number = 0;         // from 1
    std::string_view text;  // without its leading blanks and a CR before its LF
};

// Every line but blank ones and those whose first character that is not a blank is '#'.
std::vector<ContentLine> ContentLines(std::string_view text);

}  // namespace parvolink
