// SPDX-License-Identifier: GPL-3.0-or-later
#include <unistd.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

#include "LanTestSupport.h"
#include "cardsim/LogEscape.h"
#include "core/protocol/RequestEngine.h"
#include "kit/ControlIds.h"
#include "shell/config/ConfigurationDialog.h"
#include "shell/config/UsmDialog.h"

namespace parvolink {
namespace {

using testing::LanTest;
using testing::WhenModal;

// A key as the simulator's log writes it.
std::string Logged(std::span<const std::uint8_t> bytes) {
    return cardsim::LogEscape({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

class Snmpv3LanTest : public LanTest {
protected:
    // From the configuration dialog, the SNMPv3 users of the card at address (a new row); the
    // user "ops" submitted at row index and level, with its passwords. whileOpen runs in the
    // user dialog before Submit Key.
    void SubmitUser(MainDialog& window, const std::string& address, int index = 4,
                    int level = AuthPriv, std::function<void()> whileOpen = {}) {
        window.deviceList().Append({.ipAddress = address, .version = "2.1"});
        window.deviceList().SetAccount(window.deviceList().size() - 1, "admin", "lanterns");
        window.deviceList().Select(static_cast<int>(window.deviceList().size()) - 1);
        // The dialogs open after this returns: what they use is copied into them.
        WhenModal<ConfigurationDialog>(
            [this, index, level, whileOpen](ConfigurationDialog* config) {
                WhenModal<UsmDialog>([this, index, level, whileOpen](UsmDialog* d) {
                    if (whileOpen) {
                        whileOpen();
                    }
                    d->findChild<QComboBox*>(ids::usm::kIndex)->setCurrentIndex(index);
                    d->findChild<QLineEdit*>(ids::usm::kUserName)->setText("ops");
                    d->findChild<QComboBox*>(ids::usm::kLevel)->setCurrentIndex(level);
                    d->findChild<QLineEdit*>(ids::usm::kAuthPassword)->setText("maplesyrup");
                    if (level == AuthPriv) {
                        d->findChild<QLineEdit*>(ids::usm::kPrivPassword)->setText("blueberry");
                    }
                    d->findChild<QPushButton*>(ids::usm::kSubmitKey)->click();
                    submitted = true;
                });
                // The query; the user dialog follows.
                config->findChild<QPushButton*>(ids::configuration::kSnmpv3)->click();
                ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.empty(); }, 5000));
                config->reject();
            });
        window.findChild<QPushButton*>(ids::mainwindow::kConfiguration)->click();
    }

    bool submitted = false;
};

// From the configuration dialog, the SNMPv3 users of the card; one user written with its key.
TEST_F(Snmpv3LanTest, UserIsWrittenWithItsLocalizedKey) {
    StartCards();
    MainDialog& window = OpenWindow();
    SubmitUser(window, "198.51.100.3", 3, AuthNoPriv);
    ASSERT_TRUE(QTest::qWaitFor([&] { return submitted && !prompter.shown.empty(); }, 8000));
    EXPECT_EQ(prompter.Messages(), std::vector<Message>{exchange::kUsmUpdateSuccessfully});

    const UsmConfiguration& usm = window.usm();
    EXPECT_EQ(usm.engineId, "PL336403");  // the card at 198.51.100.3
    const auto writes = LogLines("SetSNMPv3");
    ASSERT_EQ(writes.size(), 1u);
    const std::string form =
        "\\t3\\tops\\t1\\t" + Logged(usm.authKey) + "\\t" + Logged(usm.privKey) + "\\t";
    EXPECT_NE(writes[0].find(form), std::string::npos) << writes[0];
    EXPECT_EQ(writes[0].rfind("198.51.100.3 direct ", 0), 0u);
}

// After "Submit Key" the window asks the card's own SNMP agent (net-snmp's snmpd) for the
// user; a card that said "OK" and kept the old users gets one warning of its own.
TEST_F(Snmpv3LanTest, SubmittedUserIsVerifiedByTheCardsAgent) {
    if (access("/usr/sbin/snmpd", X_OK) != 0) {
        GTEST_SKIP() << "needs net-snmp's snmpd (scripts/ensure-packages test)";
    }
    StartCards({"--snmp-agents", QString::fromStdString((dir.path() / "agents").string()), "--card",
                "198.51.100.3:forgets-users"});
    MainDialog& window = OpenWindow();

    SubmitUser(window, "198.51.100.2");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.empty(); }, 8000));
    // Its verification ends (it may be asked twice) and says nothing.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.verifyingUser(); }, 20000));
    EXPECT_EQ(prompter.Messages(), std::vector<Message>{exchange::kUsmUpdateSuccessfully});

    prompter.shown.clear();
    SubmitUser(window, "198.51.100.3");
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompter.shown.size() >= 2; }, 8000));
    EXPECT_FALSE(window.verifyingUser());  // the warning was its last word
    EXPECT_EQ(prompter.Messages(),
              (std::vector<Message>{
                  exchange::kUsmUpdateSuccessfully,
                  snmp::UserNotVerified("ops", "198.51.100.3", snmp::Outcome::UnknownUser)}));
}

// The user is verified on the card it was written to, by that card's address in the form every
// reader takes alike, whatever row is selected when the card says "OK".
TEST_F(Snmpv3LanTest, TheCardWrittenIsTheCardVerified) {
    if (access("/usr/sbin/snmpd", X_OK) != 0) {
        GTEST_SKIP() << "needs net-snmp's snmpd (scripts/ensure-packages test)";
    }
    StartCards({"--snmp-agents", QString::fromStdString((dir.path() / "agents").string()), "--card",
                "198.51.100.3:forgets-users"});
    MainDialog& window = OpenWindow();
    window.deviceList().Append({.ipAddress = "198.51.100.2", .version = "2.1"});
    // .3 known by a padded text, which some readers would take for octal (.3 all the same here);
    // while its user dialog is open, another row is selected.
    SubmitUser(window, "198.51.100.003", 4, AuthPriv, [&] { window.deviceList().Select(0); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompter.shown.size() >= 2; }, 10000));
    EXPECT_EQ(prompter.Messages(),
              (std::vector<Message>{
                  exchange::kUsmUpdateSuccessfully,
                  snmp::UserNotVerified("ops", "198.51.100.3", snmp::Outcome::UnknownUser)}));
}

}  // namespace
}  // namespace parvolink
