// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/protocol/RequestEngine.h"
#include "support/FakeEngineHost.h"

namespace parvolink {
namespace {

using testing::FakeEngineHost;
using testing::ReplyDatagram;
using Sent = FakeEngineHost::Sent;

const std::string kIdentity = "198.51.100.7\tmac-7\tadmin\tlanterns\t";
constexpr Ipv4Address kCard{198, 51, 100, 7};

class RequestEngineTest : public ::testing::Test {
protected:
    RequestEngineTest() : engine(list, host) {
        engine.SetHostAddress({198, 51, 100, 1});
        list.Append({.ipAddress = "198.51.100.7", .macAddress = "mac-7"});
        list.SetAccount(0, "admin", "lanterns");
        list.Select(0);
    }

    void Ticks(int n) {
        for (int i = 0; i < n; ++i) {
            engine.Tick();
        }
    }
    // A reply from the card of row 0, or from another address.
    void Reply(const std::vector<std::string>& fields, const Ipv4Address& from = kCard) {
        engine.OnDatagram(ReplyDatagram(fields), from);
    }
    // Configuration started and its dialog accepted: SetConfigure is out, countdown 10.
    void StartSetConfigure() {
        host.outcomes.push_back({SequenceOutcome::Kind::Accepted, "payload\t"});
        engine.OnConfiguration();
        Reply({"Configure", "record\t"});
        engine.Tick();
        ASSERT_EQ(engine.pendingReply(), PendingReply::AwaitingSetConfigure);
        host.calls.clear();
        host.sent.clear();
    }

