// SPDX-License-Identifier: GPL-3.0-or-later
// A command on one card, carried out against the simulated card's answers: every datagram the
// task sends is delivered to the card and every reply comes back, as over the network.
#include <gtest/gtest.h>

#include "support/SimulatedCardRun.h"
#include "support/TempDir.h"

namespace parvolink::fleet {
namespace {

const Ipv4Address kPc{198, 51, 100, 1};
const Ipv4Address kCardAddress{198, 51, 100, 2};

class CardTaskTest : public ::testing::Test {
protected:
    // Runs task to its end against card: at most ticks seconds.
    void Run(CardTask& task, int ticks = 20) { run.Run(task, ticks); }
    void Deliver(CardTask& task, const std::vector<Outgoing>& sends) { run.Deliver(task, sends); }
    std::vector<std::string> Replies(const Outgoing& send) { return run.Replies(send); }
    // An upgrade job with a small file, which dir keeps.
    static Job SmallUpgrade(testing::TempDir& dir) {
        dir.Write("small.bin", std::string(1000, 'x'));
        Job job{Operation::Upgrade};
        job.firmware = dir.path() / "small.bin";
        return job;
    }
    CardTask Task(Job job, std::string password = "lanterns") {
        return CardTask(kCardAddress, "admin", std::move(password), kPc, std::move(job));
    }
    static Job Write(std::vector<FieldChange> changes) {
        Job job{Operation::WriteConfiguration};
        job.changes = std::move(changes);
        return job;
    }

    cardsim::Card card = cardsim::MakeCard(kCardAddress, 0);
    cardsim::Faults faults;
    testing::SimulatedCardRun run{card, faults, {}};
    std::vector<std::string>& sent = run.sent;  // commands, in order
};

TEST_F(CardTaskTest, ReadsTheConfigurationByName) {
    CardTask task = Task({Operation::ReadConfiguration});
    Run(task);
    ASSERT_EQ(task.result(), Result::Done) << task.message();
    EXPECT_EQ(task.card().macAddress, card.macAddress);
    const auto fields = ReadConfigurationFields(task.configuration(), GatesFor("2.1", "NMC-3"));
    const auto value = [&](std::string_view name) {
        for (const NamedValue& f : fields) {
            if (f.name == name) {
                return f.value;
            }
        }
        return std::string("(missing)");
    };
    EXPECT_EQ(value("host-name"), "CARD-1");
    EXPECT_EQ(value("ip-address"), "198.51.100.2");
    EXPECT_EQ(value("dhcp"), "disabled");
    EXPECT_EQ(value("http-port"), "80");
    EXPECT_EQ(value("time-zone"), "GMT Dublin,Lisbon,London");
    EXPECT_EQ(value("date"), "12/10/2026");
    EXPECT_EQ(value("access-read-only"), "any");
    EXPECT_EQ(sent, (std::vector<std::string>{"Discover", "Configure", "Configure"}));
}

TEST_F(CardTaskTest, WritesOnlyTheFieldsNamed) {
    const std::vector<std::string> before = card.configuration;
    CardTask task = Task(Write({{"sntp-server-1", "198.51.100.9"}, {"http", "disabled"}}));
    Run(task);
    ASSERT_EQ(task.result(), Result::Done) << task.message();
    EXPECT_EQ(task.message(), "Update successfully.");
    ASSERT_EQ(card.configuration.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        const std::string expected = i == 14 ? "198.51.100.9" : i == 8 ? "0" : before[i];
        EXPECT_EQ(card.configuration[i], expected) << "field " << i + 1;
    }
}

// Values the dialog would refuse: the card is read, never written.
TEST_F(CardTaskTest, RefusedValuesWriteNothing) {
    const struct {
        FieldChange change;
        std::string message;
    } cases[] = {
        {{"http-port", "0"}, "The value of HTTP Port is out of the limitation!"},
        {{"telnet-port", "x"}, "Please enter an integer."},
        {{"ip-address", "10.0.0"}, "ip-address: \"10.0.0\" is not an address such as 192.168.1.10"},
        {{"date", "13/01/2026"}, "The filed of month should between 1~12!"},
        {{"time", "12:30"}, "The filed of second should between 0~59!"},
        {{"host-name", "a-name-of-16-chr"}, "host-name: at most 15 characters"},
        {{"dhcp", "maybe"}, "dhcp: takes enabled or disabled"},
        {{"time-zone", "Mars"},
         "time-zone: \"Mars\" is not a time zone of the card (GMT-12 Eniwetok,Kwajalein ... "
         "GMT+12 Auckland,Wellington)"},
    };
    for (const auto& c : cases) {
        sent.clear();
        const std::vector<std::string> before = card.configuration;
        CardTask task = Task(Write({{"contact", "x"}, c.change}));
        Run(task);
        EXPECT_EQ(task.result(), Result::BadInput) << c.change.name;
        EXPECT_EQ(task.message(), c.message);
        EXPECT_EQ(card.configuration, before);
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "SetConfigure"), 0);
    }
}

