// SPDX-License-Identifier: GPL-3.0-or-later
// What an audit finds: a simulated card read as the audit reads it (over the protocol, the
// replies delivered in the order they would arrive), then each weakness given to a clean card.
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <functional>

#include "core/fleet/Audit.h"
#include "support/SimulatedCardRun.h"

namespace parvolink::fleet {
namespace {

const Ipv4Address kPc{198, 51, 100, 1};
const Ipv4Address kCardAddress{198, 51, 100, 2};

std::vector<std::string> Ids(const std::vector<Finding>& findings) {
    std::vector<std::string> ids;
    for (const Finding& finding : findings) {
        ids.push_back(finding.id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Runs an audit's card task against card: every reply to a request is delivered before the
// replies to the requests it leads to, as a second card's answer to the same Discover arrives
// before the first card's answer to what follows.
struct AuditRun {
    cardsim::Card card = cardsim::MakeCard(kCardAddress, 0, true);
    cardsim::Faults faults;
    std::vector<std::string> sent;

    CardTask Run(const std::string& password) {
        CardTask task(kCardAddress, "admin", password, kPc, Job{Operation::Audit});
        testing::SimulatedCardRun replies{card, faults, {}};
        std::deque<Outgoing> queue;
        const auto send = [&](const std::vector<Outgoing>& sends) {
            queue.insert(queue.end(), sends.begin(), sends.end());
        };
        send(task.Start());
        std::deque<std::string> arriving;
        for (int ticks = 0; ticks < 40 && !task.finished(); ++ticks) {
            while (!queue.empty() || !arriving.empty()) {
                if (!queue.empty()) {
                    sent.push_back(testing::SimulatedCardRun::Command(queue.front().wire));
                    for (std::string& reply : replies.Replies(queue.front())) {
                        arriving.push_back(std::move(reply));
                    }
                    queue.pop_front();
                } else {
                    send(task.OnDatagram(arriving.front(), card.address));
                    arriving.pop_front();
                }
            }
            send(task.Tick());
        }
        return task;
    }
};

TEST(Audit, TheCardTaskReadsWhatTheAuditLooksAt) {
    {  // The factory account: read with it, the card takes it; no second request.
        AuditRun run;
        const CardTask task = run.Run("lanterns");
        ASSERT_EQ(task.result(), Result::Done) << task.message();
        EXPECT_EQ(run.sent, (std::vector<std::string>{"Discover", "Configure", "Configure",
                                                      "SNMPv3", "SNMPv3"}));
        EXPECT_TRUE(task.usersRead());
        EXPECT_EQ(task.users().userNames[1], "monitor");
        EXPECT_EQ(task.factoryAccountAccepted(), std::optional<bool>(true));
        EXPECT_TRUE(task.otherMacs().empty());
    }
    {  // Its own password: the factory account is tried once and refused; what was read is
       // the card's, and a second card answering for the address is noted.
        AuditRun run;
        run.card.password = "S3cret-7";
        run.card.twinMac = "00:C0:B7:AA:BB:CC";
        const CardTask task = run.Run("S3cret-7");
        ASSERT_EQ(task.result(), Result::Done) << task.message();
        EXPECT_EQ(run.sent,
                  (std::vector<std::string>{"Discover", "Configure", "Configure", "SNMPv3",
                                            "SNMPv3", "Configure", "Configure"}));
        EXPECT_EQ(task.factoryAccountAccepted(), std::optional<bool>(false));
        EXPECT_EQ(task.configuration().telnetPort, 23);
        EXPECT_EQ(task.otherMacs(), std::vector<std::string>{"00:C0:B7:AA:BB:CC"});
        EXPECT_EQ(task.card().password, "S3cret-7");
    }
    {  // A card before SNMPv3 is audited without its users, not refused.
        AuditRun run;
        run.card.version = "1.12";
        const CardTask task = run.Run("lanterns");
        ASSERT_EQ(task.result(), Result::Done) << task.message();
        EXPECT_EQ(run.sent, (std::vector<std::string>{"Discover", "Configure", "Configure"}));
        EXPECT_FALSE(task.usersRead());
    }
    {  // A wrong password: the card is not read, and says why.
        AuditRun run;
        const CardTask task = run.Run("wrong");
        EXPECT_EQ(task.result(), Result::Refused);
        EXPECT_EQ(task.message(), "Account or Password mismatched.");
    }
}

// A host that answers a Discover with ever new MAC addresses is noted a few times, not kept.
TEST(Audit, AFloodOfOtherCardsIsNotKept) {
    AuditRun run;
    CardTask task(kCardAddress, "admin", "lanterns", kPc, Job{Operation::Audit});
    testing::SimulatedCardRun replies{run.card, run.faults, {}};
    const std::vector<Outgoing> discover = task.Start();
    ASSERT_FALSE(discover.empty());
    for (int i = 0; i < 1000; ++i) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:00:00:00:%02X:%02X", i / 256, i % 256);
        run.card.twinMac = mac;
        for (const std::string& reply : replies.Replies(discover.front())) {
            static_cast<void>(task.OnDatagram(reply, kCardAddress));
        }
    }
    EXPECT_EQ(task.otherMacs().size(), 8U);
    EXPECT_EQ(task.otherMacs().front(), "02:00:00:00:00:00");
}

// A card with nothing to find: read from the simulated card, then made safe.
CardFacts CleanCard(AuditLimits& limits) {
    AuditRun run;
    run.card.password = "S3cret-7";
    const CardTask task = run.Run("S3cret-7");
    CardFacts facts;
    facts.card = task.card();
    facts.configuration = task.configuration();
    facts.users = task.users();
    facts.factoryAccountAccepted = false;
    facts.configuration->httpEnabled = 0;
    facts.configuration->userLimitation = 0;  // every class "In The LAN"
    limits.minVersion = "2.1";
    limits.maxClockDrift = 300;
    limits.now = CardClock(*facts.configuration).value_or(0);
    return facts;
}

TEST(Audit, EachWeaknessIsAFindingOfItsOwn) {
    AuditLimits cleanLimits;
    const CardFacts clean = CleanCard(cleanLimits);
    ASSERT_EQ(Ids(Audit(clean, cleanLimits)), std::vector<std::string>{});

    using Weaken = std::function<void(CardFacts&, AuditLimits&)>;
    const struct {
        const char* id;
        Weaken weaken;
    } cases[] = {
        {"card-unreadable",
         [](CardFacts& f, AuditLimits&) {
             CardFacts unread;
             unread.card = f.card;
             unread.unreadable = "no response";
             f = unread;
         }},
        {"address-shared", [](CardFacts& f, AuditLimits&) { f.otherMacs = {"00:C0:B7:00:00:09"}; }},
        {"factory-account", [](CardFacts& f, AuditLimits&) { f.factoryAccountAccepted = true; }},
        {"factory-account-unknown",
         [](CardFacts& f, AuditLimits&) { f.factoryAccountAccepted.reset(); }},
        {"telnet-enabled", [](CardFacts& f, AuditLimits&) { f.configuration->telnetEnabled = 1; }},
        {"http-enabled", [](CardFacts& f, AuditLimits&) { f.configuration->httpEnabled = 1; }},
        {"admin-access-any",
         [](CardFacts& f, AuditLimits&) { f.configuration->userLimitation = 0b000001; }},
        {"sntp-no-server",
         [](CardFacts& f, AuditLimits&) {
             f.configuration->timeSource = 0;
             f.configuration->timeServer1 = "0.0.0.0";
             f.configuration->timeServer2.clear();
         }},
        {"clock-drift", [](CardFacts&, AuditLimits& l) { l.now += 301; }},
        {"clock-drift", [](CardFacts&, AuditLimits& l) { l.now -= 86400 * 400; }},
        {"clock-invalid",
         [](CardFacts& f, AuditLimits&) {
             f.configuration->month = 2;
             f.configuration->day = 30;
         }},
        {"firmware-old", [](CardFacts&, AuditLimits& l) { l.minVersion = "2.40"; }},
        {"snmpv3-noauth-user",
         [](CardFacts& f, AuditLimits&) {
             f.users->userNames[5] = "open";  // its level bits are 0
         }},
        {"snmpv3-factory-passphrase",
         [](CardFacts& f, AuditLimits&) { f.factoryPassphraseUsers = {"monitor"}; }},
        {"snmp-public-community",
         [](CardFacts& f, AuditLimits&) {
             f.publicCommunityVersions = {"SNMPv1", "SNMPv2c"};
         }},
    };
    for (const auto& c : cases) {
        CardFacts facts = clean;
        AuditLimits limits = cleanLimits;
        c.weaken(facts, limits);
        const std::vector<Finding> findings = Audit(facts, limits);
        EXPECT_EQ(Ids(findings), std::vector<std::string>{c.id}) << c.id;
        for (const Finding& finding : findings) {
            EXPECT_FALSE(finding.text.empty());
        }
    }
}

TEST(Audit, TheMostSevereComeFirstAndSentencesNameWhatToChange) {
    AuditLimits limits;
    CardFacts facts = CleanCard(limits);
    facts.configuration->httpEnabled = 1;
    facts.configuration->telnetEnabled = 1;
    facts.users->userNames[2] = "open";
    limits.now += 3725;
    const std::vector<Finding> findings = Audit(facts, limits);
    ASSERT_EQ(findings.size(), 4U);
    EXPECT_EQ(findings[0].id, "telnet-enabled");
    EXPECT_EQ(findings[1].id, "snmpv3-noauth-user");
    EXPECT_EQ(findings[2].id, "http-enabled");
    EXPECT_EQ(findings[3].severity, Severity::Low);
    EXPECT_NE(findings[1].text.find("\"open\" (row 2)"), std::string::npos) << findings[1].text;
    EXPECT_NE(findings[3].text.find("1 h 2 min 5 s behind this PC's (its time zone, GMT "),
              std::string::npos)
        << findings[3].text;
}

TEST(Audit, TheCardsClockIsReadInItsTimeZone) {
    DeviceConfiguration record;
    record.year = 2026;
    record.month = 12;
    record.day = 11;
    record.hour = 15;
    record.minute = 30;
    const std::int64_t utc10 = 1796983200;  // 2026-12-11 10:00:00 UTC
    const struct {
        std::uint8_t zone;
        std::int64_t expected;
    } cases[] = {
        {13, utc10 + 5 * 3600 + 1800},  // GMT
        {20, utc10},                    // GMT+05:30 Bombay
        {9, utc10 + 9 * 3600},          // GMT-03:30 Newfoundland
        {0, utc10 + 17 * 3600 + 1800},  // GMT-12
        {configuration::kNoTimeZone, utc10 + 5 * 3600 + 1800},
    };
    for (const auto& c : cases) {
        record.timeZoneIndex = c.zone;
        EXPECT_EQ(CardClock(record), std::optional<std::int64_t>(c.expected)) << int(c.zone);
    }
    // Not a calendar's date, including numbers a card may send that wrap in a narrower type.
    const struct {
        std::int32_t year, month, day;
    } wrong[] = {
        {2026, 2, 30},    {2026, 13, 1},          {2026, 1 + 256, 11}, {2026, 12, 11 + 256},
        {2026, -255, 11}, {2026 + 65536, 12, 11}, {-32768, 12, 11},
    };
    for (const auto& w : wrong) {
        record.year = w.year;
        record.month = w.month;
        record.day = w.day;
        EXPECT_FALSE(CardClock(record).has_value()) << w.year << '/' << w.month << '/' << w.day;
    }
}

TEST(Audit, SeveritiesByName) {
    for (const Severity severity :
         {Severity::Info, Severity::Low, Severity::Medium, Severity::High}) {
        EXPECT_EQ(ParseSeverity(SeverityName(severity)), severity);
    }
    EXPECT_FALSE(ParseSeverity("critical").has_value());
}

}  // namespace
}  // namespace parvolink::fleet
