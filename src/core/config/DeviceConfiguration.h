// SPDX-License-Identifier: GPL-3.0-or-later
// A card's settings as they travel in the "Configure" reply and the "SetConfigure" request, and
// the rules by which the configuration dialog fills, checks and takes back its values.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/DottedAddress.h"
#include "base/Message.h"

namespace parvolink {

struct DeviceConfiguration {
    std::string systemContact;   // at most 16 characters
    std::string netbiosName;     // at most 15
    std::string systemLocation;  // at most 32
    Ipv4Address ipAddr{};
    Ipv4Address subnetMask{};
    Ipv4Address gatewayAddr{};
    Ipv4Address dnsAddr{};
    std::uint8_t dhcpEnabled = 0;
    std::uint8_t httpEnabled = 0;
    std::uint8_t telnetEnabled = 0;
    std::int32_t httpPort = 0;
    std::int32_t telnetPort = 0;
    std::uint8_t timeSource = 0;  // 0 SNTP, 1 manual
    std::uint8_t timeZoneIndex = 0;
    std::string timeServer1;   // at most 15
    std::string timeServer2;   // at most 16
    std::int32_t year = 2000;  // full year; the wire carries year - 2000
    std::int32_t month = 0;
    std::int32_t day = 0;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
    std::int32_t userLimitation = 0;
    bool userLimitationPresent = false;
    bool operator==(const DeviceConfiguration&) const = default;
};

namespace configuration {
constexpr std::size_t kContactLength = 16;
constexpr std::size_t kNetbiosLength = 15;
constexpr std::size_t kLocationLength = 32;
constexpr std::size_t kTimeServer1Length = 15;
constexpr std::size_t kTimeServer2Length = 16;
constexpr std::size_t kIdentificationBoxLength = 16;  // what boxes 1012 to 1014 accept
constexpr std::size_t kRecordFields = 22;             // field 23 is optional
constexpr std::uint8_t kNoTimeZone = 255;
constexpr int kUserClasses = 3;  // administrator, device manager, read-only user

constexpr std::array<std::string_view, 28> kTimeZoneNames = {
    "GMT-12 Eniwetok,Kwajalein",
    "GMT-11 Midway Island,Samoa",
    "GMT-10 Hawaii",
    "GMT-09 Alaska",
    "GMT-08 Pacific Time",
    "GMT-07 Arizona,Mountain Time",
    "GMT-06 Central Time",
    "GMT-05 Eastern Time",
    "GMT-04 Atlantic Time (Canada)",
    "GMT-03:30 Newfoundland",
    "GMT-03 Brasilia",
    "GMT-02 Mid-Atlantic",
    "GMT-01 Azores, Cap Verde Is.",
    "GMT Dublin,Lisbon,London",
    "GMT+01 Amsterdam,Berlin,Paris",
    "GMT+02 Athens,Istanbul,Minsk",
    "GMT+03 Moscow,Baghdad,Riyadh",
    "GMT+03:30 Tehran",
    "GMT+04 Kabul,Baku,Tbilisi",
    "GMT+05 Islamabad,Tashkent",
    "GMT+05:30 Bombay,Calcutta",
    "GMT+06 Almaty,Dhaka",
    "GMT+07 Bangkok,Hanoi,Jakarta",
    "GMT+08 Beijing,Taipei",
    "GMT+09 Osaka,Sapporo,Tokyo",
    "GMT+10 Canberra,Sydney",
    "GMT+11 Magadan,Solomon Is.",
    "GMT+12 Auckland,Wellington",
};

inline constexpr std::string_view kFirstTimeHint =
    "If it is the first time to configure your Vellacor device, please assign an unique name in "
    "the \"Host Name\" field and given a \"Time Server\" for the device throught \"SNTP\" "
    "protocol if possible.";
inline constexpr std::string_view kStaticAddressNote =
    "It is recommended to provide a static \"IP Address\" and disable the \"BOOTP/DHCP Client\" "
    "option.";

inline const Message kResetQuestion{"All of settings will be back to default values. Are you sure?",
                                    "Warning", MessageIcon::Warning};
}  // namespace configuration

// Overwrites record from a "Configure" payload, field by field: texts cut to their capacity,
// addresses by ParseDottedAddress (bytes not reached keep their values), numbers leniently,
// year + 2000, field 23 only when a TAB ends it. A payload of fewer than 22 fields leaves the
// record as it was and returns false.
[[nodiscard]] bool ParseConfigureReply(std::string_view payload, DeviceConfiguration& record);

// The fields that follow the identity fields in "SetConfigure", field 23 only when present.
// A TAB inside a text would shift every later field: it is sent as a space.
std::string SetConfigurePayload(const DeviceConfiguration& record);

// "Allow Any" for each user class: either bit of its pair set.
std::array<bool, configuration::kUserClasses> AllowAnyOf(std::int32_t userLimitation);
// Each class's choice (0 "In The LAN", 1 "Allow Any") as the low bit of its pair.
std::int32_t UserLimitationOf(const std::array<int, configuration::kUserClasses>& choices);

// Which optional parts of the dialog a card gets, from its list row.
struct DialogGates {
    bool showReset = false;   // version 1.12 or later, or a projector card
    bool showSnmpv3 = false;  // version 2.0 or later
    bool projector = false;   // model "Projector": no read-only user row
};
// The version text as a single-precision number; when that gives 0, the text after its first
// character ("V2.01" reads 2.01).
float ReadVersion(std::string_view version);
DialogGates GatesFor(std::string_view version, std::string_view model);

// The dialog's controls as values: texts as typed, radio choices (-1 for none), the time
// zone's position (-1 for none) and the address fields (nothing for a blank one).
struct ConfigurationForm {
    using AddressFields = std::array<std::optional<std::uint8_t>, 4>;

    std::string systemContact;
    std::string netbiosName;
    std::string systemLocation;
    int timeSource = 0;
    int timeZone = -1;
    std::string timeServer1;
    std::string timeServer2;
    std::string date;  // "MM/DD/YYYY"
    std::string time;  // "hh:mm:ss"
    AddressFields ipAddr{};
    AddressFields subnetMask{};
    AddressFields gatewayAddr{};
    AddressFields dnsAddr{};
    int dhcp = 0;  // 0 "Enable", 1 "Disable"
    int http = 0;
    int telnet = 0;
    std::string httpPort;
    std::string telnetPort;
    std::array<int, configuration::kUserClasses> limitation{};  // 0 "In The LAN", 1 "Allow Any"
    bool operator==(const ConfigurationForm&) const = default;
};

ConfigurationForm FormFromRecord(const DeviceConfiguration& record);

// The dialog's OK checks, in order: the four addresses complete (each stored into record as it
// is checked), then the two ports integers from 1 to 65535. On success the time zone is stored
// too (255 for none). Returns the first failure's message; the dialog then stays open.
[[nodiscard]] std::optional<Message> CheckForm(const ConfigurationForm& form,
                                               DeviceConfiguration& record);

// After OK: the record takes the form's values, then the date and the time are read and checked
// field by field, each stored as it is read. Returns the first failure's message: nothing is
// sent then.
[[nodiscard]] std::optional<Message> TakeOverForm(const ConfigurationForm& form,
                                                  DeviceConfiguration& record);

// The port boxes' rule: an integer ("Please enter an integer.") from 1 to 65535.
std::optional<Message> CheckPort(std::string_view text, std::string_view name, std::int32_t& value);

}  // namespace parvolink