    DeviceList list;
    FakeEngineHost host;
    RequestEngine engine;
};

TEST_F(RequestEngineTest, ConfigurationSendsTwiceAndStartsTheCountdown) {
    engine.OnConfiguration();
    const std::string line = "Parvolink\tConfigure\t" + kIdentity;
    EXPECT_EQ(host.sent, (std::vector<Sent>{{"198.51.100.7", line}, {"255.255.255.255", line}}));
    EXPECT_EQ(engine.countdown(), 3);
    EXPECT_TRUE(host.timerRunning);
    EXPECT_FALSE(host.buttonsOn);
    EXPECT_EQ(engine.pendingReply(), PendingReply::Idle);
}

TEST_F(RequestEngineTest, ConfigurationWithoutATargetSendsNothing) {
    struct Case {
        const char* name;
        std::function<void(DeviceList&)> prepare;
        bool starts;
    };
    const Case cases[] = {
        {"emptyList", [](DeviceList& l) { l.Clear(); }, false},
        {"noSelection", [](DeviceList& l) { l.Select(DeviceList::kNone); }, false},
        {"notADottedQuad", [](DeviceList& l) { l.row(0).ipAddress = "card7"; }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceList rows = list;
        FakeEngineHost quiet;
        RequestEngine fresh(rows, quiet);
        c.prepare(rows);
        fresh.OnConfiguration();
        EXPECT_TRUE(quiet.sent.empty());
        EXPECT_EQ(quiet.timerRunning, c.starts);
        EXPECT_EQ(quiet.buttonsOn, !c.starts);
    }
}

TEST_F(RequestEngineTest, SilentCardEndsQuietlyAfterThreeTicks) {
    engine.OnConfiguration();
    Ticks(2);
    EXPECT_TRUE(host.timerRunning);
    EXPECT_FALSE(host.buttonsOn);
    engine.Tick();
    EXPECT_FALSE(host.timerRunning);
    EXPECT_TRUE(host.buttonsOn);
    EXPECT_TRUE(host.messages.empty());
}

// The reply comes while the countdown is 2; the dialog opens on the next tick, and the tick
// after, handled inside the dialog's loop, ends the countdown and gives the buttons back.
TEST_F(RequestEngineTest, ConfigureReplyOpensTheDialogOnTheNextTick) {
    engine.OnConfiguration();
    engine.Tick();
    Reply({"Configure", "contact", "name"});
    EXPECT_EQ(engine.pendingReply(), PendingReply::ConfigureReady);
    EXPECT_EQ(host.storedConfiguration, "contact\tname\t");
    host.insideModal = [&] {
        EXPECT_EQ(engine.countdown(), 1);
        EXPECT_EQ(engine.pendingReply(), PendingReply::Idle);
        engine.Tick();  // nested
        EXPECT_FALSE(host.timerRunning);
        EXPECT_TRUE(host.buttonsOn);
    };
    engine.Tick();
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "configuration dialog"), 1);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(RequestEngineTest, AcceptedConfigurationSendsSetConfigureOnce) {
    host.outcomes.push_back({SequenceOutcome::Kind::Accepted, "c\tn\tl\t"});
    engine.OnConfiguration();
    Reply({"Configure", "c", "n", "l"});
    host.sent.clear();
    engine.Tick();
    EXPECT_EQ(host.sent, (std::vector<Sent>{{"198.51.100.7", "Parvolink\tSetConfigure\t" +
                                                                 kIdentity + "c\tn\tl\t"}}));
    EXPECT_EQ(engine.pendingReply(), PendingReply::AwaitingSetConfigure);
    EXPECT_EQ(engine.countdown(), 10);
    EXPECT_FALSE(host.buttonsOn);
}

TEST_F(RequestEngineTest, ResetSendsOnceAndTellsTheUserToWait) {
    host.outcomes.push_back({SequenceOutcome::Kind::Reset, ""});
    engine.OnConfiguration();
    Reply({"Configure", "x"});
    host.sent.clear();
    engine.Tick();
    EXPECT_EQ(host.sent, (std::vector<Sent>{{"198.51.100.7", "Parvolink\tReset\t" + kIdentity}}));
    EXPECT_TRUE(host.buttonsOn);
    EXPECT_EQ(host.messages, std::vector<Message>{exchange::kResetting});
    EXPECT_EQ(engine.pendingReply(), PendingReply::Idle);
}

TEST_F(RequestEngineTest, OkAfterFourSecondsShowsSuccessAndNoTimeout) {
    StartSetConfigure();
    Ticks(4);
    Reply({"SetConfigure", "OK"});
    EXPECT_TRUE(host.buttonsOn);
    EXPECT_EQ(host.messages, std::vector<Message>{exchange::kUpdateSuccessfully});
    Ticks(6);
    EXPECT_FALSE(host.timerRunning);
    EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(RequestEngineTest, NotOkGivesButtonsBackAndTheTimeoutStillFollows) {
    StartSetConfigure();
    Reply({"SetConfigure", "FAIL"});
    EXPECT_TRUE(host.buttonsOn);
    EXPECT_TRUE(host.messages.empty());
    Ticks(9);
    EXPECT_TRUE(host.messages.empty());
    engine.Tick();
    EXPECT_EQ(host.messages, std::vector<Message>{exchange::kNoResponse});
    EXPECT_EQ(engine.pendingReply(), PendingReply::Idle);
}

TEST_F(RequestEngineTest, ErrorOneDuringACountdownChangesNothing) {
    StartSetConfigure();
    Ticks(3);
    Reply({"Error", "1"});
    EXPECT_EQ(host.messages, std::vector<Message>{exchange::kPacketMismatch});
    EXPECT_EQ(engine.countdown(), 7);
    Ticks(7);
    EXPECT_EQ(host.messages,
              (std::vector<Message>{exchange::kPacketMismatch, exchange::kNoResponse}));
}

TEST_F(RequestEngineTest, ErrorTwoEndsTheOperationAfterItsMessageCloses) {
    host.outcomes.push_back({SequenceOutcome::Kind::Accepted, "user\t"});
    engine.OnConfiguration();
    engine.StartSnmpv3Query();
    Reply({"SNMPv3", "table"});
    engine.Tick();
    ASSERT_EQ(engine.pendingReply(), PendingReply::AwaitingSetSnmpv3);
    EXPECT_EQ(engine.countdown(), 5);
    // While the message is open a tick passes: the countdown is not yet cut.
    host.insideModal = [&] {
        EXPECT_EQ(engine.pendingReply(), PendingReply::AwaitingSetSnmpv3);
        engine.Tick();
    };
    Reply({"Error", "2x"});
    EXPECT_EQ(engine.countdown(), 0);
    EXPECT_EQ(engine.pendingReply(), PendingReply::Idle);
    engine.Tick();
    EXPECT_FALSE(host.timerRunning);
    EXPECT_EQ(host.messages, std::vector<Message>{exchange::kAccountMismatch});
}

TEST_F(RequestEngineTest, ErrorTwoWithoutACountdownOnlyShowsItsMessage) {
    engine.SetAwaitingUpgrade();
    Reply({"Error", "2"});
    EXPECT_EQ(host.messages, std::vector<Message>{exchange::kAccountMismatch});
    EXPECT_EQ(engine.pendingReply(), PendingReply::AwaitingUpgrade);
    EXPECT_EQ(engine.countdown(), 0);
    Reply({"Error", "3"});
    Reply({"Error", ""});
    EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(RequestEngineTest, UpgradeTimesOutUnlessOk) {
    for (const bool answered : {false, true}) {
        SCOPED_TRACE(answered);
        FakeEngineHost fresh;
        RequestEngine upgrade(list, fresh);
        upgrade.SetAwaitingUpgrade();
        upgrade.BeginOperation(exchange::kUpgradeTicks);
        if (answered) {
            upgrade.OnDatagram(ReplyDatagram({"Upgrade", "OK"}), kCard);
        }
        for (int i = 0; i < 15; ++i) {
            upgrade.Tick();
        }
        EXPECT_EQ(fresh.messages.empty(), answered);
        if (!answered) {
            EXPECT_EQ(fresh.messages, std::vector<Message>{exchange::kUpgradeNoResponse});
        }
        EXPECT_TRUE(fresh.buttonsOn);
        EXPECT_FALSE(fresh.timerRunning);
    }
}

// A timeout message stays open across further ticks: they must not show it again.
TEST_F(RequestEngineTest, NestedTicksDoNotRepeatATimeout) {
    StartSetConfigure();
    Ticks(9);
    host.insideModal = [&] { Ticks(3); };
    engine.Tick();
    EXPECT_EQ(host.messages, std::vector<Message>{exchange::kNoResponse});
}

TEST_F(RequestEngineTest, Snmpv3QueryAndReset) {
    engine.StartSnmpv3Query();
    EXPECT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[0].line, "Parvolink\tSNMPv3\t" + kIdentity);
    EXPECT_EQ(engine.countdown(), 5);
    EXPECT_TRUE(host.buttonsOn);  // the query leaves the buttons alone
    host.outcomes.push_back({SequenceOutcome::Kind::Reset, ""});
    Reply({"SNMPv3", "t"});
    host.sent.clear();
    engine.Tick();
    EXPECT_EQ(host.sent,
              (std::vector<Sent>{{"198.51.100.7", "Parvolink\tResetSNMPv3\t" + kIdentity}}));
    EXPECT_EQ(engine.pendingReply(), PendingReply::Idle);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(RequestEngineTest, SetSnmpv3OkShowsItsOwnMessage) {
    host.outcomes.push_back({SequenceOutcome::Kind::Accepted, "u\t"});
    engine.StartSnmpv3Query();
    Reply({"SNMPv3", "t"});
    engine.Tick();
    Reply({"SetSNMPv3", "OK"});
    EXPECT_EQ(host.messages, std::vector<Message>{exchange::kUsmUpdateSuccessfully});
    EXPECT_EQ(engine.pendingReply(), PendingReply::Idle);
}

// A "Configure" or "SNMPv3" reply is taken only while it is awaited, until its countdown ends;
// anything else would open a dialog, and send its settings, to a card nobody asked.
TEST_F(RequestEngineTest, RepliesNobodyAwaitsAreDropped) {
    struct Case {
        const char* name;
        std::function<void(RequestEngine&)> start;
        int ticksBefore;
        Ipv4Address from;
        const char* command;
    };
    const auto configure = [](RequestEngine& e) { e.OnConfiguration(); };
    const auto snmpv3 = [](RequestEngine& e) { e.StartSnmpv3Query(); };
    const auto discover = [](RequestEngine& e) { e.BeginOperation(exchange::kDiscoverTicks); };
    const Case cases[] = {
        {"unasked", [](RequestEngine&) {}, 0, kCard, "Configure"},
        {"duringDiscover", discover, 1, kCard, "Configure"},
        {"afterTheCountdown", configure, 3, kCard, "Configure"},
        {"snmpv3ForConfigure", configure, 0, kCard, "SNMPv3"},
        {"snmpv3AfterTheCountdown", snmpv3, 5, kCard, "SNMPv3"},
        {"configureForSnmpv3", snmpv3, 0, kCard, "Configure"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeEngineHost fresh;
        RequestEngine e(list, fresh);
        e.SetHostAddress({198, 51, 100, 1});
        c.start(e);
        for (int i = 0; i < c.ticksBefore; ++i) {
            e.Tick();
        }
        e.OnDatagram(ReplyDatagram({c.command, "record"}), c.from);
        e.StartSnmpv3Query();  // a later operation must not pick up the dropped reply either
        e.Tick();
        EXPECT_EQ(e.pendingReply(), PendingReply::Idle);
        EXPECT_TRUE(fresh.storedConfiguration.empty());
        EXPECT_TRUE(fresh.storedUserTable.empty());
        EXPECT_EQ(std::count(fresh.calls.begin(), fresh.calls.end(), "configuration dialog"), 0);
    }
}

// The request also goes to 255.255.255.255, and a card reached that way may answer from an
// address other than its row's: an awaited reply is taken from any sender.
TEST_F(RequestEngineTest, AnAwaitedReplyIsTakenFromAnySender) {
    for (const Ipv4Address from : {Ipv4Address{198, 51, 100, 8}, Ipv4Address{203, 0, 113, 9}}) {
        engine.OnConfiguration();
        Reply({"Configure", "record"}, from);
        EXPECT_EQ(engine.pendingReply(), PendingReply::ConfigureReady);
        engine.Tick();
        EXPECT_EQ(host.configuredCard, "198.51.100.7");
        engine.StartSnmpv3Query();
        Reply({"SNMPv3", "table"}, from);
        EXPECT_EQ(engine.pendingReply(), PendingReply::Snmpv3Ready);
        Ticks(6);
    }
}

// What the user asked for is a result, shown each time; the same reply unasked is merged.
TEST_F(RequestEngineTest, RepliesToTheUserAreResultsTheRestUnasked) {
    engine.OnConfiguration();
    Reply({"Error", "2"});
    Reply({"Error", "2"});  // a second copy answers nothing
    Ticks(3);
    engine.OnConfiguration();  // the user tries again
    Reply({"Error", "2"});
    Reply({"SetConfigure", "OK"});  // nobody wrote anything
    StartSetConfigure();
    Reply({"SetConfigure", "OK"});
    Ticks(10);
    engine.SendUpgradeRequest();
    Ticks(15);
    using O = MessageOrigin;
    EXPECT_EQ(host.origins,
              (std::vector<O>{O::Result, O::Unasked, O::Result, O::Unasked, O::Result, O::Result}));
}

// A Discover reply selects its new row while the configuration runs: every later request
// still goes to the card that was asked, with its identity.
TEST_F(RequestEngineTest, TheCardAskedKeepsTheOperationWhateverIsSelected) {
    list.Append({.ipAddress = "198.51.100.8", .macAddress = "mac-8"});
    list.SetAccount(1, "root", "other");
    for (const auto kind : {SequenceOutcome::Kind::Accepted, SequenceOutcome::Kind::Reset}) {
        SCOPED_TRACE(static_cast<int>(kind));
        list.Select(0);
        host.outcomes.push_back({kind, "settings\t"});
        engine.OnConfiguration();
        list.Select(1);
        Reply({"Configure", "record"});
        host.sent.clear();
        engine.Tick();
        EXPECT_EQ(host.configuredCard, "198.51.100.7");
        ASSERT_EQ(host.sent.size(), 1u);
        EXPECT_EQ(host.sent[0].host, "198.51.100.7");
        EXPECT_TRUE(host.sent[0].line.find(kIdentity) != std::string::npos) << host.sent[0].line;
        Ticks(10);
    }
    // The SNMPv3 dialog opened from that configuration writes to the same card.
    list.Select(0);
    host.outcomes.push_back({SequenceOutcome::Kind::Accepted, "user\t"});
    engine.OnConfiguration();
    list.Select(1);
    host.sent.clear();
    engine.StartSnmpv3Query();
    EXPECT_EQ(host.sent[0].host, "198.51.100.7");
    Reply({"SNMPv3", "table"});
    host.sent.clear();
    engine.Tick();
    EXPECT_EQ(
        host.sent,
        (std::vector<Sent>{{"198.51.100.7", "Parvolink\tSetSNMPv3\t" + kIdentity + "user\t"}}));
    EXPECT_EQ(host.usersCard, "198.51.100.7");
    // The user written is verified on that card too, not on the row selected now.
    Reply({"SetSNMPv3", "OK"}, {198, 51, 100, 8});
    EXPECT_EQ(host.acceptedUserCard, "198.51.100.7");
}

// Started with an accounts file, the window gives each row a Discover lists its line's account,
// by address or by MAC address; an account the user gave is left as it is.
TEST_F(RequestEngineTest, ListedRowsTakeTheirAccountsLine) {
    std::string error;
    engine.UseAccounts(std::make_shared<const Accounts>(*Accounts::Parse(
        "00:C0:B7:00:00:09 ops nine\n198.51.100.8 ops eight\n* admin any\n", error)));
    for (const char* address : {"198.51.100.7", "198.51.100.8", "198.51.100.9", "198.51.100.10"}) {
        const std::string last(std::string_view(address).substr(11));
        Reply({"Discover", address, "00:C0:B7:00:00:0" + last.substr(last.size() - 1), "2.1",
               "NMC-3", "card", "1"});
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"admin", "lanterns"}, {"ops", "eight"}, {"ops", "nine"}, {"admin", "any"}};
    ASSERT_EQ(list.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.row(i).account, expected[i].first) << i;
        EXPECT_EQ(list.row(i).password, expected[i].second) << i;
        EXPECT_EQ(list.row(i).passwordMask, devices::kPasswordSet) << i;
    }
}

// Replies without the TAB that ends their first field, or not decodable, change nothing.
TEST_F(RequestEngineTest, MalformedRepliesAreDropped) {
    StartSetConfigure();
    const std::string bad[] = {
        DatagramCodec::EncodeText("QorinWebConfig\tSetConfigure\tOK"),
        DatagramCodec::EncodeText("QorinWebConfig\tConfigure\tno-tab"),
        DatagramCodec::EncodeText("QorinWebConfig\tError\t2"),
        DatagramCodec::EncodeText("QorinWebConfig\tDiscover\t1.2.3.4\tm\tv\t"),
        "not wire form!",
        std::string(600, '.'),
    };
    for (const std::string& datagram : bad) {
        engine.OnDatagram(datagram, kCard);
    }
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(engine.pendingReply(), PendingReply::AwaitingSetConfigure);
    EXPECT_EQ(list.size(), 1u);
}

}  // namespace
}  // namespace parvolink
