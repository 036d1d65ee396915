// SPDX-License-Identifier: GPL-3.0-or-later
// The one place a card step is written: where each step's request goes, and what each reply
// means, for the window's engine and the command line's card task alike.
#include <gtest/gtest.h>

#include "core/protocol/DatagramCodec.h"
#include "core/protocol/Exchange.h"

namespace parvolink {
namespace {

const Ipv4Address kPc{198, 51, 100, 1};

std::vector<std::string> Hosts(const std::vector<Outgoing>& requests) {
    std::vector<std::string> hosts;
    for (const Outgoing& r : requests) {
        hosts.push_back(r.host);
    }
    return hosts;
}

TEST(Exchange, EachStepGoesWhereItsRoadSays) {
    const DeviceEntry local{.ipAddress = "198.51.100.007", .macAddress = "m"};
    const DeviceEntry remote{.ipAddress = "203.0.113.9", .macAddress = "m"};
    const DeviceEntry named{.ipAddress = "ups-room-a", .macAddress = "m"};
    using V = std::vector<std::string>;
    const struct {
        Step step;
        V local, remote;
    } cases[] = {
        {Step::Identify, {"198.51.100.7"}, {"203.0.113.9"}},
        {Step::Configure,
         {"198.51.100.7", "255.255.255.255"},
         {"255.255.255.255", "255.255.255.255"}},
        {Step::Snmpv3, {"198.51.100.7", "255.255.255.255"}, {"255.255.255.255", "255.255.255.255"}},
        {Step::SetConfigure, {"198.51.100.7"}, {"255.255.255.255"}},
        {Step::Reset, {"198.51.100.7"}, {"255.255.255.255"}},
        {Step::SetSnmpv3, {"198.51.100.7"}, {"255.255.255.255"}},
        {Step::ResetSnmpv3, {"198.51.100.7"}, {"255.255.255.255"}},
        {Step::Upgrade, {"198.51.100.7"}, {"203.0.113.9"}},  // never a broadcast
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.step));
        EXPECT_EQ(Hosts(Requests(c.step, local, "", kPc)), c.local);
        EXPECT_EQ(Hosts(Requests(c.step, remote, "", kPc)), c.remote);
        EXPECT_TRUE(Requests(c.step, named, "", kPc).empty());  // not a dotted quad: not sent
    }
    const std::string line =
        DatagramCodec::DecodeText(Requests(Step::SetConfigure, local, "fields\t", kPc)[0].wire);
    EXPECT_EQ(line.substr(0, line.find('\0')),
              "Parvolink\tSetConfigure\t198.51.100.007\tm\t\t\tfields\t");
}

TEST(Exchange, WhatEachReplyMeans) {
    using K = ReplyMeaning::Kind;
    const struct {
        Step step;
        ReplyCommand command;
        std::string_view payload;  // a view: GCC 12 -O3 misreads a table of strings
        K kind;
        std::optional<Message> message;
    } cases[] = {
        {Step::SetConfigure, ReplyCommand::SetConfigure, "OK\t", K::Answered,
         exchange::kUpdateSuccessfully},
        {Step::SetSnmpv3, ReplyCommand::SetSnmpv3, "OK\t", K::Answered,
         exchange::kUsmUpdateSuccessfully},
        {Step::SetConfigure, ReplyCommand::SetConfigure, "FAIL\t", K::NotOk,
         Message{"The card did not take the request: it answered \"FAIL\".", "Warning",
                 MessageIcon::Warning}},
        {Step::SetConfigure, ReplyCommand::SetConfigure, "OK", K::Other, std::nullopt},
        {Step::SetConfigure, ReplyCommand::SetSnmpv3, "OK\t", K::Other, std::nullopt},
        {Step::Upgrade, ReplyCommand::Upgrade, "OK\t", K::Answered, std::nullopt},
        {Step::Configure, ReplyCommand::Configure, "a\tb\t", K::Answered, std::nullopt},
        {Step::Configure, ReplyCommand::Error, "1\t", K::PacketMismatch, exchange::kPacketMismatch},
        {Step::Snmpv3, ReplyCommand::Error, "2\t", K::AccountMismatch, exchange::kAccountMismatch},
        {Step::Snmpv3, ReplyCommand::Error, "3\t", K::Other, std::nullopt},
        {Step::Snmpv3, ReplyCommand::Error, "\t", K::Other, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.payload);
        const ReplyMeaning meaning = Interpret(c.step, Reply{c.command, std::string(c.payload)});
        EXPECT_EQ(meaning.kind, c.kind);
        EXPECT_EQ(meaning.message, c.message);
    }
    EXPECT_EQ(RulesOf(Step::Upgrade).silence, &exchange::kUpgradeNoResponse);
    EXPECT_EQ(RulesOf(Step::SetConfigure).ticks, 10);
}

}  // namespace
}  // namespace parvolink
