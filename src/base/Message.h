// SPDX-License-Identifier: GPL-3.0-or-later
// A modal message the program shows: text, caption and icon, always with one OK button.
#pragma once

#include <string>

namespace parvolink {

enum class MessageIcon { None, Warning, Information };

// Why a message is shown: the result of something the user did (or of one transfer), shown
// once per occurrence; or traffic nobody asked for, merged while it repeats.
enum class MessageOrigin { Result, Unasked };

struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::None;
    bool operator==(const Message&) const = default;
};

}  // namespace parvolink
