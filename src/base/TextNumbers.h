// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers on the wire and in list columns are decimal text read leniently.
#pragma once

#include <cstdint>
#include <string_view>

namespace parvolink {

// The leading decimal integer of text: leading white space and one sign allowed, digits up to
// the first non-digit, 0 when there are none. Saturates instead of overflowing.
std::int64_t ParseLeadingInteger(std::string_view text);

// value brought within the range of a signed 32-bit number.
std::int32_t SaturateToInt32(std::int64_t value);

}  // namespace parvolink
