// SPDX-License-Identifier: GPL-3.0-or-later
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/MainDialog.h"
#include "kit/ControlIds.h"
#include "kit/IpAddressEdit.h"
#include "shell/config/ConfigurationDialog.h"
#include "support/FakeEngineHost.h"
#include "support/GuiTestSupport.h"
#include "support/TempDir.h"

namespace parvolink {
namespace {

using testing::Find;
using testing::RecordingPrompter;
using testing::WhenModal;

const std::string kReply =
    "ops@example.net\tCARD-1\tRack 1\t198.51.100.2\t255.255.255.0\t198.51.100.1\t198.51.100.9\t"
    "0\t1\t0\t80\t23\t1\t13\tntp.example\t\t7\t3\t9\t8\t30\t5\t2\t";

void Click(QWidget* parent, const char* id) {
    QTest::mouseClick(Find<QPushButton>(parent, id), Qt::LeftButton);
}

class ConfigurationDialogTest : public ::testing::Test {
protected:
    ConfigurationDialogTest() : dialog(prompter) {
        EXPECT_TRUE(ParseConfigureReply(kReply, record));
    }

    // Runs the dialog with gates; action runs inside it and must close it.
    ConfigurationDialog::Result RunWith(const DialogGates& gates,
                                        std::function<void(ConfigurationDialog*)> action) {
        WhenModal<ConfigurationDialog>(std::move(action));
        return dialog.Run(record, gates);
    }

