// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/TextNumbers.h"

#include <algorithm>
#include <limits>

namespace parvolink {

std::int64_t ParseLeadingInteger(std::string_view text) {
    constexpr std::int64_t kLimit = 1'000'000'000'000'000;  // far beyond any field's meaning
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value < kLimit) {
            value = value * 10 + (text[i] - '0');
        }
    }
    return negative ? -value : value;
}

std::int32_t SaturateToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace parvolink
