// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/fleet/ConfigurationFields.h"

namespace parvolink::fleet {
namespace {

TEST(ConfigurationFields, NamesAreCheckedBeforeAnyCardIsAsked) {
    std::string error;
    const auto change = ParseFieldChange("sntp-server-1=a=b", error);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->name, "sntp-server-1");
    EXPECT_EQ(change->value, "a=b");
    EXPECT_TRUE(ParseFieldChange("contact=", error));
    EXPECT_FALSE(ParseFieldChange("contact", error));
    EXPECT_EQ(error, "\"contact\" is not NAME=VALUE");
    EXPECT_FALSE(ParseFieldChange("hostname=x", error));
    EXPECT_EQ(error.rfind("unknown field \"hostname\" (known: contact, host-name, ", 0), 0u);
}

TEST(ConfigurationFields, AccessFollowsTheCard) {
    DeviceConfiguration record;
    record.userLimitationPresent = true;
    record.userLimitation = 0b010001;  // administrator and read-only user from anywhere
    const auto names = [](const std::vector<NamedValue>& values) {
        std::vector<std::string> n;
        for (const NamedValue& v : values) {
            if (v.name.rfind("access-", 0) == 0) {
                n.push_back(v.name + "=" + v.value);
            }
        }
        return n;
    };
    EXPECT_EQ(names(ReadConfigurationFields(record, GatesFor("2.1", "NMC"))),
              (std::vector<std::string>{"access-administrator=any", "access-device-manager=lan",
                                        "access-read-only=any"}));
    EXPECT_EQ(names(ReadConfigurationFields(record, GatesFor("2.1", "Projector"))),
              (std::vector<std::string>{"access-administrator=any", "access-device-manager=lan"}));
    DeviceConfiguration projector = record;
    EXPECT_EQ(
        ApplyFieldChanges({{"access-read-only", "lan"}}, GatesFor("2.1", "Projector"), projector),
        "access-read-only: this card has no such setting");
    record.userLimitationPresent = false;
    EXPECT_TRUE(names(ReadConfigurationFields(record, GatesFor("2.1", "NMC"))).empty());
}

TEST(ConfigurationFields, WhatIsReadCanBeWrittenBackUnchanged) {
    DeviceConfiguration record;
    record.netbiosName = "ups-7";
    record.ipAddr = {10, 0, 0, 7};
    record.subnetMask = {255, 255, 255, 0};
    record.httpPort = 8080;
    record.telnetPort = 23;
    record.timeZoneIndex = 14;
    record.year = 2026;
    record.month = 12;
    record.day = 10;
    record.hour = 9;
    const DialogGates gates = GatesFor("2.1", "NMC");
    std::vector<FieldChange> all;
    for (const NamedValue& v : ReadConfigurationFields(record, gates)) {
        all.push_back({v.name, v.value});
    }
    DeviceConfiguration written = record;
    EXPECT_EQ(ApplyFieldChanges(all, gates, written), std::nullopt);
    EXPECT_EQ(written, record);
}

}  // namespace
}  // namespace parvolink::fleet
