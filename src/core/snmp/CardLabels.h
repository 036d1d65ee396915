// SPDX-License-Identifier: GPL-3.0-or-later
// Labels of each card's own for its Prometheus series (its name, its site), from a file of
// lines "ADDRESS KEY=VALUE...": a value holds no blank unless it is written in double quotes,
// inside which \" and \\ stand for themselves. Blank lines and lines beginning with '#' are
// skipped. Cards are named by address, which a card keeps whether or not it answers, so that
// its series keep their labels when it is down.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/DottedAddress.h"
#include "core/snmp/UpsStatus.h"

namespace parvolink::snmp {

class CardLabels {
public:
    // The file's lines; nothing, with error naming the line, when one is not a card's line, a
    // label name is not one a user may add, or a card or a label is given twice.
    static std::optional<CardLabels> Parse(std::string_view text, std::string& error);

    // The card's labels, in the order written; none for a card no line names.
    Labels For(const Ipv4Address& address) const;
    std::size_t size() const { return cards_.size(); }

private:
    std::map<Ipv4Address, Labels> cards_;
};

}  // namespace parvolink::snmp
