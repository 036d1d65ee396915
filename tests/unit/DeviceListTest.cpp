// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "core/devices/DeviceList.h"
#include "core/devices/DeviceListOperations.h"
#include "core/protocol/Messages.h"

namespace parvolink {
namespace {

// Answers the account dialog from a script and records every message.
class ScriptedHost : public DeviceListHost {
public:
    // An entry per dialog run: the values the user leaves, or nothing for a cancel. The
    // optional hook runs while the dialog is "open", as Discover replies would.
    struct Run {
        std::optional<AccountValues> result;
        std::function<void()> meanwhile;
    };
    std::deque<Run> runs;
    std::vector<AccountValues> shown;  // what each dialog run opened with
    std::vector<Message> messages;

    bool RunAccountDialog(AccountValues& values) override {
        shown.push_back(values);
        if (runs.empty()) {
            ADD_FAILURE() << "account dialog opened unexpectedly";
            return false;
        }
        Run run = std::move(runs.front());
        runs.pop_front();
        if (run.meanwhile) {
            run.meanwhile();
        }
        if (!run.result) {
            return false;
        }
        values = *run.result;
        return true;
    }
    void ShowMessage(const Message& message) override { messages.push_back(message); }
};

DeviceEntry Discovered(std::string ip, std::string mac = "00:C0:B7:00:00:01") {
    DeviceEntry entry;
    entry.ipAddress = std::move(ip);
    entry.macAddress = std::move(mac);
    entry.passwordMask = std::string(devices::kPasswordUnknown);
    return entry;
}

// Rows are found by the whole text they keep, however long: a reply's address field of 16 or
// more characters finds its own row again instead of adding one per reply.
TEST(DeviceList, FindRowByIpComparesTheWholeText) {
    DeviceList list;
    list.Append(Discovered("192.168.1.10"));
    list.Append(Discovered("192.168.001.010"));
    list.Append(Discovered("192.168.001.010"));  // duplicate text: the lower index wins
    list.Append(Discovered("198.51.100.00030"));
    list.Append(Discovered("198.51.100.30   "));
    EXPECT_EQ(list.FindRowByIp("192.168.001.010"), 1);
    EXPECT_EQ(list.FindRowByIp("192.168.1.10"), 0);
    EXPECT_EQ(list.FindRowByIp("192.168.1.1"), DeviceList::kNone);
    EXPECT_EQ(list.FindRowByIp("192.168.1.10 "), DeviceList::kNone);
    EXPECT_EQ(list.FindRowByIp("198.51.100.00030"), 3);
    EXPECT_EQ(list.FindRowByIp("198.51.100.0003"), DeviceList::kNone);
    EXPECT_EQ(list.FindRowByIp("198.51.100.30   "), 4);
    EXPECT_EQ(list.FindRowByIp("198.51.100.30"), DeviceList::kNone);
    EXPECT_EQ(list.FindRowByIp(""), DeviceList::kNone);
}

TEST(DeviceList, HoldsAtMost255Rows) {
    DeviceList list;
    for (int i = 0; i < 255; ++i) {
        ASSERT_TRUE(list.Append(Discovered(std::to_string(i))).has_value());
    }
    EXPECT_TRUE(list.full());
    EXPECT_FALSE(list.Append(Discovered("one more")).has_value());
    EXPECT_EQ(list.size(), 255u);
}

TEST(DeviceList, AccountAndPasswordAreCutToEightCharacters) {
    DeviceList list;
    list.Append(Discovered("a"));
    list.SetAccount(0, "administrator", "0123456789");
    EXPECT_EQ(list.row(0).account, "administ");
    EXPECT_EQ(list.row(0).password, "01234567");
    EXPECT_EQ(list.row(0).passwordMask, "********");
}

// Removal from every position: the selection rule, and every remaining row keeps its own
// password.
TEST(DeviceList, RemoveKeepsPasswordsWithTheirRows) {
    struct Case {
        int removed;
        int selectedAfter;
        std::vector<std::string> left;
    };
    const Case cases[] = {{0, 0, {"b", "c"}}, {1, 1, {"a", "c"}}, {2, 1, {"a", "b"}}};
    for (const Case& c : cases) {
        DeviceList list;
        for (std::string name : {"a", "b", "c"}) {
            const auto i = list.Append(Discovered(name));
            list.SetAccount(*i, "acct-" + name, "pw-" + name);
        }
        list.Select(c.removed);
        RemoveRow(list);
        ASSERT_EQ(list.size(), c.left.size());
        EXPECT_EQ(list.selected(), c.selectedAfter) << "removed " << c.removed;
        for (std::size_t i = 0; i < c.left.size(); ++i) {
            EXPECT_EQ(list.row(i).ipAddress, c.left[i]);
            EXPECT_EQ(list.row(i).password, "pw-" + c.left[i]);
        }
    }
}

TEST(DeviceList, RemoveWithoutSelectionOrLastRow) {
    DeviceList list;
    RemoveRow(list);  // empty: nothing
    list.Append(Discovered("a"));
    RemoveRow(list);  // nothing selected: nothing
    EXPECT_EQ(list.size(), 1u);
    list.Select(0);
    RemoveRow(list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.selected(), DeviceList::kNone);
}

TEST(DeviceListOperations, AddAppendsPaddedAddressAndSelectsIt) {
    DeviceList list;
    list.Append(Discovered("192.168.1.10"));  // another text of the same address
    ScriptedHost host;
    host.runs.push_back({AccountValues{{192, 168, 1, 10}, "admin", ""}, {}});
    AddRow(list, host);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(host.shown.at(0).ipAddress, (Ipv4Address{0, 0, 0, 0}));
    const DeviceEntry& row = list.row(1);
    EXPECT_EQ(row.ipAddress, "192.168.001.010");
    EXPECT_EQ(row.account, "admin");
    EXPECT_EQ(row.passwordMask, "********");  // also for an empty password
    EXPECT_EQ(row.hostName + row.version + row.model + row.macAddress + row.flashSize, "");
    EXPECT_EQ(list.selected(), 1);
    EXPECT_TRUE(host.messages.empty());
}

TEST(DeviceListOperations, AddRefusals) {
    struct Case {
        const char* name;
        std::size_t rowsBefore;
        std::function<void(DeviceList&)> meanwhile;
        std::optional<Message> message;
        bool dialogOpened;
    };
    const auto fillTo255 = [](DeviceList& list) {
        while (!list.full()) {
            list.Append(Discovered("10.0.0." + std::to_string(list.size())));
        }
    };
    const Case cases[] = {
        {"Full", 255, {}, devices::kTooMany, false},
        {"AlmostFull", 254, {}, std::nullopt, true},
        {"Duplicate", 0, [](DeviceList& l) { l.Append(Discovered("010.001.002.003")); },
         devices::kDuplicate, true},
        {"FilledWhileOpen", 10, fillTo255, devices::kTooMany, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceList list;
        for (std::size_t i = 0; i < c.rowsBefore; ++i) {
            list.Append(Discovered("10.0.0." + std::to_string(i)));
        }
        ScriptedHost host;
        host.runs.push_back({AccountValues{{10, 1, 2, 3}, "a", "p"}, [&] {
                                 if (c.meanwhile) {
                                     c.meanwhile(list);
                                 }
                             }});
        AddRow(list, host);
        EXPECT_EQ(host.shown.size(), c.dialogOpened ? 1u : 0u);
        if (c.message) {
            ASSERT_EQ(host.messages.size(), 1u);
            EXPECT_EQ(host.messages[0], *c.message);
            // Refused for being full: the address never entered the list.
            EXPECT_EQ(list.FindRowByIp("010.001.002.003") == DeviceList::kNone,
                      *c.message == devices::kTooMany);
        } else {
            EXPECT_TRUE(host.messages.empty());
            EXPECT_EQ(list.size(), 255u);
        }
    }
}

TEST(DeviceListOperations, CancelChangesNothing) {
    DeviceList list;
    list.Append(Discovered("001.002.003.004"));
    list.SetAccount(0, "admin", "secret");
    list.Select(0);
    const DeviceList before = list;
    ScriptedHost host;
    host.runs.push_back({std::nullopt, {}});
    host.runs.push_back({std::nullopt, {}});
    AddRow(list, host);
    ModifyRow(list, host);
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(list.row(0), before.row(0));
    EXPECT_EQ(list.selected(), 0);
    EXPECT_TRUE(host.messages.empty());
}

TEST(DeviceListOperations, ModifyOpensWithTheRowAndUpdatesIt) {
    DeviceList list;
    list.Append(Discovered("192.168.1.10"));  // discovered text, not zero-padded
    list.Select(0);
    ScriptedHost host;
    host.runs.push_back({AccountValues{{192, 168, 1, 10}, "root", "pw"}, {}});
    ModifyRow(list, host);
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].ipAddress, (Ipv4Address{192, 168, 1, 10}));
    EXPECT_EQ(host.shown[0].account, "");
    // The address could not be edited: the card's own text stays, so its next Discover reply
    // still finds this row.
    EXPECT_EQ(list.row(0).ipAddress, "192.168.1.10");
    EXPECT_EQ(list.row(0).account, "root");
    EXPECT_EQ(list.row(0).password, "pw");
    EXPECT_EQ(list.row(0).passwordMask, "********");
    EXPECT_EQ(list.selected(), 0);
    ApplyDiscoverReply(list, {"192.168.1.10", "mac", "2.0", "NMC", "card", "512K"});
    EXPECT_EQ(list.size(), 1u);
}

TEST(DeviceListOperations, ModifyOfAnEditableAddressStoresItPadded) {
    DeviceList list;
    list.Append(Discovered("0.1.1.1"));
    list.Select(0);
    ScriptedHost host;
    host.runs.push_back({AccountValues{{0, 1, 1, 9}, "root", "pw"}, {}});
    ModifyRow(list, host);
    EXPECT_EQ(list.row(0).ipAddress, "000.001.001.009");
}

TEST(DeviceListOperations, ModifyRefusesAnotherRowsAddress) {
    DeviceList list;
    list.Append(Discovered("000.001.001.001"));
    list.Append(Discovered("010.000.000.009"));
    list.Select(0);
    ScriptedHost host;
    host.runs.push_back({AccountValues{{10, 0, 0, 9}, "x", "y"}, {}});
    const DeviceList before = list;
    ModifyRow(list, host);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], devices::kDuplicate);
    EXPECT_EQ(list.row(0), before.row(0));
    EXPECT_EQ(list.row(1), before.row(1));
}

