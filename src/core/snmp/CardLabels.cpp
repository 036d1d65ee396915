// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/snmp/CardLabels.h"

#include <algorithm>

#include "base/ContentLines.h"

namespace parvolink::snmp {
namespace {

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

void SkipBlanks(std::string_view line, std::size_t& at) {
    while (at < line.size() && Blank(line[at])) {
        ++at;
    }
}

// A value from at: up to the next blank, or in double quotes; nothing when a quote is not
// closed.
std::optional<std::string> LabelValueAt(std::string_view line, std::size_t& at) {
    std::string value;
    if (at >= line.size() || line[at] != '"') {
        while (at < line.size() && !Blank(line[at])) {
            value += line[at++];
        }
        return value;
    }
    for (++at; at < line.size(); ++at) {
        if (line[at] == '"') {
            ++at;
            return value;
        }
        if (line[at] == '\\' && at + 1 < line.size()) {
            ++at;
        }
        value += line[at];
    }
    return std::nullopt;
}

}  // namespace

std::optional<CardLabels> CardLabels::Parse(std::string_view text, std::string& error) {
    CardLabels parsed;
    for (const ContentLine& content : ContentLines(text)) {
        const std::string_view line = content.text;
        const std::string where = "line " + std::to_string(content.number) + ": ";
        const std::size_t cardEnd = std::min(line.find_first_of(" \t"), line.size());
        const std::string_view card = line.substr(0, cardEnd);
        const auto address = ParseStrictAddress(card);
        if (!address) {
            error = where + "\"" + std::string(card) + "\" is not a card's address";
            return std::nullopt;
        }
        if (parsed.cards_.count(*address) != 0) {
            error = where + std::string(card) + " is named on an earlier line";
            return std::nullopt;
        }
        std::size_t at = cardEnd;
        Labels labels;
        for (SkipBlanks(line, at); at < line.size(); SkipBlanks(line, at)) {
            const std::size_t equals = line.find('=', at);
            const std::size_t blank = std::min(line.find_first_of(" \t", at), line.size());
            const std::string name(line.substr(at, std::min(equals, blank) - at));
            if (equals > blank || !IsFreeLabelName(name)) {
                error = where + "give KEY=VALUE, KEY a label name of letters, digits and _ " +
                        "other than address, mac, reason, state and source";
                return std::nullopt;
            }
            if (std::any_of(labels.begin(), labels.end(),
                            [&](const auto& label) { return label.first == name; })) {
                error = where + "the label " + name + " is given twice";
                return std::nullopt;
            }
            at = equals + 1;
            auto value = LabelValueAt(line, at);
            if (!value || (at < line.size() && !Blank(line[at]))) {
                error = where + "the value of " + name + " is not closed by a blank or a quote";
                return std::nullopt;
            }
            labels.emplace_back(name, std::move(*value));
        }
        parsed.cards_[*address] = std::move(labels);
    }
    return parsed;
}

Labels CardLabels::For(const Ipv4Address& address) const {
    const auto found = cards_.find(address);
    return found != cards_.end() ? found->second : Labels{};
}

}  // namespace parvolink::snmp
