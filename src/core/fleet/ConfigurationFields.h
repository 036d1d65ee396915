// SPDX-License-Identifier: GPL-3.0-or-later
// A card's settings by readable name ("host-name", "ip-address", "dhcp", ...), for programs
// that read and write them without the configuration dialog. Values written go through the
// dialog's own form and checks, so a script can set nothing the dialog would refuse.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/config/DeviceConfiguration.h"

namespace parvolink::fleet {

struct NamedValue {
    std::string name;
    std::string value;
    bool number = false;  // a decimal number (JSON writes it unquoted)
};

// Every field name, in the record's order.
std::vector<std::string_view> ConfigurationFieldNames();

// The record's values by name, in the record's order. The user classes' access appears only
// when the card reports it, the read-only user's never for a projector card.
std::vector<NamedValue> ReadConfigurationFields(const DeviceConfiguration& record,
                                                const DialogGates& gates);

// "NAME=VALUE" split and its name checked; the error line names what is wrong.
struct FieldChange {
    std::string name;
    std::string value;
};
std::optional<FieldChange> ParseFieldChange(std::string_view argument, std::string& error);

// The record with the changes, as the dialog would take them: each value into its control,
// then the dialog's OK checks and take-over. Fields not named keep the card's values. Returns
// the first fault as one line (a value the control cannot hold, or the dialog's message), or
// nothing when the record may be sent.
std::optional<std::string> ApplyFieldChanges(const std::vector<FieldChange>& changes,
                                             const DialogGates& gates, DeviceConfiguration& record);

// A message of the window on one line: its line breaks become single spaces.
std::string OneLine(std::string text);

}  // namespace parvolink::fleet
