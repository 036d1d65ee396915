// SPDX-License-Identifier: GPL-3.0-or-later
// Addresses typed and pasted into every address box as a user does: whole, in one go, with
// the focus moving on by itself.
#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QTest>

#include "app/MainDialog.h"
#include "kit/ControlIds.h"
#include "kit/IpAddressEdit.h"
#include "shell/config/ConfigurationDialog.h"
#include "shell/devices/AccountDialog.h"
#include "support/FakeEngineHost.h"
#include "support/GuiTestSupport.h"
#include "support/TempDir.h"

namespace parvolink {
namespace {

using testing::FakeNetwork;
using testing::Find;
using testing::RecordingPrompter;
using testing::TempDir;
using testing::TypeAsUser;
using testing::WhenModal;

using Fields = std::array<std::optional<std::uint8_t>, 4>;

struct TypedCase {
    const char* typed;
    Fields expected;
};

// What the box shows before typing starts, with the first field focused and selected.
enum class Start { Blank, Zeros, Filled };

const TypedCase kTyped[] = {
    {"1.2.3.4", {1, 2, 3, 4}},
    {"10.0.0.255", {10, 0, 0, 255}},
    {"192.168.001.010", {192, 168, 1, 10}},
    {"192.168.1.10", {192, 168, 1, 10}},
    {"255.255.254.0", {255, 255, 254, 0}},
    {"198.51.100.0", {198, 51, 100, 0}},
    {"300.1.2.3", {255, 1, 2, 3}},
    // Backspace goes back across the dot into the field before.
    {"10.0.0.255\b\b\b\b\b7.9", {10, 0, 7, 9}},
    {"1.2.3.4\b\b\b", {1, 2, std::nullopt, std::nullopt}},
};

class AddressTypingTest : public ::testing::Test {
protected:
    AddressTypingTest() {
        window.resize(300, 40);
        edit = new IpAddressEdit(&window);
        edit->resize(280, 30);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    void Prepare(Start start) {
        if (start == Start::Blank) {
            edit->Clear();
        } else {
            edit->SetAddress(start == Start::Zeros ? Ipv4Address{} : Ipv4Address{192, 168, 7, 0});
        }
        edit->Field(0)->setFocus();
        edit->Field(0)->selectAll();
    }

    QWidget window;
    IpAddressEdit* edit = nullptr;
};

TEST_F(AddressTypingTest, WholeAddressesTypedInOneGo) {
    for (const Start start : {Start::Blank, Start::Zeros, Start::Filled}) {
        for (const TypedCase& c : kTyped) {
            SCOPED_TRACE(::testing::Message() << c.typed << " from start " << int(start));
            Prepare(start);
            TypeAsUser(c.typed);
            EXPECT_EQ(edit->Fields(), c.expected);
        }
    }
}

TEST_F(AddressTypingTest, ADotAfterTheBoxMovedOnByItselfDoesNothing) {
    Prepare(Start::Blank);
    TypeAsUser("123");
    EXPECT_EQ(QApplication::focusWidget(), edit->Field(1));
    TypeAsUser(".");
    EXPECT_EQ(QApplication::focusWidget(), edit->Field(1));
    TypeAsUser("..");  // a dot in an empty field has nothing to end
    EXPECT_EQ(QApplication::focusWidget(), edit->Field(1));
    TypeAsUser("4.");
    EXPECT_EQ(QApplication::focusWidget(), edit->Field(2));
}

TEST_F(AddressTypingTest, APastedAddressFillsTheFields) {
    struct PasteCase {
        const char* clipboard;
        int field;
        Fields expected;
    };
    const PasteCase cases[] = {
        {"198.51.100.7", 2, {198, 51, 100, 7}},
        {" 10.1.2.3 \n", 0, {10, 1, 2, 3}},
        {"192.168.001.010", 3, {192, 168, 1, 10}},
        {"1.2", 2, {192, 168, 1, 2}},      // not a whole address: from the field pasted into
        {"1.2.x.4", 0, {192, 168, 7, 0}},  // not an address at all: refused
    };
    for (const PasteCase& c : cases) {
        SCOPED_TRACE(c.clipboard);
        Prepare(Start::Filled);
        edit->Field(c.field)->setFocus();
        edit->Field(c.field)->selectAll();
        QGuiApplication::clipboard()->setText(c.clipboard);
        QTest::keySequence(QApplication::focusWidget(), QKeySequence::Paste);
        EXPECT_EQ(edit->Fields(), c.expected);
    }
}

class AddressBoxesTest : public ::testing::Test {
protected:
    AddressBoxesTest() {
        network.table = {{{198, 51, 100, 1}, {255, 255, 255, 0}}};
        dialog = std::make_unique<MainDialog>(MainDialogServices{network, prompter, dir.path(), 0});
        dialog->show();
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }

    FakeNetwork network;
    RecordingPrompter prompter;
    TempDir dir;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(AddressBoxesTest, TheAccountDialogAddsTheAddressTyped) {
    WhenModal<AccountDialog>([](AccountDialog* account) {
        TypeAsUser("192.168.1.10");
        QTest::mouseClick(Find<QPushButton>(account, ids::kOk), Qt::LeftButton);
    });
    QTest::mouseClick(Find<QPushButton>(dialog.get(), ids::mainwindow::kAdd), Qt::LeftButton);
    ASSERT_EQ(dialog->deviceList().size(), 1u);
    EXPECT_EQ(dialog->deviceList().row(0).ipAddress, "192.168.001.010");
}

TEST_F(AddressBoxesTest, TheSubnetBoxesTakeTheAddressTyped) {
    for (const char* id : {ids::mainwindow::kSubnet, ids::mainwindow::kSubnetMask}) {
        auto* box = Find<IpAddressEdit>(dialog.get(), id);
        box->Field(0)->setFocus();
        box->Field(0)->selectAll();
        TypeAsUser("255.255.254.0");
        EXPECT_EQ(box->Address(), (Ipv4Address{255, 255, 254, 0})) << id;
        box->Field(0)->setFocus();
        box->Field(0)->selectAll();
        TypeAsUser("198.51.100.0");
        EXPECT_EQ(box->Address(), (Ipv4Address{198, 51, 100, 0})) << id;
    }
}

TEST_F(AddressBoxesTest, TheConfigurationDialogSendsTheAddressesTyped) {
    const std::string reply =
        "ops@example.net\tCARD-1\tRack 1\t198.51.100.2\t255.255.255.0\t198.51.100.1\t"
        "198.51.100.9\t0\t1\t0\t80\t23\t1\t13\tntp.example\t\t7\t3\t9\t8\t30\t5\t2\t";
    DeviceConfiguration record;
    ASSERT_TRUE(ParseConfigureReply(reply, record));
    ConfigurationDialog configuration(prompter);
    WhenModal<ConfigurationDialog>([](ConfigurationDialog* d) {
        d->activateWindow();  // a window of its own: keys go to it once it is active
        ASSERT_TRUE(QTest::qWaitForWindowActive(d));
        const std::pair<const char*, const char*> typed[] = {
            {ids::configuration::kIpAddress, "198.51.100.77"},
            {ids::configuration::kSubnetMask, "255.255.254.0"},
            {ids::configuration::kGateway, "198.51.100.254"},
            {ids::configuration::kDns, "10.0.0.255"}};
        for (const auto& [id, text] : typed) {
            Find<IpAddressEdit>(d, id)->Field(0)->setFocus();
            Find<IpAddressEdit>(d, id)->Field(0)->selectAll();
            TypeAsUser(text);
        }
        QTest::mouseClick(Find<QPushButton>(d, ids::kOk), Qt::LeftButton);
    });
    ASSERT_EQ(configuration.Run(record, {}), ConfigurationDialog::Result::Accepted);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(record.ipAddr, (Ipv4Address{198, 51, 100, 77}));
    EXPECT_EQ(record.subnetMask, (Ipv4Address{255, 255, 254, 0}));
    EXPECT_EQ(record.gatewayAddr, (Ipv4Address{198, 51, 100, 254}));
    EXPECT_EQ(record.dnsAddr, (Ipv4Address{10, 0, 0, 255}));
}

}  // namespace
}  // namespace parvolink