    RecordingPrompter prompter;
    ConfigurationDialog dialog;
    DeviceConfiguration record;
};

TEST_F(ConfigurationDialogTest, FilledFromTheRecord) {
    RunWith(GatesFor("2.1", "NMC"), [](ConfigurationDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Configuration");
        EXPECT_EQ(Find<QLineEdit>(d, ids::configuration::kNetbiosName)->text(), "CARD-1");
        EXPECT_EQ(Find<QLineEdit>(d, ids::configuration::kDate)->text(), "03/09/2007");
        EXPECT_EQ(Find<QLineEdit>(d, ids::configuration::kTime)->text(), "08:30:05");
        EXPECT_EQ(Find<QLineEdit>(d, ids::configuration::kHttpPort)->text(), "80");
        EXPECT_EQ(Find<QComboBox>(d, ids::configuration::kTimeZone)->currentIndex(), 13);
        EXPECT_EQ(Find<QComboBox>(d, ids::configuration::kTimeZone)->count(), 28);
        EXPECT_TRUE(
            Find<QRadioButton>(d, ids::configuration::kHttpEnable)->isChecked());  // HTTP enabled
        EXPECT_TRUE(
            Find<QRadioButton>(d, ids::configuration::kDhcpDisable)->isChecked());  // DHCP disabled
        EXPECT_TRUE(
            Find<QRadioButton>(d, ids::configuration::kManualTime)->isChecked());  // manual time
        EXPECT_TRUE(Find<QRadioButton>(d, ids::configuration::kAdministratorAny)
                        ->isChecked());  // 2: administrator Allow Any
        EXPECT_TRUE(Find<QRadioButton>(d, ids::configuration::kManagerInLan)->isChecked());
        EXPECT_EQ(Find<IpAddressEdit>(d, ids::configuration::kDns)->Address(),
                  (Ipv4Address{198, 51, 100, 9}));
        EXPECT_EQ(Find<QLineEdit>(d, ids::configuration::kNetbiosName)->maxLength(), 16);
        EXPECT_FALSE(Find<QLabel>(d, ids::configuration::kFirstTimeHint)->text().isEmpty());
        d->reject();
    });
}

TEST_F(ConfigurationDialogTest, GatesShowButtonsAndRowsByVersionAndModel) {
    struct Case {
        const char* version;
        const char* model;
        bool reset, snmpv3;
        const char* managerLabel;
        bool readOnlyRow;
    };
    const Case cases[] = {{"1.11", "NMC", false, false, "Device Manager:", true},
                          {"1.12", "NMC", true, false, "Device Manager:", true},
                          {"V2.0", "NMC", true, true, "Device Manager:", true},
                          {"1.0", "Projector", true, false, "General User:", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        RunWith(GatesFor(c.version, c.model), [&](ConfigurationDialog* d) {
            EXPECT_EQ(Find<QPushButton>(d, ids::configuration::kReset)->isVisible(), c.reset);
            EXPECT_EQ(Find<QPushButton>(d, ids::configuration::kSnmpv3)->isVisible(), c.snmpv3);
            EXPECT_EQ(Find<QLabel>(d, ids::configuration::kManagerLabel)->text(), c.managerLabel);
            EXPECT_EQ(Find<QLabel>(d, ids::configuration::kReadOnlyLabel)->text().isEmpty(),
                      !c.readOnlyRow);
            EXPECT_EQ(Find<QRadioButton>(d, ids::configuration::kReadOnlyAny)->isVisible(),
                      c.readOnlyRow);
            d->reject();
        });
    }
}

TEST_F(ConfigurationDialogTest, WithoutUserLimitationTheRadiosAreDisabledAtInTheLan) {
    ASSERT_TRUE(ParseConfigureReply(kReply.substr(0, kReply.size() - 2), record));
    RunWith({}, [](ConfigurationDialog* d) {
        for (const char* id :
             {ids::configuration::kAdministratorInLan, ids::configuration::kAdministratorAny,
              ids::configuration::kManagerInLan, ids::configuration::kManagerAny,
              ids::configuration::kReadOnlyInLan, ids::configuration::kReadOnlyAny}) {
            EXPECT_FALSE(Find<QRadioButton>(d, id)->isEnabled()) << id;
        }
        EXPECT_TRUE(Find<QRadioButton>(d, ids::configuration::kAdministratorInLan)->isChecked());
        d->reject();
    });
}

TEST_F(ConfigurationDialogTest, OkChecksKeepTheDialogOpenUntilTheyPass) {
    const auto result = RunWith({}, [&](ConfigurationDialog* d) {
        Find<IpAddressEdit>(d, ids::configuration::kSubnetMask)->Field(2)->clear();
        Find<QLineEdit>(d, ids::configuration::kHttpPort)->setText("0");
        Click(d, ids::kOk);
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].message.text, "Fields of Subnet Mask can't be empty!");
        EXPECT_EQ(prompter.shown[0].parent, d);
        EXPECT_TRUE(d->isVisible());
        QTest::keyClicks(Find<IpAddressEdit>(d, ids::configuration::kSubnetMask)->Field(2), "254");
        Click(d, ids::kOk);
        ASSERT_EQ(prompter.shown.size(), 2u);
        EXPECT_EQ(prompter.shown[1].message.text,
                  "The value of HTTP Port is out of the limitation!");
        Find<QLineEdit>(d, ids::configuration::kHttpPort)->setText("8080");
        Find<QComboBox>(d, ids::configuration::kTimeZone)->setCurrentIndex(23);
        Click(d, ids::kOk);
    });
    EXPECT_EQ(result, ConfigurationDialog::Result::Accepted);
    EXPECT_EQ(record.subnetMask, (Ipv4Address{255, 255, 254, 0}));
    EXPECT_EQ(record.timeZoneIndex, 23);
    EXPECT_EQ(dialog.form().httpPort, "8080");
}

TEST_F(ConfigurationDialogTest, ResetAsksFirst) {
    const auto result = RunWith(GatesFor("2.0", "NMC"), [&](ConfigurationDialog* d) {
        Find<QLineEdit>(d, ids::configuration::kHttpPort)->setText("not checked");
        Click(d, ids::configuration::kReset);  // answered No
        EXPECT_TRUE(d->isVisible());
        prompter.answerYes = true;
        Click(d, ids::configuration::kReset);
    });
    EXPECT_EQ(result, ConfigurationDialog::Result::Reset);
    ASSERT_EQ(prompter.asked.size(), 2u);
    EXPECT_EQ(prompter.asked[0], configuration::kResetQuestion);
    EXPECT_TRUE(prompter.shown.empty());
}

// Through the main window, its requests recorded instead of sent.
class ConfigurationOperation : public ::testing::Test {
protected:
    ConfigurationOperation()
        : window(
              {network, prompter, dir.path(), 0, [this](std::string_view, std::string_view host) {
                   sentTo.emplace_back(host);
                   return true;
               }}) {
        window.deviceList().Append({.ipAddress = "198.51.100.2", .version = "2.0"});
        window.deviceList().Select(0);
    }
    void ConfigureReply(const std::string& payload) {
        window.engine().OnDatagram(testing::ReplyDatagram({"Configure", payload}),
                                   {198, 51, 100, 2});
    }

