// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/config/DeviceConfiguration.h"
#include "core/protocol/Messages.h"

namespace parvolink {
namespace {

const std::string kReply22 =
    "ops@example.net\tCARD-1\tRack 1\t198.51.100.2\t255.255.255.0\t198.51.100.1\t198.51.100.9\t"
    "0\t1\t0\t80\t23\t1\t13\tntp.example\t\t7\t3\t9\t8\t30\t5\t";

std::size_t CountFields(std::string_view line) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), '\t'));
}

TEST(DeviceConfiguration, ParsesEveryFieldAndWritesTheSameLineBack) {
    DeviceConfiguration r;
    ASSERT_TRUE(ParseConfigureReply(kReply22 + "21\t", r));
    EXPECT_EQ(r.systemContact, "ops@example.net");
    EXPECT_EQ(r.netbiosName, "CARD-1");
    EXPECT_EQ(r.systemLocation, "Rack 1");
    EXPECT_EQ(r.ipAddr, (Ipv4Address{198, 51, 100, 2}));
    EXPECT_EQ(r.dnsAddr, (Ipv4Address{198, 51, 100, 9}));
    EXPECT_EQ(r.httpEnabled, 1);
    EXPECT_EQ(r.httpPort, 80);
    EXPECT_EQ(r.telnetPort, 23);
    EXPECT_EQ(r.timeSource, 1);
    EXPECT_EQ(r.timeZoneIndex, 13);
    EXPECT_EQ(r.timeServer1, "ntp.example");
    EXPECT_EQ(r.year, 2007);
    EXPECT_EQ(r.month, 3);
    EXPECT_EQ(r.second, 5);
    EXPECT_TRUE(r.userLimitationPresent);
    EXPECT_EQ(r.userLimitation, 21);
    EXPECT_EQ(SetConfigurePayload(r), kReply22 + "21\t");
}

TEST(DeviceConfiguration, WithoutFieldTwentyThree) {
    DeviceConfiguration r;
    r.userLimitation = 5;
    r.userLimitationPresent = true;
    ASSERT_TRUE(ParseConfigureReply(kReply22 + "21", r));  // no TAB: not taken
    EXPECT_FALSE(r.userLimitationPresent);
    EXPECT_EQ(r.userLimitation, 0);
    EXPECT_EQ(CountFields(SetConfigurePayload(r)), 22u);
    const ConfigurationForm form = FormFromRecord(r);
    EXPECT_EQ(form.limitation, (std::array<int, 3>{0, 0, 0}));
}

TEST(DeviceConfiguration, ShortReplyIsDroppedWhole) {
    DeviceConfiguration r;
    r.netbiosName = "kept";
    const std::string cut = kReply22.substr(0, kReply22.rfind('\t', kReply22.size() - 2) + 1);
    EXPECT_FALSE(ParseConfigureReply(cut, r));
    EXPECT_FALSE(ParseConfigureReply("", r));
    EXPECT_EQ(r.netbiosName, "kept");
}

TEST(DeviceConfiguration, AddressesKeepTheBytesNotReachedAndTextsAreCut) {
    DeviceConfiguration r;
    r.gatewayAddr = {9, 9, 9, 9};
    const std::string reply = std::string(20, 'c') + "\t" + std::string(20, 'n') + "\t" +
                              std::string(40, 'l') + "\t1.2.3.4\t255.0.0.0\t10.0.5\tx\t" +
                              "1\t1\t1\t99999999999\t-1\t258\t300\t" + std::string(20, 'a') + "\t" +
                              std::string(20, 'b') + "\t26\t12\t10\t8\t30\t0\t";
    ASSERT_TRUE(ParseConfigureReply(reply, r));
    EXPECT_EQ(r.systemContact.size(), 16u);
    EXPECT_EQ(r.netbiosName.size(), 15u);
    EXPECT_EQ(r.systemLocation.size(), 32u);
    EXPECT_EQ(r.timeServer1.size(), 15u);
    EXPECT_EQ(r.timeServer2.size(), 16u);
    EXPECT_EQ(r.gatewayAddr, (Ipv4Address{10, 0, 9, 9}));
    EXPECT_EQ(r.dnsAddr, (Ipv4Address{0, 0, 0, 0}));  // "x": no dot, nothing reached
    EXPECT_EQ(r.httpPort, 2147483647);                // saturated, never wrapped
    EXPECT_EQ(r.timeSource, 2);                       // low 8 bits of 258
    EXPECT_EQ(r.timeZoneIndex, 44);                   // low 8 bits of 300
    EXPECT_EQ(FormFromRecord(r).timeZone, -1);        // beyond the list: no selection
}

