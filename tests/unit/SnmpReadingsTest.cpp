// SPDX-License-Identifier: GPL-3.0-or-later
// The SNMP readings' meaning: object identifiers, the USM's reasons, the UPS's status, the
// Prometheus text and the ups.conf sections; and the simulated agent's configuration.
#include <gtest/gtest.h>

#include "cardsim/AgentConfiguration.h"
#include "core/snmp/CardLabels.h"
#include "core/snmp/NutConfig.h"
#include "core/snmp/UpsStatus.h"

namespace parvolink::snmp {
namespace {

TEST(SnmpTypesTest, ObjectIdentifiersAreReadWholeOrNotAtAll) {
    EXPECT_EQ(ParseOid(".1.3.6.1.2.1.1.2.0"), (Oid{1, 3, 6, 1, 2, 1, 1, 2, 0}));
    EXPECT_EQ(ParseOid("1.3.6.1.4294967295"), (Oid{1, 3, 6, 1, 4294967295u}));
    for (const char* bad : {"", ".", "1", "1..3", "1.3.", "1.3.x", "1.3.4294967296", "1.3 .6"}) {
        EXPECT_FALSE(ParseOid(bad)) << bad;
    }
    EXPECT_EQ(FormatOid(*ParseOid(".1.3.6.1.2.1.33.1.2.4.0")), "1.3.6.1.2.1.33.1.2.4.0");
}

TEST(SnmpTypesTest, ReportsAreNamedByTheirUsmCounter) {
    const std::vector<std::pair<Oid, Outcome>> cases = {
        {{1, 3, 6, 1, 6, 3, 15, 1, 1, 1, 0}, Outcome::UnsupportedLevel},
        {{1, 3, 6, 1, 6, 3, 15, 1, 1, 2, 0}, Outcome::NotInTimeWindow},
        {{1, 3, 6, 1, 6, 3, 15, 1, 1, 3, 0}, Outcome::UnknownUser},
        {{1, 3, 6, 1, 6, 3, 15, 1, 1, 4, 0}, Outcome::UnknownEngine},
        {{1, 3, 6, 1, 6, 3, 15, 1, 1, 5, 0}, Outcome::WrongDigest},
        {{1, 3, 6, 1, 6, 3, 15, 1, 1, 6, 0}, Outcome::DecryptionError},
        {{1, 3, 6, 1, 6, 3, 15, 1, 1, 7, 0}, Outcome::OtherReport},
        {{1, 3, 6, 1, 6, 3, 11, 2, 1, 1, 0}, Outcome::OtherReport},  // snmpUnknownSecurityModels
        {{1, 3, 6, 1, 6, 3, 15, 1, 1}, Outcome::OtherReport},        // too short to name one
    };
    for (const auto& [oid, outcome] : cases) {
        EXPECT_EQ(OutcomeOfReport(oid), outcome) << FormatOid(oid);
    }
    EXPECT_EQ(OutcomeText(Outcome::WrongDigest), "wrong digest (wrong authentication password)");
}

Value Number(const char* oid, std::int64_t number) {
    return {*ParseOid(oid), true, number, ""};
}

TEST(UpsStatusTest, ReadingsComeFromTheirObjectsAndMissingOnesStayMissing) {
    const std::vector<Value> values = {
        {*ParseOid("1.3.6.1.2.1.33.1.1.1.0"), true, std::nullopt, "Maker"},
        Number("1.3.6.1.2.1.33.1.2.1.0", 3),  // batteryLow
        Number("1.3.6.1.2.1.33.1.2.4.0", 40),
        Number("1.3.6.1.2.1.33.1.4.1.0", 5),  // battery
        Number("1.3.6.1.2.1.33.1.4.4.1.5.1", 35),
        Number("1.3.6.1.2.1.33.1.6.1.0", 2),
        {*ParseOid("1.3.6.1.2.1.33.1.2.3.0"), false, std::nullopt, ""},  // noSuchObject
        Number("1.3.6.1.2.1.33.1.2.1.1", 9),                             // not an object asked for
    };
    const std::vector<UpsReading> readings = ReadUpsStatus(values);
    ASSERT_EQ(readings.size(), UpsReadingKeys().size());
    const auto find = [&](const std::string& key) {
        for (const UpsReading& r : readings) {
            if (r.key == key) {
                return r;
            }
        }
        ADD_FAILURE() << key;
        return UpsReading{};
    };
    EXPECT_EQ(find("manufacturer").text, "Maker");
    EXPECT_EQ(find("battery-status").text, "low");
    EXPECT_EQ(find("battery-status").number, 3);
    EXPECT_EQ(find("output-source").text, "battery");
    EXPECT_EQ(find("charge-percent").number, 40);
    EXPECT_EQ(find("alarms-present").number, 2);
    EXPECT_FALSE(find("minutes-remaining").number);
    EXPECT_FALSE(find("model").text);

    // A value out of its enumeration keeps its number and says it is out of range; a value of
    // the wrong type (a text for a number, a number for a text) is never taken for a reading.
    const auto odd =
        ReadUpsStatus({Number("1.3.6.1.2.1.33.1.4.1.0", 99),
                       Number("1.3.6.1.2.1.33.1.1.1.0", 7),
                       {*ParseOid("1.3.6.1.2.1.33.1.2.4.0"), true, std::nullopt, "40"},
                       // a Counter64, which no reading takes
                       {*ParseOid("1.3.6.1.2.1.33.1.2.2.0"), true, std::nullopt, "", true}});
    EXPECT_EQ(odd[8].key, "output-source");
    EXPECT_EQ(odd[8].number, 99);
    EXPECT_EQ(odd[8].text, "(out of range: 99)");
    EXPECT_EQ(odd[0].text, "(not of its type)");
    EXPECT_EQ(odd[6].key, "charge-percent");
    EXPECT_FALSE(odd[6].number);
    EXPECT_EQ(odd[6].text, "(not of its type)");
    EXPECT_EQ(odd[4].key, "seconds-on-battery");
    EXPECT_EQ(odd[4].text, "(not of its type)");
}

TEST(UpsStatusTest, PrometheusTextIsInBaseUnitsWithEscapedLabels) {
    const std::vector<Value> values = {
        Number("1.3.6.1.2.1.33.1.2.4.0", 40), Number("1.3.6.1.2.1.33.1.2.3.0", 12),
        Number("1.3.6.1.2.1.33.1.4.1.0", 5), Number("1.3.6.1.2.1.33.1.4.4.1.5.1", 7),
        Number("1.3.6.1.2.1.33.1.2.1.0", 3)};
    const std::string text = PrometheusText(
        {{"198.51.100.3", "a\"b\\c\nd", Outcome::Answered, ReadUpsStatus(values), "", {}},
         {"198.51.100.4", "", Outcome::NoResponse, {}, "", {}},
         {"198.51.100.5", "m5", Outcome::NoResponse, ReadUpsStatus(values), "unknown user", {}}});
    const std::string labels = R"({address="198.51.100.3"})";
    for (const std::string& line : std::vector<std::string>{
             R"(parvolink_ups_info{address="198.51.100.3",mac="a\"b\\c\nd"} 1)",
             "parvolink_ups_battery_charge_ratio" + labels + " 0.4",
             "parvolink_ups_battery_runtime_seconds" + labels + " 720",
             "parvolink_ups_output_load_ratio" + labels + " 0.07",
             "parvolink_ups_on_battery" + labels + " 1", "parvolink_ups_snmp_up" + labels + " 1",
             R"(parvolink_ups_battery_status{address="198.51.100.3",state="low"} 1)",
             R"(parvolink_ups_battery_status{address="198.51.100.3",state="normal"} 0)",
             R"(parvolink_ups_output_source{address="198.51.100.3",source="battery"} 1)",
             // A card that did not answer keeps the series it is known by, at 0, and says why.
             R"(parvolink_ups_snmp_up{address="198.51.100.4"} 0)",
             R"(parvolink_ups_snmp_failure{address="198.51.100.4",reason="no response"} 1)",
             R"(parvolink_ups_snmp_failure{address="198.51.100.5",reason="unknown user"} 1)",
             std::string("# TYPE parvolink_ups_battery_charge_ratio gauge")}) {
        EXPECT_NE(text.find(line + "\n"), std::string::npos) << line << "\n" << text;
    }
    // Readings only for the cards that answered; a MAC address only where it is known.
    for (const char* absent : {"ratio{address=\"198.51.100.4\"", "ratio{address=\"198.51.100.5\"",
                               "info{address=\"198.51.100.4\"", "up{address=\"198.51.100.4\"} 1"}) {
        EXPECT_EQ(text.find(absent), std::string::npos) << absent << "\n" << text;
    }
}

