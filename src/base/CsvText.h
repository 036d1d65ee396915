// SPDX-License-Identifier: GPL-3.0-or-later
// Comma-separated values as spreadsheets and scripts read them: a field holding a comma, a
// quote or a line break is quoted, its quotes doubled.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace parvolink {

// One record, ended by a line feed.
std::string CsvLine(const std::vector<std::string>& fields);

// For a file meant for a spreadsheet: a text that a spreadsheet would take as a formula ('=',
// '+', '-', '@' first) gets a leading apostrophe, since card texts come from the network.
std::string SpreadsheetSafe(std::string_view text);

}  // namespace parvolink