TEST_F(CardTaskTest, CardFaultsAreReportedAsTheWindowWould) {
    const struct {
        const char* name;
        cardsim::Faults faults;
        std::string password;
        Result result;
        std::string message;
        int seconds;
    } cases[] = {
        {"wrong password", {}, "guess", Result::Refused, "Account or Password mismatched.", 0},
        {"error 1", {.error1 = true}, "lanterns", Result::Refused, "Packet format mismatched.", 0},
        {"not OK",
         {.notOk = true},
         "lanterns",
         Result::Refused,
         "The card did not take the request: it answered \"FAIL\".",
         0},
        {"silent",
         {.silent = true},
         "lanterns",
         Result::NoResponse,
         "No response from the SNMP/Web device.",
         3},
        {"writes ignored",
         {.ignoreWrites = true},
         "lanterns",
         Result::NoResponse,
         "No response from the SNMP/Web device.",
         10},
        {"malformed",
         {.malformed = true},
         "lanterns",
         Result::NoResponse,
         "No response from the SNMP/Web device.",
         3},
    };
    for (const auto& c : cases) {
        faults = c.faults;
        CardTask task = Task(Write({{"contact", "x"}}), c.password);
        Deliver(task, task.Start());
        int seconds = 0;
        while (!task.finished() && seconds < 30) {
            Deliver(task, task.Tick());
            ++seconds;
        }
        EXPECT_EQ(task.result(), c.result) << c.name;
        EXPECT_EQ(task.message(), c.message) << c.name;
        // Refusals end at once, before any tick; silence ends with the countdown of the
        // request not answered.
        EXPECT_EQ(seconds, c.seconds) << c.name;
    }
}

// The card is identified only by its own answer; later replies are taken from any sender.
TEST_F(CardTaskTest, IdentifiedByItsOwnAnswerThenRepliesFromAnySender) {
    CardTask task = Task({Operation::Identify});
    static_cast<void>(task.Start());
    const std::string reply = DatagramCodec::EncodeText(
        "QorinWebConfig\tDiscover\t198.51.100.2\t00:C0:B7:00:00:09\t2.1\tNMC\th\t0\t");
    static_cast<void>(task.OnDatagram(reply, {198, 51, 100, 3}));
    EXPECT_FALSE(task.finished());
    static_cast<void>(task.OnDatagram(reply, kCardAddress));
    EXPECT_EQ(task.result(), Result::Done);
    EXPECT_EQ(task.card().macAddress, "00:C0:B7:00:00:09");

    // Once identified, the card reached by the broadcast copy may answer from elsewhere.
    CardTask read = Task({Operation::ReadConfiguration});
    static_cast<void>(read.Start());
    static_cast<void>(read.OnDatagram(reply, kCardAddress));
    ASSERT_FALSE(read.finished());
    const std::string configure = DatagramCodec::EncodeText("QorinWebConfig\tConfigure\t" + [&] {
        std::string fields;
        for (const std::string& f : card.configuration) {
            fields += f + '\t';
        }
        return fields;
    }());
    static_cast<void>(read.OnDatagram(configure, {203, 0, 113, 9}));
    EXPECT_TRUE(read.finished());
    EXPECT_EQ(read.result(), Result::Done);
}

