// SPDX-License-Identifier: GPL-3.0-or-later
// Engine discovery's bytes: reports captured from net-snmp's snmpd, and reports no agent
// should send; and the schedule of many agents' probes, driven without a socket or a clock.
#include <gtest/gtest.h>

#include "core/snmp/DiscoverySchedule.h"
#include "core/snmp/EngineDiscovery.h"

namespace parvolink::snmp {
namespace {

std::string FromHex(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    }
    return bytes;
}

// A report to a probe, field by field as a test needs it.
struct ReportFields {
    std::string version = "\x02\x01\x03";
    std::string flags = std::string(1, '\0');
    std::string engineId = FromHex("80001f8880ec821e03568d1b6b00000000");
    std::string boots = "\x02\x01\x01";
    std::string time = "\x02\x01\x02";
    char pduTag = '\xA8';
    char messageId = 7;  // of the probe answered
};

std::string Tlv(char tag, const std::string& value) {
    std::string length;
    if (value.size() < 0x80) {
        length = std::string(1, static_cast<char>(value.size()));
    } else {
        length = "\x82" + std::string(1, static_cast<char>(value.size() >> 8)) +
                 std::string(1, static_cast<char>(value.size() & 0xFF));
    }
    return tag + length + value;
}

std::string Report(const ReportFields& f) {
    const std::string global =
        Tlv('\x30', std::string("\x02\x01") + f.messageId + std::string("\x02\x03\x00\xff\xe3", 5) +
                        Tlv('\x04', f.flags) + "\x02\x01\x03");
    const std::string usm = Tlv('\x30', Tlv('\x04', f.engineId) + f.boots + f.time +
                                            Tlv('\x04', "") + Tlv('\x04', "") + Tlv('\x04', ""));
    const std::string pdu =
        Tlv(f.pduTag, std::string("\x02\x01\x07\x02\x01\x00\x02\x01\x00", 9) + Tlv('\x30', ""));
    const std::string scoped = Tlv('\x30', Tlv('\x04', f.engineId) + Tlv('\x04', "") + pdu);
    return Tlv('\x30', f.version + global + Tlv('\x04', usm) + scoped);
}

TEST(EngineDiscovery, ReadsTheReportsOfNetSnmpsAgent) {
    // The probe of message 1234567, byte for byte, and the reports snmpd 5.9 sent back.
    EXPECT_EQ(DiscoveryProbe(1234567),
              FromHex("303c0201033010020312d687020300ffe30401040201030410300e04000201000201000400"
                      "04000400301304000400a00d020312d6870201000201003000"));
    const struct {
        const char* hex;
        std::int32_t messageId;
        std::uint32_t time;
    } captured[] = {
        {"306f0201033010020312d687020300ffe30401000201030421301f041180001f8880ec821e03568d1b6b00"
         "0000000201010201020400040004003035041180001f8880ec821e03568d1b6b000000000400a81e0203"
         "12d6870201000201003011300f060a2b060106030f01010400410101",
         1234567, 2},
        {"306b020103300e020101020300ffe30401000201030421301f041180001f8880ec821e03568d1b6b000000"
         "000201010201030400040004003033041180001f8880ec821e03568d1b6b000000000400a81c02010102"
         "01000201003011300f060a2b060106030f01010400410102",
         1, 3},
    };
    for (const auto& report : captured) {
        const auto engine = ParseDiscoveryReport(FromHex(report.hex));
        ASSERT_TRUE(engine.has_value()) << report.hex;
        EXPECT_EQ(engine->messageId, report.messageId);
        EXPECT_EQ(engine->engineId, FromHex("80001f8880ec821e03568d1b6b00000000"));
        EXPECT_EQ(engine->boots, 1u);
        EXPECT_EQ(engine->time, report.time);
    }
}

TEST(EngineDiscovery, RefusesWhatNoAgentShouldSend) {
    struct Case {
        const char* name;
        ReportFields fields;
        bool read;
    };
    const auto with = [](auto change) {
        ReportFields fields;
        change(fields);
        return fields;
    };
    const Case cases[] = {
        {"asBuilt", {}, true},
        {"fiveByteEngine", with([](auto& f) { f.engineId = "12345"; }), true},
        {"largestBootsAndTime",
         with([](auto& f) { f.boots = f.time = std::string("\x02\x04\x7f\xff\xff\xff", 6); }),
         true},
        {"emptyEngine", with([](auto& f) { f.engineId = ""; }), false},
        {"engineOf33Bytes", with([](auto& f) { f.engineId = std::string(33, 'e'); }), false},
        {"bootsPast2To31",
         with([](auto& f) { f.boots = std::string("\x02\x05\x00\x80\x00\x00\x00", 7); }), false},
        {"negativeTime", with([](auto& f) { f.time = "\x02\x01\xff"; }), false},
        {"versionTwo", with([](auto& f) { f.version = "\x02\x01\x01"; }), false},
        {"authenticated", with([](auto& f) { f.flags = "\x01"; }), false},
        {"aResponseNotAReport", with([](auto& f) { f.pduTag = '\xA2'; }), false},
        {"timeAsAString", with([](auto& f) { f.time = "\x04\x01\x02"; }), false},
        {"longEngine", with([](auto& f) { f.engineId = std::string(300, 'e'); }), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string report = Report(c.fields);
        EXPECT_EQ(ParseDiscoveryReport(report).has_value(), c.read);
        if (c.read) {
            // Whole or nothing: every cut short, and anything after it, is refused.
            for (std::size_t size = 0; size < report.size(); ++size) {
                ASSERT_FALSE(ParseDiscoveryReport(report.substr(0, size)).has_value()) << size;
            }
            EXPECT_FALSE(ParseDiscoveryReport(report + '\0').has_value());
        }
    }
    // Lengths that claim more than there is, or in forms BER allows and datagrams never use.
    EXPECT_FALSE(ParseDiscoveryReport(std::string("\x30\x80\x00\x00", 4)).has_value());
    EXPECT_FALSE(ParseDiscoveryReport(std::string("\x30\x85\xff\xff\xff\xff\xff", 7)).has_value());
    EXPECT_FALSE(ParseDiscoveryReport(std::string("\x30\x84\xff\xff\xff\xff", 6)).has_value());
}

// Three agents, probes of message IDs 10, 11 and 12, a second's wait and one retry, at most two
// out at once.
class DiscoveryScheduleTest : public ::testing::Test {
protected:
    static constexpr Endpoint kA{0xC6336402, 161};  // 198.51.100.2
    static constexpr Endpoint kB{0xC6336403, 161};
    static constexpr Endpoint kC{0xC6336404, 161};

    std::vector<std::size_t> Sent(DiscoverySchedule::Millis now) {
        std::vector<std::size_t> sent;
        for (const auto& send : schedule.Due(now, next)) {
            EXPECT_EQ(send.bytes, DiscoveryProbe(10 + static_cast<std::int32_t>(send.index)));
            sent.push_back(send.index);
        }
        return sent;
    }
    static std::string ReportTo(int index) {
        ReportFields fields;
        fields.messageId = static_cast<char>(10 + index);
        return Report(fields);
    }

    DiscoverySchedule schedule{{kA, kB, kC, std::nullopt}, 1000, 1, 2, 10};
    DiscoverySchedule::Millis next = 0;
};

TEST_F(DiscoveryScheduleTest, EachProbeHasItsOwnDeadlineAndTries) {
    using V = std::vector<std::size_t>;
    EXPECT_EQ(Sent(0), (V{0, 1}));  // two out at most
    EXPECT_EQ(next, 100);
    EXPECT_EQ(Sent(500), V{});
    schedule.OnDatagram(ReportTo(1), kB);
    EXPECT_TRUE(schedule.engine(1).settled);
    EXPECT_EQ(schedule.engine(1).id, FromHex("80001f8880ec821e03568d1b6b00000000"));
    EXPECT_EQ(Sent(600), V{2});  // B's place goes to C
    EXPECT_EQ(Sent(999), V{});
    EXPECT_EQ(next, 1000);        // A's wait ends first
    EXPECT_EQ(Sent(1000), V{0});  // its retry
    EXPECT_EQ(Sent(1600), V{2});
    EXPECT_EQ(Sent(2000), V{});  // A has no try left: silent
    EXPECT_TRUE(schedule.engine(0).settled);
    EXPECT_TRUE(schedule.engine(0).id.empty());
    EXPECT_FALSE(schedule.engine(0).localFault);
    EXPECT_FALSE(schedule.engine(2).settled);
    EXPECT_FALSE(schedule.engine(3).settled);  // not discovered at all
}

// What a hostile or confused network sends is not taken for an agent's report.
TEST_F(DiscoveryScheduleTest, AReportCountsOnlyFromItsAgentForItsProbe) {
    schedule.OnDatagram(ReportTo(0), kA);  // before its probe went
    EXPECT_FALSE(schedule.engine(0).settled);
    ASSERT_EQ(Sent(0).size(), 2u);
    schedule.OnDatagram(ReportTo(0), kB);                 // another agent's address
    schedule.OnDatagram(ReportTo(0), {kA.address, 162});  // another port
    schedule.OnDatagram(ReportTo(1), kA);                 // another probe's message ID
    schedule.OnDatagram("not SNMP", kA);
    schedule.OnDatagram(ReportTo(0).substr(0, 20), kA);
    EXPECT_FALSE(schedule.engine(0).settled);
    schedule.OnDatagram(ReportTo(0), kA);
    EXPECT_TRUE(schedule.engine(0).settled);
    ReportFields other;
    other.messageId = 10;
    other.engineId = FromHex("8000000001020304");
    schedule.OnDatagram(Report(other), kA);  // a second answer changes nothing
    EXPECT_EQ(schedule.engine(0).id, FromHex("80001f8880ec821e03568d1b6b00000000"));
}

TEST_F(DiscoveryScheduleTest, ProbesThatCannotGoAreLocalFaults) {
    ASSERT_EQ(Sent(0).size(), 2u);
    schedule.SendFailed(0);
    schedule.NoAddress(3);
    for (const std::size_t index : {0, 3}) {
        EXPECT_TRUE(schedule.engine(index).settled);
        EXPECT_TRUE(schedule.engine(index).localFault);
    }
    EXPECT_EQ(Sent(1), std::vector<std::size_t>{2});  // its place is free
    schedule.OnDatagram(ReportTo(0), kA);
    EXPECT_TRUE(schedule.engine(0).localFault);  // ended: a late report is not taken
}

}  // namespace
}  // namespace parvolink::snmp