// A site's labels follow the address on every series, escaped, then a card's own (which
// replace a site's label of the same name); names that would clash with the text's own labels
// or are not Prometheus's are refused.
TEST(UpsStatusTest, AddedLabelsGoOnEverySeries) {
    const std::string text = PrometheusText(
        {{"198.51.100.3", "m3", Outcome::NoResponse, {}, "no response", {}},
         {"198.51.100.4", "", Outcome::NoResponse, {}, "", {{"rack", "9"}, {"name", "ups-4"}}}},
        {{"site", "room \"a\""}, {"rack", "7"}});
    for (
        const char* line :
        {R"(parvolink_ups_info{address="198.51.100.3",site="room \"a\"",rack="7",mac="m3"} 1)",
         R"(parvolink_ups_snmp_up{address="198.51.100.3",site="room \"a\"",rack="7"} 0)",
         R"(parvolink_ups_snmp_up{address="198.51.100.4",site="room \"a\"",rack="9",name="ups-4"} 0)"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
    for (const char* name : {"site", "_x", "rack7"}) {
        EXPECT_TRUE(IsFreeLabelName(name)) << name;
    }
    for (const char* name : {"", "address", "mac", "state", "__name", "7up", "a-b", "a b"}) {
        EXPECT_FALSE(IsFreeLabelName(name)) << name;
    }
}

