// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/config/UsmConfiguration.h"
#include "core/protocol/DatagramCodec.h"
#include "core/protocol/Messages.h"
#include "support/FakeEngineHost.h"

namespace parvolink {
namespace {

using namespace std::string_literals;
using testing::ReplyDatagram;

DeviceEntry Row(std::string ip, std::string mac, std::string account, std::string password) {
    DeviceEntry row;
    row.ipAddress = std::move(ip);
    row.macAddress = std::move(mac);
    row.account = std::move(account);
    row.password = std::move(password);
    return row;
}

TEST(RequestLines, AreTabTerminatedFieldsBuiltWhole) {
    EXPECT_EQ(DiscoverLine(), "Parvolink\tDiscover\t");
    EXPECT_EQ(DiscoverLine().size(), 19u);
    const DeviceEntry row = Row("192.168.001.010", "00:C0:B7:11:22:33", "admin", "lanterns");
    EXPECT_EQ(IdentityLine(wire::kConfigure, row),
              "Parvolink\tConfigure\t192.168.001.010\t00:C0:B7:11:22:33\tadmin\tlanterns\t");
    EXPECT_EQ(UpgradeLine(row), "Parvolink\tUpgrade\tadmin\tlanterns\t");
    // Texts from replies can be long; the line is never cut at a fixed buffer size.
    const DeviceEntry longRow = Row(std::string(200, '1'), std::string(150, 'm'), "a", "p");
    EXPECT_EQ(IdentityLine(wire::kSnmpv3, longRow).size(), 10u + 7u + 201u + 151u + 4u);
}

// A TAB typed or pasted into a text the user gives would end its field early and shift every
// field after it: on the wire it is a space, in every request that carries such a text.
TEST(RequestLines, TypedTabsNeverShiftAField) {
    const DeviceEntry row = Row("198.51.100.7", "mac", "ad\tmin", "\tlan\tt");
    EXPECT_EQ(IdentityLine(wire::kConfigure, row),
              "Parvolink\tConfigure\t198.51.100.7\tmac\tad min\t lan t\t");
    EXPECT_EQ(UpgradeLine(row), "Parvolink\tUpgrade\tad min\t lan t\t");
    UsmConfiguration usm;
    usm.submitIndex = 2;
    usm.userNames.at(2) = "us\ter";
    usm.contextName = "c\tx";
    EXPECT_EQ(SetSnmpv3UserPayload(usm).substr(0, 8), "2\tus er\t");
    EXPECT_EQ(SetSnmpv3ContextPayload(usm), "8\tc x\t0\t");
}

TEST(DottedAddress, ParseAndFormat) {
    struct Case {
        std::string text;
        bool ok;
        Ipv4Address result;  // starting from 9.9.9.9
    };
    const Case cases[] = {
        {"192.168.001.010", true, {192, 168, 1, 10}},
        {"10.0.5", false, {10, 0, 9, 9}},  // the parts not reached keep their values
        {"", false, {9, 9, 9, 9}},
        {"1.2.3.4.5", true, {1, 2, 3, 4}},
        {"1.2.3.", true, {1, 2, 3, 0}},
        {" 1.+2.-1.300", true, {1, 2, 255, 44}},
        {"a.b.c.d", true, {0, 0, 0, 0}},
        {"\xFF\x80.1.2.3", true, {0, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        Ipv4Address address{9, 9, 9, 9};
        EXPECT_EQ(ParseDottedAddress(c.text, address), c.ok) << c.text;
        EXPECT_EQ(address, c.result) << c.text;
    }
    EXPECT_EQ(FormatDottedAddress({192, 168, 1, 10}), "192.168.1.10");
    EXPECT_EQ(FormatDottedAddress({0, 0, 0, 0}), "0.0.0.0");
}

TEST(DeviceTarget, ClassfulNetworkOfTheHostDecides) {
    struct Case {
        Ipv4Address host;
        std::string row;
        std::optional<std::string> target;
    };
    const std::string bcast = "255.255.255.255";
    const Case cases[] = {
        {{192, 168, 1, 20}, "192.168.1.77", "192.168.1.77"},
        {{192, 168, 1, 20}, "192.168.2.77", bcast},
        {{192, 168, 1, 20}, "192.168.001.010", "192.168.1.10"},
        {{10, 1, 2, 3}, "10.200.7.1", "10.200.7.1"},
        {{10, 1, 2, 3}, "11.1.2.3", bcast},
        {{172, 16, 0, 1}, "172.16.9.9", "172.16.9.9"},
        {{172, 16, 0, 1}, "172.17.0.1", bcast},
        {{230, 1, 1, 1}, "230.1.1.1", bcast},  // no class: never local
        {{0, 0, 0, 0}, "0.1.2.3", "0.1.2.3"},  // unresolved host name: first octet 0
        {{192, 168, 1, 20}, "10.0.5", std::nullopt},
        {{192, 168, 1, 20}, "", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(deviceTarget(c.row, c.host), c.target) << c.row;
    }
}

TEST(ParseReply, ChecksTagCommandAndTabs) {
    struct Case {
        const char* name;
        std::string line;
        std::optional<ReplyCommand> command;
    };
    const Case cases[] = {
        {"discover", "QorinWebConfig\tDiscover\tx\t", ReplyCommand::Discover},
        {"error", "QorinWebConfig\tError\t2\t", ReplyCommand::Error},
        {"lowerCaseCommand", "QorinWebConfig\tdiscover\tx\t", std::nullopt},
        {"tagCase", "qorinwebconfig\tDiscover\tx\t", std::nullopt},
        {"requestTag", "Parvolink\tDiscover\t", std::nullopt},
        {"noTabAfterTag", "QorinWebConfig", std::nullopt},
        {"noTabAfterCommand", "QorinWebConfig\tDiscover", std::nullopt},
        {"unknownCommand", "QorinWebConfig\tReset\t", std::nullopt},
        {"nulEndsText", "QorinWebConfig\0\tDiscover\t"s, std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto reply = ParseReply(DatagramCodec::EncodeText(c.line));
        EXPECT_EQ(reply ? std::optional(reply->command) : std::nullopt, c.command) << c.name;
    }
    EXPECT_EQ(ParseReply("V7q"), std::nullopt);   // not wire form
    EXPECT_EQ(ParseReply("V7q="), std::nullopt);  // outside the alphabet
    const std::string longest =
        DatagramCodec::EncodeText("QorinWebConfig\tDiscover\t" + std::string(384 - 24, 'x'));
    ASSERT_EQ(longest.size(), 512u);
    EXPECT_NE(ParseReply(longest), std::nullopt);
    EXPECT_EQ(ParseReply(longest + "...."), std::nullopt);  // longer than the receive buffer
}

struct DiscoverCase {
    const char* name;
    std::vector<std::string> fields;  // after the command
    std::string hostName;
    std::string flashSize;
};

TEST(DiscoverReply, FillsANewRowFromItsFields) {
    const DiscoverCase cases[] = {
        {"flash1", {"10.0.0.5", "mac", "2.1", "NMC", "card-5", "1"}, "card-5", "256K"},
        {"flash0", {"10.0.0.5", "mac", "2.1", "NMC", "card-5", "0"}, "card-5", "512K"},
        {"flash2", {"10.0.0.5", "mac", "2.1", "NMC", "card-5", "2"}, "card-5", "512K"},
        {"flash12", {"10.0.0.5", "mac", "2.1", "NMC", "card-5", "12"}, "card-5", "256K"},
        {"noFlash", {"10.0.0.5", "mac", "2.1", "NMC", "card-5"}, "card-5", "512K"},
        {"fourFields", {"10.0.0.5", "mac", "2.1", "NMC"}, "", "512K"},
    };
    for (const DiscoverCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto reply = ParseReply(ReplyDatagram([&] {
            std::vector<std::string> f = {"Discover"};
            f.insert(f.end(), c.fields.begin(), c.fields.end());
            return f;
        }()));
        ASSERT_TRUE(reply);
        const auto discovered = ParseDiscoverReply(reply->payload);
        ASSERT_TRUE(discovered);
        DeviceList list;
        list.Append({.ipAddress = "other"});
        list.Select(0);
        ASSERT_TRUE(ApplyDiscoverReply(list, *discovered));
        ASSERT_EQ(list.size(), 2u);
        const DeviceEntry& row = list.row(1);
        EXPECT_EQ(row.ipAddress, "10.0.0.5");
        EXPECT_EQ(row.macAddress, "mac");
        EXPECT_EQ(row.version, "2.1");
        EXPECT_EQ(row.model, "NMC");
        EXPECT_EQ(row.hostName, c.hostName);
        EXPECT_EQ(row.flashSize, c.flashSize);
        EXPECT_EQ(row.account, "");
        EXPECT_EQ(row.passwordMask, "????????");
        EXPECT_EQ(list.selected(), 1);
    }
}

TEST(DiscoverReply, UpdatesInPlaceAndMatchesExactText) {
    DeviceList list;
    list.Append({.ipAddress = "10.0.0.5", .hostName = "old-name"});
    list.SetAccount(0, "admin", "secret");
    list.Append({.ipAddress = "010.000.000.006"});
    list.Select(1);
    ASSERT_TRUE(ApplyDiscoverReply(list, {"10.0.0.5", "m2", "v2", "x2", std::nullopt, "512K"}));
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list.row(0).macAddress, "m2");
    EXPECT_EQ(list.row(0).hostName, "old-name");  // four fields leave it as it was
    EXPECT_EQ(list.row(0).account, "admin");
    EXPECT_EQ(list.row(0).password, "secret");
    EXPECT_EQ(list.row(0).passwordMask, "********");
    EXPECT_EQ(list.selected(), 1);
    // The hand-entered, zero-padded row is another text: a new row is appended.
    ASSERT_TRUE(ApplyDiscoverReply(list, {"10.0.0.6", "m", "v", "x", "h", "512K"}));
    EXPECT_EQ(list.size(), 3u);
}

// Every reply is written into its row; two MAC addresses answering for one address in the same
// Discover flag the row, and a later Discover in which one card answers clears the flag. A card
// replaced at the address therefore shows its own MAC, version and flash size.
TEST(DiscoverReply, TwoCardsInOneDiscoverFlagTheRow) {
    const DiscoverReply a{"10.0.0.5", "00:aa", "2.1", "NMC", "first", "512K"};
    const DiscoverReply b{"10.0.0.5", "00:bb", "1.0", "X", "second", "256K"};
    struct Step {
        bool newDiscover;
        const DiscoverReply* reply;
        const char* mac;    // the row's MAC after the reply
        const char* other;  // the flag after it
    };
    const Step steps[] =
        {
            {true, &a, "00:aa", ""},       {false, &a, "00:aa", ""},
            {false, &b, "00:bb", "00:aa"}, {false, &a, "00:aa", "00:bb"},
            {false, &b, "00:bb", "00:aa"},  // alternating: still two cards
            {true, &b, "00:bb", ""},        // a later Discover: only one card answers
            {false, &b, "00:bb", ""},      {true, &a, "00:aa", ""},  // replaced by the other card
        };
    DeviceList list;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        if (steps[i].newDiscover) {
            list.BeginDiscover();
        }
        ASSERT_EQ(ApplyDiscoverReply(list, *steps[i].reply), std::optional<std::size_t>(0));
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list.row(0).macAddress, steps[i].mac);
        EXPECT_EQ(list.row(0).otherMacAddress, steps[i].other);
        EXPECT_EQ(list.row(0).version, steps[i].reply->version);
        EXPECT_EQ(list.row(0).flashSize, steps[i].reply->flashSize);
    }
}

TEST(DiscoverReply, ShortRepliesAndAFullListChangeNothing) {
    EXPECT_EQ(ParseDiscoverReply("10.0.0.5\tmac\t2.1\t"), std::nullopt);
    EXPECT_EQ(ParseDiscoverReply("10.0.0.5\tmac\t2.1\tNMC"), std::nullopt);
    DeviceList list;
    while (!list.full()) {
        list.Append({.ipAddress = std::to_string(list.size())});
    }
    list.Select(3);
    EXPECT_FALSE(ApplyDiscoverReply(list, {"10.0.0.5", "m", "v", "x", "h", "512K"}));
    EXPECT_EQ(list.size(), 255u);
    EXPECT_EQ(list.selected(), 3);
    EXPECT_TRUE(ApplyDiscoverReply(list, {"7", "m", "v", "x", "h", "256K"}));  // listed: updated
    EXPECT_EQ(list.row(7).flashSize, "256K");
}

}  // namespace
}  // namespace parvolink

namespace parvolink {
namespace {

TEST(StrictAddress, OnlyWhatAUserMeansByAnAddress) {
    EXPECT_EQ(ParseStrictAddress("198.51.100.2"), (Ipv4Address{198, 51, 100, 2}));
    EXPECT_EQ(ParseStrictAddress("010.0.0.255"), (Ipv4Address{10, 0, 0, 255}));
    for (const char* bad : {"10.1", "1.2.3.4 ", " 1.2.3.4", "300.1.2.3", "1.2.3.4.5", "1..2.3",
                            "1.2.3.", "a.b.c.d", "1.2.3.0004", "-1.2.3.4", ""}) {
        EXPECT_EQ(ParseStrictAddress(bad), std::nullopt) << bad;
    }
    const auto network = ParseNetwork("198.18.3.77/22");
    ASSERT_TRUE(network);
    EXPECT_EQ(network->subnet, (Ipv4Address{198, 18, 0, 0}));
    EXPECT_EQ(network->mask, (Ipv4Address{255, 255, 252, 0}));
    EXPECT_EQ(ParseNetwork("10.0.0.0/32")->mask, (Ipv4Address{255, 255, 255, 255}));
    EXPECT_EQ(ParseNetwork("10.0.0.0/0")->mask, (Ipv4Address{0, 0, 0, 0}));
    for (const char* bad : {"10.0.0.0", "10.0.0.0/33", "10.0.0.0/", "10.0.0/8", "10.0.0.0/2x"}) {
        EXPECT_EQ(ParseNetwork(bad), std::nullopt) << bad;
    }
}

}  // namespace
}  // namespace parvolink
