// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/ContentLines.h"

namespace parvolink {

std::vector<ContentLine> ContentLines(std::string_view text) {
    std::vector<ContentLine> lines;
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string_view::npos && line[first] != '#') {
            lines.push_back({number, line.substr(first)});
        }
    }
    return lines;
}

}  // namespace parvolink
