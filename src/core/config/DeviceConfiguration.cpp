// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/config/DeviceConfiguration.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>

#include "base/TextNumbers.h"
#include "core/protocol/Messages.h"

namespace parvolink {
namespace {

using namespace configuration;

std::string Cut(std::string_view text, std::size_t capacity) {
    return std::string(text.substr(0, capacity));
}

std::int32_t LenientInt(std::string_view text) {
    return SaturateToInt32(ParseLeadingInteger(text));
}

std::uint8_t LowByte(std::string_view text) {
    return static_cast<std::uint8_t>(ParseLeadingInteger(text) & 0xFF);
}

Message Warning(std::string text) {
    return {std::move(text), "Warning", MessageIcon::Warning};
}
Message Error(std::string text) {
    return {std::move(text), "Error", MessageIcon::Warning};
}

// Reads "a<sep>b<sep>c" as three lenient numbers, storing and checking each in turn. A part
// that is missing (too few separators) is refused with its own message.
struct Part {
    std::int32_t DeviceConfiguration::*field;
    std::int32_t low;
    std::int32_t high;
    const char* message;
};

std::optional<Message> TakeParts(std::string_view text, char separator,
                                 const std::array<Part, 3>& parts, DeviceConfiguration& record) {
    std::optional<std::string_view> rest = text;
    for (const Part& part : parts) {
        if (!rest) {
            return Error(part.message);
        }
        const std::size_t end = rest->find(separator);
        const std::int32_t value = LenientInt(rest->substr(0, end));
        rest = end == std::string_view::npos ? std::nullopt : std::optional(rest->substr(end + 1));
        record.*part.field = value;
        if (value < part.low || value > part.high) {
            return Error(part.message);
        }
    }
    return std::nullopt;
}

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

}  // namespace

bool ParseConfigureReply(std::string_view payload, DeviceConfiguration& record) {
    FieldReader reader(payload);
    std::array<std::string_view, kRecordFields> f;
    for (std::string_view& field : f) {
        const auto next = reader.Next();
        if (!next) {
            return false;
        }
        field = *next;
    }
    DeviceConfiguration r = record;
    r.systemContact = Cut(f[0], kContactLength);
    r.netbiosName = Cut(f[1], kNetbiosLength);
    r.systemLocation = Cut(f[2], kLocationLength);
    ParseDottedAddress(f[3], r.ipAddr);
    ParseDottedAddress(f[4], r.subnetMask);
    ParseDottedAddress(f[5], r.gatewayAddr);
    ParseDottedAddress(f[6], r.dnsAddr);
    r.dhcpEnabled = LowByte(f[7]);
    r.httpEnabled = LowByte(f[8]);
    r.telnetEnabled = LowByte(f[9]);
    r.httpPort = LenientInt(f[10]);
    r.telnetPort = LenientInt(f[11]);
    r.timeSource = LowByte(f[12]);
    r.timeZoneIndex = LowByte(f[13]);
    r.timeServer1 = Cut(f[14], kTimeServer1Length);
    r.timeServer2 = Cut(f[15], kTimeServer2Length);
    r.year = SaturateToInt32(ParseLeadingInteger(f[16]) + 2000);
    r.month = LenientInt(f[17]);
    r.day = LenientInt(f[18]);
    r.hour = LenientInt(f[19]);
    r.minute = LenientInt(f[20]);
    r.second = LenientInt(f[21]);
    const auto limitation = reader.Next();
    r.userLimitationPresent = limitation.has_value();
    r.userLimitation = limitation ? LenientInt(*limitation) : 0;
    record = r;
    return true;
}

std::string SetConfigurePayload(const DeviceConfiguration& r) {
    std::string line;
    const auto text = [&](std::string_view t) { AppendTextField(line, t); };
    const auto number = [&](std::int64_t n) { AppendField(line, std::to_string(n)); };
    text(r.systemContact);
    text(r.netbiosName);
    text(r.systemLocation);
    for (const Ipv4Address* a : {&r.ipAddr, &r.subnetMask, &r.gatewayAddr, &r.dnsAddr}) {
        AppendField(line, FormatDottedAddress(*a));
    }
    number(r.dhcpEnabled);
    number(r.httpEnabled);
    number(r.telnetEnabled);
    number(r.httpPort);
    number(r.telnetPort);
    number(r.timeSource);
    number(r.timeZoneIndex);
    text(r.timeServer1);
    text(r.timeServer2);
    number(static_cast<std::int64_t>(r.year) - 2000);
    number(r.month);
    number(r.day);
    number(r.hour);
    number(r.minute);
    number(r.second);
    if (r.userLimitationPresent) {
        number(r.userLimitation);
    }
    return line;
}

std::array<bool, kUserClasses> AllowAnyOf(std::int32_t userLimitation) {
    std::array<bool, kUserClasses> allowAny{};
    for (int i = 0; i < kUserClasses; ++i) {
        allowAny[static_cast<std::size_t>(i)] = ((userLimitation >> (2 * i)) & 3) != 0;
    }
    return allowAny;
}

std::int32_t UserLimitationOf(const std::array<int, kUserClasses>& choices) {
    std::int32_t value = 0;
    for (int i = 0; i < kUserClasses; ++i) {
        value |= (choices[static_cast<std::size_t>(i)] & 1) << (2 * i);
    }
    return value;
}

float ReadVersion(std::string_view version) {
    const auto read = [](std::string_view text) {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
            text.remove_prefix(1);
        }
        if (!text.empty() && text.front() == '+') {
            text.remove_prefix(1);
        }
        float value = 0;
        std::from_chars(text.data(), text.data() + text.size(), value);
        return value;
    };
    const float value = read(version);
    if (value != 0 || version.empty()) {
        return value;
    }
    return read(version.substr(1));
}