TEST(DeviceConfiguration, UserLimitationReadAndWritten) {
    struct Case {
        std::int32_t onCard;
        std::array<int, 3> shown;
        std::int32_t written;
    };
    const Case cases[] = {{2, {1, 0, 0}, 1},
                          {21, {1, 1, 1}, 21},
                          {0, {0, 0, 0}, 0},
                          {42, {1, 1, 1}, 21},
                          {12, {0, 1, 0}, 4}};
    for (const Case& c : cases) {
        DeviceConfiguration r;
        r.userLimitationPresent = true;
        r.userLimitation = c.onCard;
        const ConfigurationForm form = FormFromRecord(r);
        EXPECT_EQ(form.limitation, c.shown) << c.onCard;
        EXPECT_EQ(UserLimitationOf(form.limitation), c.written) << c.onCard;
    }
}

DeviceConfiguration ParsedRecord() {
    DeviceConfiguration r;
    EXPECT_TRUE(ParseConfigureReply(kReply22 + "21\t", r));
    return r;
}

ConfigurationForm ValidForm() {
    return FormFromRecord(ParsedRecord());
}

TEST(ConfigurationForm, FilledFromTheRecord) {
    const ConfigurationForm form = ValidForm();
    EXPECT_EQ(form.date, "03/09/2007");
    EXPECT_EQ(form.time, "08:30:05");
    EXPECT_EQ(form.http, 0);  // enabled: the first button
    EXPECT_EQ(form.dhcp, 1);
    EXPECT_EQ(form.timeZone, 13);
    DeviceConfiguration r = ParsedRecord();
    ASSERT_FALSE(CheckForm(form, r));
    ASSERT_FALSE(TakeOverForm(form, r));
    EXPECT_EQ(SetConfigurePayload(r), kReply22 + "21\t");  // unchanged it goes back as it came
}

TEST(ConfigurationForm, OkChecksInOrder) {
    struct Case {
        const char* name;
        std::function<void(ConfigurationForm&)> edit;
        std::string message;
    };
    const Case cases[] = {
        {"ip", [](auto& f) { f.ipAddr[1].reset(); }, "Fields of IP Address can't be empty!"},
        {"mask", [](auto& f) { f.subnetMask[3].reset(); }, "Fields of Subnet Mask can't be empty!"},
        {"gateway", [](auto& f) { f.gatewayAddr[0].reset(); },
         "Fields of Gateway IP can't be empty!"},
        {"dns", [](auto& f) { f.dnsAddr = {}; }, "Fields of DNS IP can't be empty!"},
        {"ipFirst",
         [](auto& f) {
             f.dnsAddr = {};
             f.ipAddr = {};
         },
         "Fields of IP Address can't be empty!"},
        {"httpZero", [](auto& f) { f.httpPort = "0"; },
         "The value of HTTP Port is out of the limitation!"},
        {"http65536", [](auto& f) { f.httpPort = "65536"; },
         "The value of HTTP Port is out of the limitation!"},
        {"httpText", [](auto& f) { f.httpPort = "8O"; }, "Please enter an integer."},
        {"httpEmpty", [](auto& f) { f.httpPort = ""; }, "Please enter an integer."},
        {"httpHuge", [](auto& f) { f.httpPort = "99999999999"; }, "Please enter an integer."},
        {"telnet", [](auto& f) { f.telnetPort = "-23"; },
         "The value of Telnet Port is out of the limitation!"},
        {"httpBeforeTelnet",
         [](auto& f) {
             f.telnetPort = "x";
             f.httpPort = "0";
         },
         "The value of HTTP Port is out of the limitation!"},
    };
    for (const Case& c : cases) {
        ConfigurationForm form = ValidForm();
        c.edit(form);
        DeviceConfiguration r;
        const auto failure = CheckForm(form, r);
        ASSERT_TRUE(failure) << c.name;
        EXPECT_EQ(failure->text, c.message) << c.name;
        EXPECT_EQ(failure->caption, "Warning");
        EXPECT_EQ(failure->icon, MessageIcon::Warning);
    }
    for (const char* port : {"1", "65535", " 8080 ", "+80"}) {
        ConfigurationForm form = ValidForm();
        form.httpPort = port;
        DeviceConfiguration r;
        EXPECT_FALSE(CheckForm(form, r)) << port;
    }
}

TEST(ConfigurationForm, AddressesAreStoredAsTheyAreChecked) {
    ConfigurationForm form = ValidForm();
    form.ipAddr = {10, 1, 2, 3};
    form.gatewayAddr[2].reset();
    DeviceConfiguration r;
    r.dnsAddr = {7, 7, 7, 7};
    ASSERT_TRUE(CheckForm(form, r));
    EXPECT_EQ(r.ipAddr, (Ipv4Address{10, 1, 2, 3}));
    EXPECT_EQ(r.gatewayAddr, (Ipv4Address{198, 51, 0, 1}));  // the blank part as 0
    EXPECT_EQ(r.dnsAddr, (Ipv4Address{7, 7, 7, 7}));         // not reached
}