TEST(DeviceListOperations, ModifyEditsTheRowItOpenedOn) {
    DeviceList list;
    list.Append(Discovered("001.001.001.001"));
    list.Select(0);
    ScriptedHost host;
    // A Discover reply adds and selects a row while the dialog is open.
    host.runs.push_back({AccountValues{{1, 1, 1, 1}, "x", "y"}, [&] {
                             list.Append(Discovered("002.002.002.002"));
                             list.Select(1);
                         }});
    ModifyRow(list, host);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(list.row(0).account, "x");
    EXPECT_EQ(list.row(1).account, "");
    EXPECT_EQ(list.selected(), 1);
}

TEST(DeviceListOperations, ModifyChangesNothingWhenItsRowHasGone) {
    DeviceList list;
    list.Append(Discovered("001.001.001.001"));
    list.Select(0);
    ScriptedHost host;
    host.runs.push_back({AccountValues{{1, 1, 1, 1}, "x", "y"}, [&] {
                             list.Clear();
                             list.Append(Discovered("003.003.003.003"));
                             list.Select(0);
                         }});
    ModifyRow(list, host);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(list.row(0).ipAddress, "003.003.003.003");
    EXPECT_EQ(list.row(0).account, "");
}

TEST(DeviceListOperations, ModifyWithoutSelectionDoesNothing) {
    DeviceList list;
    ScriptedHost host;
    ModifyRow(list, host);
    list.Append(Discovered("001.001.001.001"));
    ModifyRow(list, host);
    EXPECT_TRUE(host.shown.empty());
}