TEST_F(CardTaskTest, Snmpv3UserContextAndReset) {
    Job user{Operation::WriteUsers};
    user.user = {2, "ops", AuthPriv, "authpass1", "privpass1"};
    CardTask setUser = Task(user);
    Run(setUser);
    ASSERT_EQ(setUser.result(), Result::Done) << setUser.message();
    EXPECT_EQ(setUser.message(), "Update SNMPv3 USM successfully.");
    EXPECT_EQ(card.userTable[5], "ops");

    Job context{Operation::WriteUsers};
    context.context = "rack7";
    CardTask setContext = Task(context);
    Run(setContext);
    EXPECT_EQ(setContext.result(), Result::Done);
    EXPECT_EQ(card.userTable[11], "rack7");

    CardTask read = Task({Operation::ReadUsers});
    Run(read);
    EXPECT_EQ(read.users().userNames[2], "ops");
    EXPECT_EQ(LevelOf(read.users().securityLevels, 2), AuthPriv);

    CardTask reset = Task({Operation::ResetUsers});
    Run(reset);
    EXPECT_EQ(reset.result(), Result::Done);
    EXPECT_EQ(card.userTable[5], "");
}

TEST_F(CardTaskTest, GatesAndChecksRefuseBeforeWriting) {
    Job shortPassword{Operation::WriteUsers};
    shortPassword.user = {1, "ops", AuthNoPriv, "short", ""};
    CardTask task = Task(shortPassword);
    Run(task);
    EXPECT_EQ(task.result(), Result::BadInput);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "SetSNMPv3"), 0);

    card.version = "1.11";
    for (const Operation kind : {Operation::ReadUsers, Operation::ResetConfiguration}) {
        sent.clear();
        CardTask old = Task({kind});
        Run(old);
        EXPECT_EQ(old.result(), Result::BadInput);
        EXPECT_EQ(sent, std::vector<std::string>{"Discover"});
    }
}

TEST_F(CardTaskTest, UpgradeChecksTheFlashBeforeAsking) {
    testing::TempDir dir;
    dir.Write("small.bin", std::string(1000, 'x'));
    dir.Write("large.bin", std::string(300 * 1024, 'x'));
    card.flashCode = "1";  // 256 KiB
    Job large{Operation::Upgrade};
    large.firmware = dir.path() / "large.bin";
    CardTask refused = Task(large);
    Run(refused);
    EXPECT_EQ(refused.result(), Result::BadInput);
    EXPECT_EQ(refused.message(),
              "Flash size mismatch, please make sure the selected device and file are matched!");
    EXPECT_EQ(sent, std::vector<std::string>{"Discover"});

    Job small{Operation::Upgrade};
    small.firmware = dir.path() / "small.bin";
    CardTask accepted = Task(small);
    Run(accepted);
    EXPECT_TRUE(accepted.fetching());
    accepted.FinishFetch(Result::Done, "Upgrade OK!");
    EXPECT_EQ(accepted.result(), Result::Done);
}

// After its "OK" a card has fifteen seconds to ask for the file; once its transfer runs, the
// TFTP server times it instead.
TEST_F(CardTaskTest, ACardThatNeverAsksForTheFileIsNoResponse) {
    testing::TempDir dir;
    const Job job = SmallUpgrade(dir);
    CardTask silent = Task(job);
    CardTask fetching = Task(job);
    Run(silent);
    Run(fetching);
    fetching.FetchStarted();
    for (int second = 1; second <= 60; ++second) {
        static_cast<void>(silent.Tick());
        static_cast<void>(fetching.Tick());
        EXPECT_EQ(silent.finished(), second >= 15) << second;
    }
    EXPECT_EQ(silent.result(), Result::NoResponse);
    EXPECT_EQ(silent.message(), "The card did not ask for the firmware file.");
    EXPECT_TRUE(fetching.fetching());
}