TEST(ConfigurationForm, NoTimeZoneIsSentAs255) {
    ConfigurationForm form = ValidForm();
    form.timeZone = -1;
    DeviceConfiguration r;
    ASSERT_FALSE(CheckForm(form, r));
    ASSERT_FALSE(TakeOverForm(form, r));
    EXPECT_EQ(r.timeZoneIndex, 255);
    EXPECT_NE(SetConfigurePayload(r).find("\t1\t255\tntp.example\t"), std::string::npos);
}

TEST(ConfigurationForm, DateAndTimeChecks) {
    struct Case {
        std::string date;
        std::string time;
        std::string message;  // empty: passes
    };
    const Case cases[] = {
        {"02/31/2007", "23:59:59", ""},
        {"13/01/2007", "00:00:00", "The filed of month should between 1~12!"},
        {"00/01/2007", "00:00:00", "The filed of month should between 1~12!"},
        {"12/32/2007", "00:00:00", "The filed of day should between 1~31!"},
        {"12/01/1999", "00:00:00", "The filed of year should >= 2000!"},
        {"12/01/2000", "12:60:00", "The filed of minute should between 0~59!"},
        {"12/01/2000", "24:00:00", "The filed of hour should between 0~23!"},
        {"12/01/2000", "00:00:60", "The filed of second should between 0~59!"},
        {"12012000", "00:00:00", "The filed of month should between 1~12!"},
        // A missing field is blamed, not the first one.
        {"12/01", "00:00:00", "The filed of year should >= 2000!"},
        {"12", "00:00:00", "The filed of day should between 1~31!"},
        {"12/01/2000", "12:30", "The filed of second should between 0~59!"},
        {"12/01/2000", "12", "The filed of minute should between 0~59!"},
        {"12/01/2000", "1200", "The filed of hour should between 0~23!"},
        {"13/01/1999", "99:99:99", "The filed of month should between 1~12!"},
    };
    for (const Case& c : cases) {
        ConfigurationForm form = ValidForm();
        form.date = c.date;
        form.time = c.time;
        form.timeServer2 = "second.example";
        DeviceConfiguration r;
        const auto failure = TakeOverForm(form, r);
        EXPECT_EQ(failure ? failure->text : "", c.message) << c.date << " " << c.time;
        if (failure) {
            EXPECT_EQ(failure->caption, "Error");
            EXPECT_EQ(r.timeServer2, "");  // taken only after the checks pass
        } else {
            EXPECT_EQ(r.timeServer2, "second.example");
        }
    }
}

TEST(ConfigurationForm, TextsAreCutAndTabsNeverShiftFields) {
    ConfigurationForm form = ValidForm();
    form.netbiosName = std::string(16, 'n');
    form.systemContact = "a\tb";
    form.timeServer2 = std::string(30, 't');
    DeviceConfiguration r = ParsedRecord();
    ASSERT_FALSE(CheckForm(form, r));
    ASSERT_FALSE(TakeOverForm(form, r));
    EXPECT_EQ(r.netbiosName, std::string(15, 'n'));
    EXPECT_EQ(r.timeServer2.size(), 16u);
    const std::string payload = SetConfigurePayload(r);
    EXPECT_EQ(CountFields(payload), 23u);
    EXPECT_EQ(payload.rfind("a b\t", 0), 0u);
}

TEST(DialogGates, VersionAndModel) {
    struct Case {
        std::string version;
        std::string model;
        bool reset, snmpv3, projector;
    };
    const Case cases[] = {
        {"1.11", "NMC", false, false, false},    {"1.12", "NMC", true, false, false},
        {"V2.0", "NMC", true, true, false},      {"2", "NMC", true, true, false},
        {"V1.12", "NMC", true, false, false},    {"", "NMC", false, false, false},
        {"abc", "NMC", false, false, false},     {"1.0", "Projector", true, false, true},
        {"2.1", "projector", true, true, false},
    };
    for (const Case& c : cases) {
        const DialogGates gates = GatesFor(c.version, c.model);
        EXPECT_EQ(gates.showReset, c.reset) << c.version << " " << c.model;
        EXPECT_EQ(gates.showSnmpv3, c.snmpv3) << c.version << " " << c.model;
        EXPECT_EQ(gates.projector, c.projector) << c.version << " " << c.model;
    }
    EXPECT_FLOAT_EQ(ReadVersion("V2.01"), 2.01f);
    EXPECT_FLOAT_EQ(ReadVersion(" 1.5abc"), 1.5f);
}

}  // namespace
}  // namespace parvolink
