// SPDX-License-Identifier: GPL-3.0-or-later
// The fuzz targets that play a conversation read their input as lines, one message each.
#pragma once

#include <algorithm>
#include <string_view>

namespace parvolink::fuzz {

// The first line of input (without its newline), removed from input.
inline std::string_view TakeLine(std::string_view& input) {
    const std::size_t end = std::min(input.find('\n'), input.size());
    const std::string_view line = input.substr(0, end);
    input.remove_prefix(std::min(end + 1, input.size()));
    return line;
}

}  // namespace parvolink::fuzz
