// SPDX-License-Identifier: GPL-3.0-or-later
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "kit/ControlIds.h"
#include "shell/config/UsmDialog.h"
#include "support/GuiTestSupport.h"

namespace parvolink {
namespace {

using testing::Find;
using testing::RecordingPrompter;
using testing::WhenModal;

class UsmDialogTest : public ::testing::Test {
protected:
    UsmDialogTest() : dialog(prompter) {
        EXPECT_TRUE(
            ParseSnmpv3Reply("80001F88\t6\t144\tadmin\tops\tc\td\te\tf\tg\th\tpublic\t", usm));
    }
    UsmDialog::Result RunWith(std::function<void(UsmDialog*)> action) {
        WhenModal<UsmDialog>(std::move(action));
        return dialog.Run(usm);
    }

    RecordingPrompter prompter;
    UsmDialog dialog;
    UsmConfiguration usm;
};

TEST_F(UsmDialogTest, ShowsTheTableAndFillsTheEditLineFromARow) {
    RunWith([](UsmDialog* d) {
        EXPECT_EQ(d->windowTitle(), "SNMPv3 USM");
        EXPECT_EQ(Find<QLabel>(d, "1057")->text(), "admin");
        EXPECT_EQ(Find<QLabel>(d, "1058")->text(), "Auth, Priv");
        EXPECT_EQ(Find<QLabel>(d, "1060")->text(), "********");
        EXPECT_EQ(Find<QLabel>(d, "1086")->text(), "");  // row 2: no privacy password
        EXPECT_EQ(Find<QLabel>(d, "1108")->text(), "Auth, Priv");
        EXPECT_EQ(Find<QLineEdit>(d, ids::usm::kContextName)->text(), "public");
        EXPECT_EQ(Find<QComboBox>(d, ids::usm::kIndex)->currentIndex(), -1);
        EXPECT_EQ(Find<QComboBox>(d, ids::usm::kLevel)->currentIndex(), -1);
        Find<QLineEdit>(d, ids::usm::kAuthPassword)->setText("typed");
        Find<QComboBox>(d, ids::usm::kIndex)->setCurrentIndex(1);
        d->OnIndexChange(1);
        EXPECT_EQ(Find<QLineEdit>(d, ids::usm::kUserName)->text(), "ops");
        EXPECT_EQ(Find<QComboBox>(d, ids::usm::kLevel)->currentText(), "Auth, noPriv");
        EXPECT_EQ(Find<QLineEdit>(d, ids::usm::kAuthPassword)->text(), "");
        d->OnResetSnmpv3();
    });
}

TEST_F(UsmDialogTest, ShortPasswordKeepsTheDialogOpenThenSubmitDerivesTheKey) {
    const auto result = RunWith([&](UsmDialog* d) {
        Find<QComboBox>(d, ids::usm::kIndex)->setCurrentIndex(2);
        Find<QLineEdit>(d, ids::usm::kUserName)->setText("newuser");
        Find<QComboBox>(d, ids::usm::kLevel)->setCurrentIndex(AuthNoPriv);
        Find<QLineEdit>(d, ids::usm::kAuthPassword)->setText("1234567");
        QTest::mouseClick(Find<QPushButton>(d, ids::usm::kSubmitKey), Qt::LeftButton);
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].message.text,
                  "The length of Auth Password of should >=8 bytes.");
        EXPECT_TRUE(d->isVisible());
        Find<QLineEdit>(d, ids::usm::kAuthPassword)->setText("12345678");
        QTest::mouseClick(Find<QPushButton>(d, ids::usm::kSubmitKey), Qt::LeftButton);
    });
    EXPECT_EQ(result, UsmDialog::Result::SubmitKey);
    EXPECT_EQ(usm.submitIndex, 2);
    EXPECT_EQ(usm.userNames[2], "newuser");
    EXPECT_NE(usm.authKey, UsmConfiguration::Key{});
    EXPECT_EQ(usm.privKey, UsmConfiguration::Key{});
}

TEST_F(UsmDialogTest, EscapeUpdatesTheContextName) {
    const auto result = RunWith([](UsmDialog* d) {
        Find<QLineEdit>(d, ids::usm::kContextName)->setText("private9");
        QTest::keyClick(d, Qt::Key_Escape);
    });
    EXPECT_EQ(result, UsmDialog::Result::UpdateContextName);
    EXPECT_EQ(usm.contextName, "private9");
}

}  // namespace
}  // namespace parvolink