TEST(CardLabelsTest, EachCardsLabelsFromItsLine) {
    std::string error;
    const auto labels = CardLabels::Parse(
        "# name and site of each card\r\n"
        "198.51.100.2 name=ups-2 site=\"Room A\"\r\n"
        "\n"
        "  198.51.100.3\tname=\"say \\\"hi\\\"\" empty=  \n"
        "198.51.100.4\n",
        error);
    ASSERT_TRUE(labels) << error;
    EXPECT_EQ(labels->For({198, 51, 100, 2}), (Labels{{"name", "ups-2"}, {"site", "Room A"}}));
    EXPECT_EQ(labels->For({198, 51, 100, 3}), (Labels{{"name", "say \"hi\""}, {"empty", ""}}));
    EXPECT_EQ(labels->For({198, 51, 100, 4}), Labels{});
    EXPECT_EQ(labels->For({198, 51, 100, 9}), Labels{});

    const struct {
        const char* text;
        const char* error;
    } refused[] = {
        {"00:C0:B7:33:64:02 name=a\n", "line 1: \"00:C0:B7:33:64:02\" is not a card's address"},
        {"# x\n198.51.100.2 name\n", "line 2: give KEY=VALUE, KEY a label name"},
        {"198.51.100.2 mac=x\n", "line 1: give KEY=VALUE"},
        {"198.51.100.2 a b=c\n", "line 1: give KEY=VALUE"},
        {"198.51.100.2 site=\"open\n", "line 1: the value of site is not closed"},
        {"198.51.100.2 site=\"a\"b\n", "line 1: the value of site is not closed"},
        {"198.51.100.2 n=1 n=2\n", "line 1: the label n is given twice"},
        {"198.51.100.2 n=1\n198.51.100.2 n=2\n", "line 2: 198.51.100.2 is named on an earlier"},
    };
    for (const auto& c : refused) {
        EXPECT_FALSE(CardLabels::Parse(c.text, error)) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0U) << c.text << ": " << error;
    }
}

TEST(NutConfigTest, SectionsNameEachCardOnceAndHideSecretsUnlessAsked) {
    const Credentials v3{Credentials::Version::V3, "", "mon\"itor", 2, "auth pass", "priv\\pass"};
    const std::vector<NutCard> cards = {{"198.51.100.2", "card-1", "00:C0:B7:33:64:02"},
                                        {"198.51.100.3", "card-1", "00:C0:B7:33:64:03"},
                                        {"198.51.100.4", "bad]\nname", ""},
                                        {"198.51.100.5", "", ""}};
    const std::string hidden = NutSections(cards, v3, false);
    for (const char* line :
         {"[card-1]\n", "[card-1-2]\n", "[ups-198-51-100-4]\n", "[ups-198-51-100-5]\n",
          "\tport = 198.51.100.3\n", "\tmibs = ietf\n", "\tsecLevel = authPriv\n",
          "\tsecName = \"mon\\\"itor\"\n", "\tdesc = \"bad] name \"\n"}) {
        EXPECT_NE(hidden.find(line), std::string::npos) << line << "\n" << hidden;
    }
    EXPECT_EQ(hidden.find("auth pass"), std::string::npos);
    EXPECT_EQ(hidden.find("priv"), hidden.find("privProtocol"));
    const std::string shown = NutSections(cards, v3, true);
    EXPECT_NE(shown.find("\tauthPassword = \"auth pass\"\n"), std::string::npos);
    EXPECT_NE(shown.find("\tprivPassword = \"priv\\\\pass\"\n"), std::string::npos);

    const Credentials v1{Credentials::Version::V1, "pub", "", 0, "", ""};
    const std::string community = NutSections({cards[0]}, v1, false);
    EXPECT_NE(community.find("\tsnmp_version = v1\n"), std::string::npos);
    EXPECT_EQ(community.find("pub"), std::string::npos);
}

TEST(AgentConfigurationTest, UsersCarryTheKeysTheCardWasSent) {
    cardsim::Card card = cardsim::MakeCard({198, 51, 100, 2}, 0);
    card.userTable[5] = "ops";  // row 2 at authPriv: level bits 4-5
    card.userTable[1] = std::to_string(9 | (2 << 4));
    card.authKeys[2] = std::string(16, '\x01');
    card.privKeys[2] = std::string("\x00\x09\xff", 3) + std::string(13, 'a');
    card.ups.onBattery = true;
    const std::string text = cardsim::AgentConfiguration(card, 161, "/tmp/agent");
    const std::string engine = cardsim::HexOctets("PL336402");
    for (const std::string& line : std::vector<std::string>{
             "exactEngineID " + engine, "agentAddress udp:198.51.100.2:161",
             "createUser -e " + engine +
                 " ops MD5 -l 0x01010101010101010101010101010101 DES -l "
                 "0x0009ff61616161616161616161616161",
             "createUser -e " + engine + " admin MD5 lanterns", "rouser -s usm ops priv",
             "rouser -s usm admin auth", "override .1.3.6.1.2.1.33.1.4.1.0 integer 5",
             "override .1.3.6.1.2.1.33.1.6.1.0 unsigned 1"}) {
        EXPECT_NE(text.find(line + "\n"), std::string::npos) << line << "\n" << text;
    }
}

}  // namespace
}  // namespace parvolink::snmp
