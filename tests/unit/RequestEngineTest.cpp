#include "protocol/RequestEngine.h"

#include <gtest/gtest.h>

#include "FakeEngineHost.h"

namespace parvolink {
namespace {

using testing::FakeEngineHost;
using testing::ReplyDatagram;
using Sent = FakeEngineHost::Sent;

const std::string kIdentity = "198.51.100.7\tmac-7\tadmin\tlanterns\t";

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
    void Reply(const std::vector<std::string>& fields) {
        engine.OnDatagram(ReplyDatagram(fields));
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
    EXPECT_EQ(host.sent,
              (std::vector<Sent>{{"198.51.100.7", "Parvolink\tSetConfigure\t" + kIdentity +
                                                      "c\tn\tl\t"}}));
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
    EXPECT_EQ(host.sent,
              (std::vector<Sent>{{"198.51.100.7", "Parvolink\tReset\t" + kIdentity}}));
    EXPECT_TRUE(host.buttonsOn);
    EXPECT_EQ(host.messages, std::vector<Message>{engine::kResetting});
    EXPECT_EQ(engine.pendingReply(), PendingReply::Idle);
}

TEST_F(RequestEngineTest, OkAfterFourSecondsShowsSuccessAndNoTimeout) {
    StartSetConfigure();
    Ticks(4);
    Reply({"SetConfigure", "OK"});
    EXPECT_TRUE(host.buttonsOn);
    EXPECT_EQ(host.messages, std::vector<Message>{engine::kUpdateSuccessfully});
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
    EXPECT_EQ(host.messages, std::vector<Message>{engine::kNoResponse});
    EXPECT_EQ(engine.pendingReply(), PendingReply::Idle);
}

TEST_F(RequestEngineTest, ErrorOneDuringACountdownChangesNothing) {
    StartSetConfigure();
    Ticks(3);
    Reply({"Error", "1"});
    EXPECT_EQ(host.messages, std::vector<Message>{engine::kPacketMismatch});
    EXPECT_EQ(engine.countdown(), 7);
    Ticks(7);
    EXPECT_EQ(host.messages,
              (std::vector<Message>{engine::kPacketMismatch, engine::kNoResponse}));
}

TEST_F(RequestEngineTest, ErrorTwoEndsTheOperationAfterItsMessageCloses) {
    host.outcomes.push_back({SequenceOutcome::Kind::Accepted, "user\t"});
    engine.OnConfiguration();
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
    EXPECT_EQ(host.messages, std::vector<Message>{engine::kAccountMismatch});
}

TEST_F(RequestEngineTest, ErrorTwoWithoutACountdownOnlyShowsItsMessage) {
    engine.SetAwaitingUpgrade();
    Reply({"Error", "2"});
    EXPECT_EQ(host.messages, std::vector<Message>{engine::kAccountMismatch});
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
        upgrade.BeginOperation(engine::kUpgradeTicks);
        if (answered) {
            upgrade.OnDatagram(ReplyDatagram({"Upgrade", "OK"}));
        }
        for (int i = 0; i < 15; ++i) {
            upgrade.Tick();
        }
        EXPECT_EQ(fresh.messages.empty(), answered);
        if (!answered) {
            EXPECT_EQ(fresh.messages, std::vector<Message>{engine::kUpgradeNoResponse});
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
    EXPECT_EQ(host.messages, std::vector<Message>{engine::kNoResponse});
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
    Reply({"SNMPv3", "t"});
    engine.Tick();
    Reply({"SetSNMPv3", "OK"});
    EXPECT_EQ(host.messages, std::vector<Message>{engine::kUsmUpdateSuccessfully});
    EXPECT_EQ(engine.pendingReply(), PendingReply::Idle);
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
        engine.OnDatagram(datagram);
    }
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(engine.pendingReply(), PendingReply::AwaitingSetConfigure);
    EXPECT_EQ(list.size(), 1u);
}

}  // namespace
}  // namespace parvolink
