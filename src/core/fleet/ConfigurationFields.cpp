// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fleet/ConfigurationFields.h"

#include <algorithm>

namespace parvolink::fleet {
namespace {

using Form = ConfigurationForm;

enum class Kind { Text, Address, Switch, Port, TimeSource, TimeZone, Date, Time, Access };

// One named field: where it sits in the dialog's form, and how long a text may be.
struct Field {
    std::string_view name;
    Kind kind;
    std::string Form::*text = nullptr;
    Form::AddressFields Form::*address = nullptr;
    int Form::*choice = nullptr;
    std::size_t limit = 0;  // Text: the longest value the card keeps
    int userClass = 0;      // Access: 0 administrator, 1 device manager, 2 read-only user
};

constexpr std::string_view kReadOnlyAccess = "access-read-only";

// The record's order.
const std::vector<Field>& Fields() {
    using namespace configuration;
    static const std::vector<Field> fields = {
        {"contact", Kind::Text, &Form::systemContact, nullptr, nullptr, kContactLength},
        {"host-name", Kind::Text, &Form::netbiosName, nullptr, nullptr, kNetbiosLength},
        {"location", Kind::Text, &Form::systemLocation, nullptr, nullptr, kIdentificationBoxLength},
        {"ip-address", Kind::Address, nullptr, &Form::ipAddr},
        {"subnet-mask", Kind::Address, nullptr, &Form::subnetMask},
        {"gateway", Kind::Address, nullptr, &Form::gatewayAddr},
        {"dns", Kind::Address, nullptr, &Form::dnsAddr},
        {"dhcp", Kind::Switch, nullptr, nullptr, &Form::dhcp},
        {"http", Kind::Switch, nullptr, nullptr, &Form::http},
        {"telnet", Kind::Switch, nullptr, nullptr, &Form::telnet},
        {"http-port", Kind::Port, &Form::httpPort},
        {"telnet-port", Kind::Port, &Form::telnetPort},
        {"time-source", Kind::TimeSource},
        {"time-zone", Kind::TimeZone},
        {"sntp-server-1", Kind::Text, &Form::timeServer1, nullptr, nullptr, kTimeServer1Length},
        {"sntp-server-2", Kind::Text, &Form::timeServer2, nullptr, nullptr, kTimeServer2Length},
        {"date", Kind::Date, &Form::date},
        {"time", Kind::Time, &Form::time},
        {"access-administrator", Kind::Access, nullptr, nullptr, nullptr, 0, 0},
        {"access-device-manager", Kind::Access, nullptr, nullptr, nullptr, 0, 1},
        {kReadOnlyAccess, Kind::Access, nullptr, nullptr, nullptr, 0, 2},
    };
    return fields;
}

const Field* FindField(std::string_view name) {
    const auto& fields = Fields();
    const auto it =
        std::find_if(fields.begin(), fields.end(), [&](const Field& f) { return f.name == name; });
    return it == fields.end() ? nullptr : &*it;
}

std::string AddressText(const Form::AddressFields& fields) {
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        text += (i ? "." : "") + std::to_string(fields[i].value_or(0));
    }
    return text;
}

// Four decimal numbers from 0 to 255, as the address box takes them.
std::optional<Form::AddressFields> ParseAddress(std::string_view text) {
    const auto address = ParseStrictAddress(text);
    if (!address) {
        return std::nullopt;
    }
    return Form::AddressFields{(*address)[0], (*address)[1], (*address)[2], (*address)[3]};
}

bool ContiguousMask(const Ipv4Address& mask) {
    const std::uint32_t bits = (std::uint32_t{mask[0]} << 24) | (std::uint32_t{mask[1]} << 16) |
                               (std::uint32_t{mask[2]} << 8) | std::uint32_t{mask[3]};
    const std::uint32_t zeros = ~bits;
    return (zeros & (zeros + 1)) == 0;  // the zeros are one run at the end
}

// A choice between two words: index 0 or 1, or nothing for another word.
std::optional<int> ParseChoice(std::string_view value, std::string_view first,
                               std::string_view second) {
    if (value == first) {
        return 0;
    }
    if (value == second) {
        return 1;
    }
    return std::nullopt;
}

bool Shows(const Field& field, const DialogGates& gates, bool userLimitationPresent) {
    if (field.kind != Kind::Access) {
        return true;
    }
    return userLimitationPresent && !(gates.projector && field.name == kReadOnlyAccess);
}

NamedValue Read(const Field& field, const Form& form) {
    switch (field.kind) {
        case Kind::Text:
        case Kind::Date:
        case Kind::Time:
            return {std::string(field.name), form.*field.text};
        case Kind::Port:
            return {std::string(field.name), form.*field.text, true};
        case Kind::Address:
            return {std::string(field.name), AddressText(form.*field.address)};
        case Kind::Switch:
            return {std::string(field.name), form.*field.choice == 0 ? "enabled" : "disabled"};
        case Kind::TimeSource:
            return {std::string(field.name), form.timeSource == 0 ? "sntp" : "manual"};
        case Kind::TimeZone:
            return {std::string(field.name), form.timeZone < 0
                                                 ? ""
                                                 : std::string(configuration::kTimeZoneNames.at(
                                                       static_cast<std::size_t>(form.timeZone)))};
        case Kind::Access:
            return {
                std::string(field.name),
                form.limitation.at(static_cast<std::size_t>(field.userClass)) == 0 ? "lan" : "any"};
    }
    return {};
}

// Puts value into field's control; the error line when the control cannot take it.
std::optional<std::string> Write(const Field& field, const std::string& value, Form& form) {
    const std::string name(field.name);
    switch (field.kind) {
        case Kind::Text:
            if (value.size() > field.limit) {
                return name + ": at most " + std::to_string(field.limit) + " characters";
            }
            form.*field.text = value;
            return std::nullopt;
        case Kind::Port:
        case Kind::Date:
        case Kind::Time:
            form.*field.text = value;  // the dialog's checks read it
            return std::nullopt;
        case Kind::Address:
            if (const auto fields = ParseAddress(value)) {
                // A mask whose ones are not contiguous (255.0.255.0) cuts the card off.
                if (field.address == &Form::subnetMask &&
                    !ContiguousMask(*ParseStrictAddress(value))) {
                    return name + ": \"" + value +
                           "\" is not a subnet mask (its ones must come first)";
                }
                form.*field.address = *fields;
                return std::nullopt;
            }
            return name + ": \"" + value + "\" is not an address such as 192.168.1.10";
        case Kind::Switch:
            if (const auto choice = ParseChoice(value, "enabled", "disabled")) {
                form.*field.choice = *choice;
                return std::nullopt;
            }
            return name + ": takes enabled or disabled";
        case Kind::TimeSource:
            if (const auto choice = ParseChoice(value, "sntp", "manual")) {
                form.timeSource = *choice;
                return std::nullopt;
            }
            return name + ": takes sntp or manual";
        case Kind::TimeZone: {
            const auto& names = configuration::kTimeZoneNames;
            const auto it = std::find(names.begin(), names.end(), value);
            if (it == names.end()) {
                return name + ": \"" + value + "\" is not a time zone of the card (" +
                       std::string(names[0]) + " ... " + std::string(names.back()) + ")";
            }
            form.timeZone = static_cast<int>(it - names.begin());
            return std::nullopt;
        }
        case Kind::Access:
            if (const auto choice = ParseChoice(value, "lan", "any")) {
                form.limitation.at(static_cast<std::size_t>(field.userClass)) = *choice;
                return std::nullopt;
            }
            return name + ": takes lan or any";
    }
    return std::nullopt;
}

}  // namespace

