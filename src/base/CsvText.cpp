// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/CsvText.h"

namespace parvolink {

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& field = fields[i];
        if (i > 0) {
            line += ',';
        }
        if (field.find_first_of(",\"\r\n") == std::string::npos) {
            line += field;
            continue;
        }
        line += '"';
        for (const char c : field) {
            line += c;
            if (c == '"') {
                line += '"';
            }
        }
        line += '"';
    }
    line += '\n';
    return line;
}

std::string SpreadsheetSafe(std::string_view text) {
    if (!text.empty() && std::string_view("=+-@").find(text.front()) != std::string_view::npos) {
        std::string safe(1, '\'');
        safe.append(text);
        return safe;
    }
    return std::string(text);
}

}  // namespace parvolink