// A fast card may fetch the whole file before its "OK" is read: that end is kept, and applied
// once the "OK" is.
TEST_F(CardTaskTest, ATransferEndingBeforeItsOkIsKept) {
    testing::TempDir dir;
    CardTask task = Task(SmallUpgrade(dir));
    const std::vector<Outgoing> upgrade =
        task.OnDatagram(Replies(task.Start().at(0)).at(0), kCardAddress);
    ASSERT_TRUE(task.expectsFetch());
    task.FinishFetch(Result::Done, "Upgrade OK!");
    EXPECT_FALSE(task.finished());
    static_cast<void>(task.OnDatagram(Replies(upgrade.at(0)).at(0), kCardAddress));
    EXPECT_TRUE(task.finished());
    EXPECT_EQ(task.result(), Result::Done);
    EXPECT_EQ(task.message(), "Upgrade OK!");
}

// After its transfer an upgraded card is asked, every two seconds, until it comes back with
// the file's version: done only then; another version or silence is said when the wait ends.
TEST_F(CardTaskTest, AnUpgradeIsConfirmedByTheVersionThatComesBack) {
    testing::TempDir dir;
    const Job small = SmallUpgrade(dir);
    const struct {
        const char* name;
        const char* comesBackWith;  // nothing: silent
        Result result;
        std::string message;
        int seconds;
    } cases[] = {
        {"new version", "2.40", Result::Done, "Upgrade OK! The card came back with version 2.40.",
         2},
        {"old version", "2.1", Result::Refused,
         "transferred, but the card came back with version 2.1, not the file's V2.40", 10},
        {"silent", nullptr, Result::NoResponse, "transferred, did not come back", 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        card = cardsim::MakeCard(kCardAddress, 0);
        faults = {};
        Job job = small;
        job.confirm = true;
        job.confirmSeconds = 10;
        job.firmwareVersion = "V2.40";
        CardTask task = Task(job);
        Run(task);
        ASSERT_TRUE(task.fetching());
        task.FinishFetch(Result::Done, "Upgrade OK!");
        ASSERT_FALSE(task.finished());
        if (c.comesBackWith != nullptr) {
            card.version = c.comesBackWith;
        } else {
            faults.silent = true;
        }
        sent.clear();
        int seconds = 0;
        while (!task.finished() && seconds < 20) {
            Deliver(task, task.Tick());
            ++seconds;
        }
        EXPECT_EQ(task.result(), c.result);
        EXPECT_EQ(task.message(), c.message);
        EXPECT_EQ(seconds, c.seconds);
        // Asked at 2, 4, 6 and 8 s: the tenth second ends the wait.
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "Discover"), c.seconds == 2 ? 1 : 4);
    }
}

// With a hold, a write waits after every check until the host proceeds or abandons it.
TEST_F(CardTaskTest, AHeldWriteWaitsForTheFleet) {
    for (const bool proceed : {true, false}) {
        SCOPED_TRACE(proceed);
        sent.clear();
        card = cardsim::MakeCard(kCardAddress, 0);
        CardTask task = Task(Write({{"contact", "held"}}));
        task.HoldBeforeWriting(true);
        Run(task);
        ASSERT_TRUE(task.held());
        EXPECT_EQ(sent, (std::vector<std::string>{"Discover", "Configure", "Configure"}));
        EXPECT_TRUE(task.Tick().empty());  // no countdown runs out while it waits
        EXPECT_TRUE(task.held());
        if (proceed) {
            Deliver(task, task.Proceed());
            EXPECT_EQ(task.result(), Result::Done);
            EXPECT_EQ(card.configuration[0], "held");
        } else {
            task.Abandon("not written");
            EXPECT_EQ(task.result(), Result::BadInput);
            EXPECT_EQ(std::count(sent.begin(), sent.end(), "SetConfigure"), 0);
            EXPECT_NE(card.configuration[0], "held");
        }
    }
}