DialogGates GatesFor(std::string_view version, std::string_view model) {
    const float number = ReadVersion(version);
    DialogGates gates;
    gates.projector = model == "Projector";
    gates.showReset = number >= 1.12f || gates.projector;
    gates.showSnmpv3 = number >= 2.0f;
    return gates;
}

ConfigurationForm FormFromRecord(const DeviceConfiguration& r) {
    ConfigurationForm form;
    form.systemContact = r.systemContact;
    form.netbiosName = r.netbiosName;
    form.systemLocation = r.systemLocation;
    form.dhcp = 1 - r.dhcpEnabled;
    form.http = 1 - r.httpEnabled;
    form.telnet = 1 - r.telnetEnabled;
    form.httpPort = std::to_string(r.httpPort);
    form.telnetPort = std::to_string(r.telnetPort);
    form.timeSource = r.timeSource;
    form.timeServer1 = r.timeServer1;
    form.timeServer2 = r.timeServer2;
    if (r.userLimitationPresent) {
        const auto allowAny = AllowAnyOf(r.userLimitation);
        for (std::size_t i = 0; i < allowAny.size(); ++i) {
            form.limitation[i] = allowAny[i] ? 1 : 0;
        }
    }
    char text[48];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", r.month, r.day, r.year);
    form.date = text;
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", r.hour, r.minute, r.second);
    form.time = text;
    const auto fields = [](const Ipv4Address& a) {
        return ConfigurationForm::AddressFields{a[0], a[1], a[2], a[3]};
    };
    form.ipAddr = fields(r.ipAddr);
    form.subnetMask = fields(r.subnetMask);
    form.gatewayAddr = fields(r.gatewayAddr);
    form.dnsAddr = fields(r.dnsAddr);
    form.timeZone = r.timeZoneIndex < kTimeZoneNames.size() ? r.timeZoneIndex : -1;
    return form;
}

std::optional<Message> CheckPort(std::string_view text, std::string_view name,
                                 std::int32_t& value) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return Warning("Please enter an integer.");
    }
    if (value < 1 || value > 65535) {
        return Warning("The value of " + std::string(name) + " is out of the limitation!");
    }
    return std::nullopt;
}

std::optional<Message> CheckForm(const ConfigurationForm& form, DeviceConfiguration& record) {
    const struct {
        const ConfigurationForm::AddressFields& fields;
        Ipv4Address& stored;
        const char* name;
    } addresses[] = {{form.ipAddr, record.ipAddr, "IP Address"},
                     {form.subnetMask, record.subnetMask, "Subnet Mask"},
                     {form.gatewayAddr, record.gatewayAddr, "Gateway IP"},
                     {form.dnsAddr, record.dnsAddr, "DNS IP"}};
    for (const auto& address : addresses) {
        for (std::size_t i = 0; i < 4; ++i) {
            address.stored[i] = address.fields[i].value_or(0);
        }
        const bool complete = std::all_of(address.fields.begin(), address.fields.end(),
                                          [](const auto& f) { return f.has_value(); });
        if (!complete) {
            return Warning("Fields of " + std::string(address.name) + " can't be empty!");
        }
    }
    std::int32_t port = 0;
    if (auto failure = CheckPort(form.httpPort, "HTTP Port", port)) {
        return failure;
    }
    if (auto failure = CheckPort(form.telnetPort, "Telnet Port", port)) {
        return failure;
    }
    record.timeZoneIndex =
        form.timeZone >= 0 && static_cast<std::size_t>(form.timeZone) < kTimeZoneNames.size()
            ? static_cast<std::uint8_t>(form.timeZone)
            : kNoTimeZone;
    return std::nullopt;
}

std::optional<Message> TakeOverForm(const ConfigurationForm& form, DeviceConfiguration& record) {
    record.dhcpEnabled = static_cast<std::uint8_t>(1 - form.dhcp);
    record.httpEnabled = static_cast<std::uint8_t>(1 - form.http);
    record.telnetEnabled = static_cast<std::uint8_t>(1 - form.telnet);
    CheckPort(form.httpPort, "HTTP Port", record.httpPort);
    CheckPort(form.telnetPort, "Telnet Port", record.telnetPort);
    record.userLimitation = UserLimitationOf(form.limitation);
    record.systemContact = Cut(form.systemContact, kContactLength);
    record.netbiosName = Cut(form.netbiosName, kNetbiosLength);
    record.systemLocation = Cut(form.systemLocation, kLocationLength);
    record.timeSource = static_cast<std::uint8_t>(form.timeSource);
    record.timeServer1 = Cut(form.timeServer1, kTimeServer1Length);

    const std::array<Part, 3> date = {{
        {&DeviceConfiguration::month, 1, 12, "The filed of month should between 1~12!"},
        {&DeviceConfiguration::day, 1, 31, "The filed of day should between 1~31!"},
        {&DeviceConfiguration::year, 2000, kMax, "The filed of year should >= 2000!"},
    }};
    const std::array<Part, 3> time = {{
        {&DeviceConfiguration::hour, 0, 23, "The filed of hour should between 0~23!"},
        {&DeviceConfiguration::minute, 0, 59, "The filed of minute should between 0~59!"},
        {&DeviceConfiguration::second, 0, 59, "The filed of second should between 0~59!"},
    }};
    if (auto failure = TakeParts(form.date, '/', date, record)) {
        return failure;
    }
    if (auto failure = TakeParts(form.time, ':', time, record)) {
        return failure;
    }
    record.timeServer2 = Cut(form.timeServer2, kTimeServer2Length);
    return std::nullopt;
}

}  // namespace parvolink
