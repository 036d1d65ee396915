// SPDX-License-Identifier: GPL-3.0-or-later
#include <QLineEdit>
#include <QPushButton>

#include "LanTestSupport.h"
#include "core/protocol/RequestEngine.h"
#include "kit/ControlIds.h"
#include "kit/IpAddressEdit.h"
#include "shell/config/ConfigurationDialog.h"
#include "shell/devices/AccountDialog.h"

namespace parvolink {
namespace {

using testing::LanTest;
using testing::TypeAsUser;
using testing::WhenModal;

class ConfigurationRoadLanTest : public LanTest {
protected:
    // Cards answer in milliseconds: the countdowns need not take seconds.
    ConfigurationRoadLanTest() { fastTicks = true; }

    void Click(QWidget* parent, const char* id) { parent->findChild<QPushButton*>(id)->click(); }
    bool ButtonsBack(MainDialog& window) {
        return window.findChild<QPushButton*>(ids::mainwindow::kConfiguration)->isEnabled();
    }

    // Discover, then Modify the card at 198.51.100.2 with the given account.
    MainDialog& DiscoverAndSetAccount(const QString& password) {
        MainDialog& window = OpenWindow();
        Click(&window, ids::mainwindow::kDiscover);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.deviceList().size() >= 3; }, 5000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return ButtonsBack(window); }, 5000));
        window.deviceList().Select(window.deviceList().FindRowByIp("198.51.100.2"));
        WhenModal<AccountDialog>([&](AccountDialog* account) {
            account->findChild<QLineEdit*>(ids::account::kAccount)->setText("admin");
            account->findChild<QLineEdit*>(ids::account::kPassword)->setText(password);
            Click(account, ids::kOk);
        });
        Click(&window, ids::mainwindow::kModify);
        return window;
    }

    // Runs action on the configuration dialog that Configuration opens.
    void Configure(MainDialog& window, std::function<void(ConfigurationDialog*)> action) {
        bool opened = false;
        WhenModal<ConfigurationDialog>([&](ConfigurationDialog* d) {
            opened = true;
            action(d);
        });
        Click(&window, ids::mainwindow::kConfiguration);
        ASSERT_TRUE(QTest::qWaitFor([&] { return opened; }, 5000));
    }
};

TEST_F(ConfigurationRoadLanTest, EditedSettingsAreWrittenAndReadBack) {
    StartCards();
    MainDialog& window = DiscoverAndSetAccount("lanterns");
    EXPECT_EQ(window.deviceList().selectedRow()->ipAddress, "198.51.100.2");  // kept as found
    Configure(window, [&](ConfigurationDialog* d) {
        EXPECT_EQ(d->findChild<QLineEdit*>(ids::configuration::kNetbiosName)->text(), "CARD-1");
        d->findChild<QLineEdit*>(ids::configuration::kNetbiosName)->setText("UPS-ROOM-A");
        d->findChild<QLineEdit*>(ids::configuration::kHttpPort)->setText("8080");
        Click(d, ids::kOk);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.empty(); }, 5000));
    EXPECT_EQ(prompter.Messages(), std::vector<Message>{exchange::kUpdateSuccessfully});
    EXPECT_TRUE(ButtonsBack(window));

    Configure(window, [&](ConfigurationDialog* d) {
        EXPECT_EQ(d->findChild<QLineEdit*>(ids::configuration::kNetbiosName)->text(), "UPS-ROOM-A");
        EXPECT_EQ(d->findChild<QLineEdit*>(ids::configuration::kHttpPort)->text(), "8080");
        d->reject();
    });
    const auto writes = LogLines("SetConfigure");
    ASSERT_EQ(writes.size(), 1u);  // once, to the card only
    EXPECT_NE(writes[0].find("198.51.100.2 direct"), std::string::npos);
}

TEST_F(ConfigurationRoadLanTest, WrongPasswordOpensNoDialog) {
    StartCards();
    MainDialog& window = DiscoverAndSetAccount("wrong");
    int dialogs = 0;
    QTimer watcher;  // closes, and counts, any configuration dialog that opens
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<ConfigurationDialog*>(QApplication::activeModalWidget())) {
            ++dialogs;
            d->reject();
        }
    });
    watcher.start(20);
    Click(&window, ids::mainwindow::kConfiguration);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.empty(); }, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ButtonsBack(window); }, 3000));
    QTest::qWait(1200);
    EXPECT_EQ(dialogs, 0);
    for (const Message& message : prompter.Messages()) {
        EXPECT_EQ(message, exchange::kAccountMismatch);
    }
}

TEST_F(ConfigurationRoadLanTest, CardIgnoringTheWriteGivesNoResponse) {
    StartCards({"--ignore-writes"});
    MainDialog& window = DiscoverAndSetAccount("lanterns");
    Configure(window, [&](ConfigurationDialog* d) { Click(d, ids::kOk); });
    EXPECT_EQ(window.engine().pendingReply(), PendingReply::AwaitingSetConfigure);
    EXPECT_FALSE(ButtonsBack(window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.empty(); }, 5000));
    EXPECT_EQ(prompter.Messages(), std::vector<Message>{exchange::kNoResponse});
    EXPECT_TRUE(ButtonsBack(window));
}

// A card known by an address on another network is asked by broadcast and answers from its
// own address: the reply is still the one awaited, and the dialog opens.
TEST_F(ConfigurationRoadLanTest, CardReachedByBroadcastAnswersFromItsOwnAddress) {
    StartCards({"--card", "198.51.100.3:known-as=203.0.113.9"});
    MainDialog& window = OpenWindow();
    WhenModal<AccountDialog>([&](AccountDialog* account) {
        account->findChild<IpAddressEdit*>(ids::account::kAddress)->Field(0)->setFocus();
        TypeAsUser("203.0.113.9");
        account->findChild<QLineEdit*>(ids::account::kAccount)->setText("admin");
        account->findChild<QLineEdit*>(ids::account::kPassword)->setText("lanterns");
        Click(account, ids::kOk);
    });
    Click(&window, ids::mainwindow::kAdd);
    ASSERT_EQ(window.deviceList().size(), 1u);
    EXPECT_EQ(window.deviceList().row(0).ipAddress, "203.000.113.009");
    Configure(window, [&](ConfigurationDialog* d) {
        EXPECT_EQ(d->findChild<QLineEdit*>(ids::configuration::kNetbiosName)->text(), "CARD-2");
        d->reject();
    });
    const auto asked = LogLines("Configure");
    ASSERT_FALSE(asked.empty());
    EXPECT_NE(asked[0].find("broadcast"), std::string::npos) << asked[0];
}

}  // namespace
}  // namespace parvolink
