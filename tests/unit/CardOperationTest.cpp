// SPDX-License-Identifier: GPL-3.0-or-later
// The card operation machine: steps in order, the card fixed, and the two policies.
#include <gtest/gtest.h>

#include "core/protocol/CardOperation.h"
#include "support/FakeEngineHost.h"

namespace parvolink {
namespace {

const Ipv4Address kPc{198, 51, 100, 1};
const Ipv4Address kCard{198, 51, 100, 7};
const Ipv4Address kOther{198, 51, 100, 8};

DeviceEntry Row() {
    return {.ipAddress = "198.51.100.7",
            .account = "admin",
            .macAddress = "mac-7",
            .password = "lanterns"};
}

Reply ReplyOf(const std::vector<std::string>& fields) {
    return *ParseReply(testing::ReplyDatagram(fields));
}

TEST(CardOperation, StepsInOrderUnderEitherPolicy) {
    struct Case {
        Operation operation;
        const OperationPolicy& policy;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {Operation::WriteConfiguration,
         kCommandLinePolicy,
         {Step::Identify, Step::Configure, Step::SetConfigure}},
        {Operation::WriteConfiguration, kWindowPolicy, {Step::Configure, Step::SetConfigure}},
        {Operation::ResetUsers,
         kCommandLinePolicy,
         {Step::Identify, Step::Snmpv3, Step::ResetSnmpv3}},
        {Operation::Upgrade, kWindowPolicy, {Step::Upgrade}},
        {Operation::Identify, kCommandLinePolicy, {Step::Identify}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.operation));
        CardOperation operation(c.operation, Row(), c.policy, kPc);
        std::vector<Step> walked;
        while (const auto next = operation.NextStep()) {
            walked.push_back(*next);
            static_cast<void>(operation.Begin(*next));
        }
        EXPECT_EQ(walked, c.steps);
    }
    // The configuration dialog turns to the users: their read, then their write, follow.
    CardOperation window(Operation::ReadConfiguration, Row(), kWindowPolicy, kPc);
    static_cast<void>(window.Begin(*window.NextStep()));
    window.Become(Operation::WriteUsers);
    EXPECT_EQ(window.NextStep(), Step::Snmpv3);
    static_cast<void>(window.Begin(Step::Snmpv3));
    EXPECT_EQ(window.NextStep(), Step::SetSnmpv3);
}

TEST(CardOperation, ARefusalEndsTheStepOnlyUnderTheCommandLinesPolicy) {
    const std::vector<std::vector<std::string>> refusals = {
        {"SetConfigure", "FAIL"}, {"Error", "1"}, {"Error", "2"}};
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal[0] + " " + refusal[1]);
        for (const OperationPolicy* policy : {&kWindowPolicy, &kCommandLinePolicy}) {
            CardOperation operation(Operation::WriteConfiguration, Row(), *policy, kPc);
            static_cast<void>(operation.Begin(Step::SetConfigure, "fields\t"));
            const ReplyMeaning meaning = operation.OnReply(ReplyOf(refusal), kOther);
            EXPECT_NE(meaning.kind, ReplyMeaning::Kind::Other);
            EXPECT_TRUE(meaning.message.has_value());
            EXPECT_EQ(operation.awaiting(), !policy->endsOnRefusal);
        }
    }
}

TEST(CardOperation, RepliesTakenAsTheStepAwaitsThem) {
    CardOperation operation(Operation::ReadConfiguration, {.ipAddress = "198.51.100.7"},
                            kCommandLinePolicy, kPc);
    const std::vector<Outgoing> discover = operation.Begin(Step::Identify);
    ASSERT_EQ(discover.size(), 1u);
    EXPECT_EQ(discover[0].host, "198.51.100.7");  // never a broadcast
    const Reply identity = ReplyOf({"Discover", "198.51.100.7", "mac-7", "2.1", "NMC", "ups", "0"});
    // Its identity only from its own address, and never refused.
    EXPECT_EQ(operation.OnReply(identity, kOther).kind, ReplyMeaning::Kind::Other);
    EXPECT_EQ(operation.OnReply(ReplyOf({"Error", "2"}), kCard).kind, ReplyMeaning::Kind::Other);
    EXPECT_TRUE(operation.awaiting());
    // Taken only when whole.
    EXPECT_EQ(operation.OnReply(identity, kCard, [](std::string_view) { return false; }).kind,
              ReplyMeaning::Kind::Other);
    EXPECT_EQ(operation.OnReply(identity, kCard).kind, ReplyMeaning::Kind::Answered);
    EXPECT_FALSE(operation.awaiting());
    EXPECT_EQ(operation.OnReply(identity, kCard).kind, ReplyMeaning::Kind::Other);

    operation.Identified({.ipAddress = "198.51.100.7", .account = "admin", .password = "x"});
    const std::vector<Outgoing> configure = operation.Begin(Step::Configure);
    ASSERT_EQ(configure.size(), 2u);  // to the card, and the broadcast copy
    // A card reached by the broadcast copy may answer from another address.
    EXPECT_EQ(operation.OnReply(ReplyOf({"Configure", "record"}), kOther).kind,
              ReplyMeaning::Kind::Answered);
}

TEST(CardOperation, TheCountdownEndsInTheStepsOwnSilence) {
    CardOperation operation(Operation::Upgrade, Row(), kCommandLinePolicy, kPc);
    static_cast<void>(operation.Begin(Step::Upgrade));
    for (int second = 1; second < RulesOf(Step::Upgrade).ticks; ++second) {
        ASSERT_FALSE(operation.Tick().has_value()) << second;
    }
    EXPECT_EQ(operation.Tick(), exchange::kUpgradeNoResponse);
    EXPECT_FALSE(operation.awaiting());
    EXPECT_FALSE(operation.Tick().has_value());  // said once
    // A reset awaits nothing: no countdown runs.
    static_cast<void>(operation.Begin(Step::Reset));
    EXPECT_FALSE(operation.awaiting());
    EXPECT_FALSE(operation.Tick().has_value());
}

}  // namespace
}  // namespace parvolink