std::string OneLine(std::string text) {
    std::string line;
    for (const char c : text) {
        if (c != '\n') {
            line += c;
        } else if (line.empty() || line.back() != ' ') {
            line += ' ';
        }
    }
    return line;
}

std::vector<std::string_view> ConfigurationFieldNames() {
    std::vector<std::string_view> names;
    for (const Field& field : Fields()) {
        names.push_back(field.name);
    }
    return names;
}

std::vector<NamedValue> ReadConfigurationFields(const DeviceConfiguration& record,
                                                const DialogGates& gates) {
    const Form form = FormFromRecord(record);
    std::vector<NamedValue> values;
    for (const Field& field : Fields()) {
        if (Shows(field, gates, record.userLimitationPresent)) {
            values.push_back(Read(field, form));
        }
    }
    return values;
}

std::optional<FieldChange> ParseFieldChange(std::string_view argument, std::string& error) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string_view::npos) {
        error = "\"" + std::string(argument) + "\" is not NAME=VALUE";
        return std::nullopt;
    }
    FieldChange change{std::string(argument.substr(0, equals)),
                       std::string(argument.substr(equals + 1))};
    if (FindField(change.name) == nullptr) {
        std::string known;
        for (const std::string_view name : ConfigurationFieldNames()) {
            known += (known.empty() ? "" : ", ") + std::string(name);
        }
        error = "unknown field \"" + change.name + "\" (known: " + known + ")";
        return std::nullopt;
    }
    return change;
}

std::optional<std::string> ApplyFieldChanges(const std::vector<FieldChange>& changes,
                                             const DialogGates& gates,
                                             DeviceConfiguration& record) {
    Form form = FormFromRecord(record);
    for (const FieldChange& change : changes) {
        const Field* field = FindField(change.name);
        if (field == nullptr) {
            return "unknown field \"" + change.name + "\"";
        }
        if (!Shows(*field, gates, record.userLimitationPresent)) {
            return change.name + ": this card has no such setting";
        }
        if (auto error = Write(*field, change.value, form)) {
            return error;
        }
    }
    if (auto message = CheckForm(form, record)) {
        return OneLine(message->text);
    }
    if (auto message = TakeOverForm(form, record)) {
        return OneLine(message->text);
    }
    return std::nullopt;
}

}  // namespace parvolink::fleet
