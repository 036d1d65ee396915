// SPDX-License-Identifier: GPL-3.0-or-later
// What an audit finds in a card's record and users: the simulated card's as read over the
// protocol, then each weakness given to it.
#include <gtest/gtest.h>

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
    return ids;
}

TEST(Audit, EachWeaknessIsAFindingOfItsOwn) {
    cardsim::Card card = cardsim::MakeCard(kCardAddress, 0, true);
    cardsim::Faults faults;
    testing::SimulatedCardRun run{card, faults, {}};
    CardTask read(kCardAddress, "admin", "lanterns", kPc, Job{Operation::ReadConfiguration});
    run.Run(read, 20);
    ASSERT_EQ(read.result(), Result::Done) << read.message();
    const std::vector<std::string> base = Ids(AuditConfiguration(read.card(), read.configuration(), {}));

    const struct {
        const char* name;
        std::function<void(DeviceConfiguration&)> weaken;
        AuditLimits limits;
        const char* id;
    } cases[] = {
        {"telnet", [](DeviceConfiguration& r) { r.telnetEnabled = 1; }, {}, "telnet-enabled"},
        {"no server", [](DeviceConfiguration& r) {
             r.timeSource = 0;
             r.timeServer1 = "0.0.0.0";
             r.timeServer2.clear();
         }, {}, "sntp-no-server"},
        {"old firmware", [](DeviceConfiguration&) {}, {"2.40"}, "firmware-old"},
    };
    for (const auto& c : cases) {
        DeviceConfiguration record = read.configuration();
        c.weaken(record);
        std::vector<std::string> expected = base;
        expected.push_back(c.id);
        std::vector<std::string> found = Ids(AuditConfiguration(read.card(), record, c.limits));
        std::sort(expected.begin(), expected.end());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, expected) << c.name;
    }
    // A card at the version asked, or newer, is not old ("V2.1" and "2.10" read alike).
    EXPECT_EQ(Ids(AuditConfiguration(read.card(), read.configuration(), {"2.1"})), base);

    UsmConfiguration users;
    users.userNames = {"ops", "", "open"};
    users.securityLevels = 2 | (0 << 4);  // ops authPriv; open noAuthNoPriv
    const auto weak = AuditUsers(users);
    ASSERT_EQ(Ids(weak), std::vector<std::string>{"snmpv3-noauth-user"});
    EXPECT_NE(weak[0].text.find("\"open\" (row 2)"), std::string::npos) << weak[0].text;
}

TEST(Audit, SeveritiesByName) {
    for (const Severity severity : {Severity::Info, Severity::Low, Severity::Medium, Severity::High}) {
        EXPECT_EQ(ParseSeverity(SeverityName(severity)), severity);
    }
    EXPECT_FALSE(ParseSeverity("critical").has_value());
}

}  // namespace
}  // namespace parvolink::fleet
