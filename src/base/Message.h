// A modal message the program shows: text, caption and icon, always with one OK button.
#pragma once

#include <string>

namespace parvolink {

enum class MessageIcon { None, Warning, Information };

struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::None;
    bool operator==(const Message&) const = default;
};

}  // namespace parvolink