// A card already as asked is left alone: nothing is sent to write it, and it says so.
TEST_F(CardTaskTest, ACardAlreadyAsAskedIsUnchanged) {
    const std::string server = card.configuration[14];
    CardTask same = Task(Write({{"sntp-server-1", server}}));
    Run(same);
    EXPECT_EQ(same.result(), Result::Done);
    EXPECT_TRUE(same.unchanged());
    EXPECT_EQ(same.resultName(), "unchanged");
    EXPECT_TRUE(same.changes().empty());
    EXPECT_FALSE(same.sentWrite());
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "SetConfigure"), 0);

    CardTask other = Task(Write({{"sntp-server-1", "198.51.100.9"}}));
    Run(other);
    EXPECT_FALSE(other.unchanged());
    EXPECT_EQ(other.changes(), (std::vector<Change>{{"sntp-server-1", server, "198.51.100.9"}}));
    EXPECT_TRUE(other.sentWrite());

    // The card's keys are never read back: a user of the same name and level is unchanged only
    // when its agent already answered with the passwords given.
    Job user{Operation::WriteUsers};
    user.user = {2, "ops", AuthNoPriv, "authpass1", ""};
    CardTask first = Task(user);
    Run(first);
    ASSERT_TRUE(first.sentWrite());
    for (const bool answers : {false, true}) {
        sent.clear();
        CardTask again = Task(user);
        again.UserAlreadyAnswers(answers);
        Run(again);
        EXPECT_EQ(again.unchanged(), answers);
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "SetSNMPv3"), answers ? 0 : 1);
    }

    testing::TempDir dir;
    Job upgrade = SmallUpgrade(dir);
    upgrade.firmwareVersion = "2.40";
    card.version = "V2.40";
    sent.clear();
    CardTask current = Task(upgrade);
    Run(current);
    EXPECT_TRUE(current.unchanged());
    EXPECT_EQ(sent, std::vector<std::string>{"Discover"});
}

// --check: read and checked as a real run, what would change said, nothing written, whether
// the task holds for the fleet or not.
TEST_F(CardTaskTest, ACheckWritesNothing) {
    for (const bool hold : {false, true}) {
        SCOPED_TRACE(hold);
        sent.clear();
        const std::vector<std::string> before = card.configuration;
        CardTask task = Task(Write({{"contact", "checked"}}));
        task.CheckOnly(true);
        task.HoldBeforeWriting(hold);
        Run(task);
        if (hold) {
            ASSERT_TRUE(task.held());
            Deliver(task, task.Proceed());
        }
        EXPECT_EQ(task.result(), Result::Done);
        EXPECT_FALSE(task.unchanged());
        EXPECT_FALSE(task.sentWrite());
        EXPECT_EQ(task.changes().size(), 1U);
        EXPECT_EQ(sent, (std::vector<std::string>{"Discover", "Configure", "Configure"}));
        EXPECT_EQ(card.configuration, before);
    }
}

// A held card that another card kept from being written takes that card's result.
TEST_F(CardTaskTest, AHeldBackCardNamesTheCardThatHeldIt) {
    CardTask task = Task(Write({{"contact", "held"}}));
    task.HoldBeforeWriting(true);
    Run(task);
    ASSERT_TRUE(task.held());
    task.HoldBack({198, 51, 100, 7}, Result::NoResponse);
    EXPECT_EQ(task.result(), Result::NoResponse);
    EXPECT_EQ(task.resultName(), "held-back");
    EXPECT_EQ(task.heldBy(), (Ipv4Address{198, 51, 100, 7}));
    EXPECT_NE(task.message().find("198.51.100.7"), std::string::npos);
    EXPECT_FALSE(task.sentWrite());
}

// Each card its own account: found by MAC address once the card is identified; a card no line
// names takes the password given, or without one is refused before it is asked anything more.
TEST_F(CardTaskTest, AccountsComeFromTheFirstLineNamingTheCard) {
    std::string error;
    const auto accounts = std::make_shared<const Accounts>(*Accounts::Parse(
        "198.51.100.99 admin nothere\n" + card.macAddress + " admin lanterns\n", error));
    const auto nobody =
        std::make_shared<const Accounts>(*Accounts::Parse("198.51.100.99 admin x\n", error));
    const struct {
        std::shared_ptr<const Accounts> accounts;
        bool withoutLine;
        Result result;
    } cases[] = {
        {accounts, false, Result::Done},    // the line's password, not the wrong one given
        {nobody, true, Result::Refused},    // the wrong password given
        {nobody, false, Result::BadInput},  // none at all
    };
    for (const auto& c : cases) {
        sent.clear();
        CardTask task = Task({Operation::ReadConfiguration}, "wrong");
        task.UseAccounts(c.accounts, c.withoutLine);
        Run(task);
        EXPECT_EQ(task.result(), c.result) << task.message();
        if (c.result == Result::BadInput) {
            EXPECT_EQ(sent, std::vector<std::string>{"Discover"});
        }
    }
}