    std::vector<std::string> sentTo;
    testing::FakeNetwork network;
    RecordingPrompter prompter;
    testing::TempDir dir;
    MainDialog window;
};

// A refused date shows its message, sends nothing and ends the operation.
TEST_F(ConfigurationOperation, RefusedDateEndsTheOperation) {
    window.engine().OnConfiguration();
    sentTo.clear();
    ConfigureReply(kReply.substr(0, kReply.size() - 1));
    ASSERT_EQ(window.engine().pendingReply(), PendingReply::ConfigureReady);
    WhenModal<ConfigurationDialog>([](ConfigurationDialog* d) {
        Find<QLineEdit>(d, ids::configuration::kDate)->setText("13/01/2007");
        Click(d, ids::kOk);
    });
    window.engine().Tick();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].message.text, "The filed of month should between 1~12!");
    EXPECT_EQ(prompter.shown[0].message.caption, "Error");
    EXPECT_EQ(window.engine().pendingReply(), PendingReply::Idle);
    EXPECT_TRUE(sentTo.empty());
    EXPECT_EQ(window.configuration().month, 13);  // stored as read, until the next reply
}

}  // namespace
}  // namespace parvolink

namespace parvolink {
namespace {

TEST_F(ConfigurationOperation, ASecondReplyNeverOpensASecondDialog) {
    window.engine().OnConfiguration();
    ConfigureReply(kReply.substr(0, kReply.size() - 1));
    int opened = 0;
    WhenModal<ConfigurationDialog>([&](ConfigurationDialog* d) {
        ++opened;
        // Another reply and a tick while the dialog is open: dropped, the record unchanged.
        ConfigureReply("other\tNAME-2\t" + kReply.substr(kReply.find("Rack")));
        window.engine().Tick();
        EXPECT_EQ(window.configuration().netbiosName, "CARD-1");
        EXPECT_EQ(QApplication::activeModalWidget(), d);
        d->reject();
    });
    window.engine().Tick();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(window.engine().pendingReply(), PendingReply::Idle);
}

// With the real one-second timer: the dialog opens on a tick, and the ticks go on inside it
// until the countdown gives the main window's buttons back, the dialog still open.
TEST_F(ConfigurationOperation, TheCountdownGoesOnWhileTheDialogIsOpen) {
    window.engine().OnConfiguration();
    ASSERT_TRUE(window.operationTimer().isActive());
    ConfigureReply(kReply.substr(0, kReply.size() - 1));
    bool buttonsBackInside = false;
    WhenModal<ConfigurationDialog>([&](ConfigurationDialog* d) {
        auto* add = Find<QPushButton>(&window, ids::mainwindow::kAdd);
        buttonsBackInside = QTest::qWaitFor([&] { return add->isEnabled(); }, 5000);
        EXPECT_TRUE(d->isVisible());
        d->reject();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.operationTimer().isActive(); }, 6000));
    EXPECT_TRUE(buttonsBackInside);
}

TEST_F(ConfigurationOperation, AShortReplyIsDroppedWhole) {
    window.engine().OnConfiguration();
    ConfigureReply("ops\tCARD-9\tRack\t1.2.3.4");
    EXPECT_EQ(window.engine().pendingReply(), PendingReply::Idle);
    EXPECT_EQ(window.configuration().netbiosName, "");
    ConfigureReply(kReply);  // the card's whole reply is still taken
    EXPECT_EQ(window.engine().pendingReply(), PendingReply::ConfigureReady);
}

}  // namespace
}  // namespace parvolink