TEST(AccountDialogRule, AddressMustBeCompleteAndNotZero) {
    using Fields = std::array<std::optional<std::uint8_t>, 4>;
    EXPECT_TRUE(devices::AddressAcceptable(Fields{10, 0, 0, 1}));
    EXPECT_TRUE(devices::AddressAcceptable(Fields{0, 0, 0, 1}));
    EXPECT_FALSE(devices::AddressAcceptable(Fields{0, 0, 0, 0}));
    EXPECT_FALSE(devices::AddressAcceptable(Fields{10, std::nullopt, 0, 1}));
    EXPECT_FALSE(devices::AddressAcceptable(Fields{}));
}

TEST(RowAddress, ParsedLikeModifyReadsIt) {
    const std::pair<std::string, Ipv4Address> cases[] = {
        {"192.168.001.010", {192, 168, 1, 10}},
        {"192.168.1.10", {192, 168, 1, 10}},
        {"10.0.300.1", {10, 0, 44, 1}},  // low 8 bits
        {"10.2", {10, 2, 0, 0}},         // missing parts are 0
        {"", {0, 0, 0, 0}},
        {"abc.def", {0, 0, 0, 0}},
        {"001.002.003.004.005", {1, 2, 3, 4}},
        {"1.2.3.45678901234567", {1, 2, 3, 0x14}},  // only "1.2.3.456789012" is read
    };
    for (const auto& [text, address] : cases) {
        EXPECT_EQ(ParseRowAddress(text), address) << text;
    }
}

}  // namespace
}  // namespace parvolink