TEST(Accounts, LinesAndWhatTheyMatch) {
    std::string error;
    const auto accounts = Accounts::Parse(
        "# site A\n"
        "\n"
        "  198.51.100.2\tops   two wrds\r\n"
        "00-c0-b7-00-00-03 admin mac\n"
        "* admin any\n"
        "198.51.100.4 admin never\n",
        error);
    ASSERT_TRUE(accounts) << error;
    const struct {
        Ipv4Address address;
        const char* mac;
        const char* account;
        const char* password;
    } cases[] = {
        {{198, 51, 100, 2}, "00:C0:B7:00:00:02", "ops", "two wrds"},
        {{198, 51, 100, 3}, "00:C0:B7:00:00:03", "admin", "mac"},
        {{198, 51, 100, 9}, "00:C0:B7:00:00:03", "admin", "mac"},  // a card that moved
        {{198, 51, 100, 4}, "00:C0:B7:00:00:04", "admin", "any"},  // the first line wins
    };
    for (const auto& c : cases) {
        const auto found = accounts->For(c.address, c.mac);
        ASSERT_TRUE(found) << c.mac;
        EXPECT_EQ(found->account, c.account);
        EXPECT_EQ(found->password, c.password);
    }
    const auto one = Accounts::Parse("198.51.100.2 admin x\n", error);
    EXPECT_FALSE(one->For({198, 51, 100, 3}, "00:C0:B7:00:00:03").has_value());
}

TEST(Accounts, RefusesWhatIsNotACardsLineWithoutShowingThePassword) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"198.51.100.2 admin\n", "line 1: give CARD ACCOUNT PASSWORD"},
        {"# x\n198.51.100.300 admin secret\n",
         "line 2: \"198.51.100.300\" is not a card's address, a MAC address or *"},
        {"00:C0:B7:00:00 admin secret\n",
         "line 1: \"00:C0:B7:00:00\" is not a card's address, a MAC address or *"},
        {"* administrator secret\n", "line 1: the account has more than 8 characters"},
        {"* admin secret-of-12\n",
         "line 1: the password has more than 8 characters, more than a card keeps"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(Accounts::Parse(c.text, error).has_value()) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

// What no card's form takes is refused before any card is asked; what some card takes passes.
TEST(CheckWithoutCard, RefusesOnlyWhatNoCardTakes) {
    const struct {
        FieldChange change;
        bool refused;
    } cases[] = {
        {{"http-port", "99999"}, true},         {{"http-port", "8080"}, false},
        {{"date", "13/45/2026"}, true},         {{"date", "02/29/2028"}, false},
        {{"time", "25:00:00"}, true},           {{"time", "23:59:59"}, false},
        {{"subnet-mask", "255.0.255.0"}, true}, {{"subnet-mask", "255.255.252.0"}, false},
        {{"ip-address", "10.0.0.5"}, false},    {{"gateway", "172.16.0.1"}, false},
        {{"host-name", "UPS-ROOM-A"}, false},   {{"access-read-only", "any"}, false},
    };
    for (const auto& c : cases) {
        Job job{Operation::WriteConfiguration};
        job.changes = {c.change};
        EXPECT_EQ(CheckWithoutCard(job).has_value(), c.refused)
            << c.change.name << "=" << c.change.value;
    }
    Job user{Operation::WriteUsers};
    user.user = {2, "ops", 1, "short", ""};
    EXPECT_TRUE(CheckWithoutCard(user));
    user.user.authPassword = "long-enough-1";
    EXPECT_FALSE(CheckWithoutCard(user));
}

}  // namespace
}  // namespace parvolink::fleet
