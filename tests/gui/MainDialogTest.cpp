// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QUdpSocket>

#include "app/AboutDialog.h"
#include "app/MainDialog.h"
#include "core/protocol/DatagramCodec.h"
#include "kit/ControlIds.h"
#include "kit/IpAddressEdit.h"
#include "shell/devices/AccountDialog.h"
#include "support/GuiTestSupport.h"
#include "support/TempDir.h"

namespace parvolink {
namespace {

using testing::FakeNetwork;
using testing::Find;
using testing::RecordingPrompter;
using testing::TempDir;
using testing::WhenModal;

const char* const kButtonIds[] = {ids::mainwindow::kUpgrade,       ids::mainwindow::kRemove,
                                  ids::mainwindow::kModify,        ids::mainwindow::kDiscover,
                                  ids::mainwindow::kConfiguration, ids::mainwindow::kAdd};

class MainDialogTest : public ::testing::Test {
protected:
    MainDialogTest() {
        // The example interface table: loopback first, then two LANs.
        network.table = {{{127, 0, 0, 1}, {255, 0, 0, 0}},
                         {{192, 168, 1, 20}, {255, 255, 255, 0}},
                         {{10, 0, 0, 5}, {255, 0, 0, 0}}};
    }

    // tftpPort 0 lets the TFTP socket take any free port: these tests need only that it opens.
    std::unique_ptr<MainDialog> Open(quint16 tftpPort = 0) {
        auto dialog = std::make_unique<MainDialog>(
            MainDialogServices{network, prompter, dir.path(), tftpPort});
        dialog->show();
        return dialog;
    }

    static QString Address(QWidget* parent, const char* id) {
        const Ipv4Address a = Find<IpAddressEdit>(parent, id)->Address();
        return QString("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]);
    }
    static QStringList RowTexts(QWidget* parent, int row) {
        QTreeWidgetItem* item =
            Find<QTreeWidget>(parent, ids::mainwindow::kDeviceList)->topLevelItem(row);
        QStringList texts;
        for (int c = 0; item != nullptr && c < item->columnCount(); ++c) {
            texts << item->text(c);
        }
        return texts;
    }
    static void Type(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    FakeNetwork network;
    RecordingPrompter prompter;
    TempDir dir;
};

TEST_F(MainDialogTest, StartsWithTitleLanBoxSubnetAndColumns) {
    network.hostNameAddresses = {{127, 0, 1, 1}};  // as Debian resolves its own host name
    auto dialog = Open();
    EXPECT_EQ(dialog->hostAddress(), (Ipv4Address{192, 168, 1, 20}));
    EXPECT_EQ(dialog->windowTitle(), "Vellacor Parvolink v1.5.7");
    EXPECT_TRUE(prompter.shown.empty());
    auto* lan = Find<QComboBox>(dialog.get(), ids::mainwindow::kLan);
    ASSERT_EQ(lan->count(), 2);
    EXPECT_EQ(lan->itemText(0), "192.168.001.020");
    EXPECT_EQ(lan->itemText(1), "010.000.000.005");
    EXPECT_EQ(lan->currentIndex(), 0);
    EXPECT_EQ(Address(dialog.get(), ids::mainwindow::kSubnet), "192.168.1.0");
    EXPECT_EQ(Address(dialog.get(), ids::mainwindow::kSubnetMask), "255.255.255.0");

    lan->setCurrentIndex(1);
    EXPECT_EQ(Address(dialog.get(), ids::mainwindow::kSubnet), "10.0.0.0");
    EXPECT_EQ(Address(dialog.get(), ids::mainwindow::kSubnetMask), "255.0.0.0");

    auto* view = Find<QTreeWidget>(dialog.get(), ids::mainwindow::kDeviceList);
    ASSERT_EQ(view->columnCount(), 8);
    EXPECT_EQ(view->headerItem()->text(6), "Mac Address");
    EXPECT_EQ(view->columnWidth(6), 130);
    EXPECT_FALSE(view->isSortingEnabled());
    for (const char* id : kButtonIds) {
        EXPECT_TRUE(Find<QPushButton>(dialog.get(), id)->isEnabled()) << id;
    }
    EXPECT_TRUE(Find<QPushButton>(dialog.get(), ids::mainwindow::kDiscover)->isDefault());
}

TEST_F(MainDialogTest, WithoutInterfacesTheLanBoxStaysEmpty) {
    network.table = {{{127, 0, 0, 1}, {255, 0, 0, 0}}, {{0, 0, 0, 0}, {0, 0, 0, 0}}};
    auto dialog = Open();
    EXPECT_EQ(Find<QComboBox>(dialog.get(), ids::mainwindow::kLan)->count(), 0);
    const auto fields = Find<IpAddressEdit>(dialog.get(), ids::mainwindow::kSubnet)->Fields();
    EXPECT_FALSE(fields[0].has_value());
}

TEST_F(MainDialogTest, TakenTftpPortDisablesOnlyUpgrade) {
    QUdpSocket other;
    ASSERT_TRUE(other.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
    auto dialog = Open(other.localPort());
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].message, mainwindow::kCannotOpenTftp);
    EXPECT_EQ(prompter.shown[0].parent, nullptr);  // shown before the window exists
    EXPECT_FALSE(dialog->tftpSocketReady());
    EXPECT_TRUE(dialog->managementSocketReady());
    const auto check = [&] {
        for (const char* id : kButtonIds) {
            EXPECT_EQ(Find<QPushButton>(dialog.get(), id)->isEnabled(),
                      std::string_view(id) != ids::mainwindow::kUpgrade)
                << id;
        }
    };
    check();
    dialog->EnableButtons(false);
    dialog->EnableButtons(true);  // as at the end of an operation
    check();
}

// With every file descriptor in use no socket can be made: both start-up messages, and no
// operation can start.
TEST_F(MainDialogTest, SocketsThatCannotOpenAreToldAndDisableTheButtons) {
    // One window first, with descriptors to spare and a message shown: the sanitizers need
    // some the first time they check a type, and would otherwise report the window itself.
    {
        QUdpSocket taken;
        ASSERT_TRUE(taken.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
        Open(taken.localPort()).reset();
        prompter.shown.clear();
    }
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
    const int lowestFree = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    rlimit none = before;
    none.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
    auto dialog = Open(0);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &before), 0);
    EXPECT_EQ(prompter.Messages(),
              (std::vector<Message>{mainwindow::kCannotOpenUdp, mainwindow::kCannotOpenTftp}));
    EXPECT_FALSE(dialog->managementSocketReady());
    for (const char* id : kButtonIds) {
        EXPECT_FALSE(Find<QPushButton>(dialog.get(), id)->isEnabled()) << id;
    }
    dialog->OnDiscover();
    EXPECT_FALSE(dialog->Discovering());
}

TEST(MainWindowStart, EachSocketFailureHasItsMessage) {
    using Result = ManagementSocket::OpenResult;
    EXPECT_EQ(mainwindow::OpenFailure(Result::CannotOpen), mainwindow::kCannotOpenUdp);
    EXPECT_EQ(mainwindow::OpenFailure(Result::CannotSetBroadcast), mainwindow::kCannotSetBroadcast);
    EXPECT_EQ(mainwindow::OpenFailure(Result::Ready), std::nullopt);
}

// The slim Discover progress bar sits clear of every group box and label, inside the window;
// the one-second timer keeps to seconds.
TEST_F(MainDialogTest, DiscoverProgressIsPlacedClearAndTimersArePrecise) {
    auto dialog = Open();
    auto* progress = dialog->findChild<QProgressBar*>();
    ASSERT_NE(progress, nullptr);
    const QRect bar = progress->geometry();
    EXPECT_TRUE(dialog->rect().contains(bar));
    for (QWidget* other : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other != progress && (qobject_cast<QGroupBox*>(other) || qobject_cast<QLabel*>(other) ||
                                  qobject_cast<QPushButton*>(other))) {
            EXPECT_FALSE(other->geometry().intersects(bar)) << other->objectName().toStdString();
        }
    }
    EXPECT_EQ(dialog->operationTimer().timerType(), Qt::PreciseTimer);
}

// Made larger, the window gives the room to the device list: more rows show, what is above the
// list keeps its place, the buttons beside it follow its right edge; it never gets smaller than
// the dialog's own size.
TEST_F(MainDialogTest, TheDeviceListGrowsWithTheWindow) {
    auto dialog = Open();
    auto* list = Find<QTreeWidget>(dialog.get(), ids::mainwindow::kDeviceList);
    auto* discover = Find<QPushButton>(dialog.get(), ids::mainwindow::kDiscover);
    auto* add = Find<QPushButton>(dialog.get(), ids::mainwindow::kAdd);
    const QSize own = dialog->size();
    const QRect listBefore = list->geometry();
    const QRect discoverBefore = discover->geometry();
    const QRect addBefore = add->geometry();
    dialog->resize(own + QSize(300, 400));
    QCoreApplication::processEvents();
    EXPECT_EQ(list->geometry(), listBefore.adjusted(0, 0, 300, 400));
    EXPECT_EQ(discover->geometry(), discoverBefore);
    EXPECT_EQ(add->geometry(), addBefore.translated(300, 0));
    EXPECT_FALSE(list->geometry().intersects(add->geometry()));
    EXPECT_TRUE(dialog->rect().contains(add->geometry()));
    dialog->resize(own - QSize(100, 100));
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->size(), own);
    EXPECT_EQ(list->geometry(), listBefore);
}

TEST_F(MainDialogTest, AddThroughTheAccountDialog) {
    auto dialog = Open();
    WhenModal<AccountDialog>([&](AccountDialog* account) {
        auto* address = Find<IpAddressEdit>(account, ids::account::kAddress);
        EXPECT_TRUE(address->isEnabled());
        const char* octets[] = {"192", "168", "1", "10"};
        for (int i = 0; i < 4; ++i) {
            Type(address->Field(i), octets[i]);
        }
        Type(Find<QLineEdit>(account, ids::account::kAccount),
             "administrator");  // 8 characters kept
        Type(Find<QLineEdit>(account, ids::account::kPassword), "lanterns99");
        EXPECT_EQ(Find<QLineEdit>(account, ids::account::kPassword)->echoMode(),
                  QLineEdit::Password);
        QTest::mouseClick(Find<QPushButton>(account, ids::kOk), Qt::LeftButton);
    });
    QTest::mouseClick(Find<QPushButton>(dialog.get(), ids::mainwindow::kAdd), Qt::LeftButton);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(RowTexts(dialog.get(), 0),
              (QStringList{"192.168.001.010", "", "administ", "********", "", "", "", ""}));
    EXPECT_EQ(dialog->deviceList().row(0).password, "lanterns");
    auto* view = Find<QTreeWidget>(dialog.get(), ids::mainwindow::kDeviceList);
    ASSERT_EQ(view->selectedItems().size(), 1);
    EXPECT_EQ(view->indexOfTopLevelItem(view->selectedItems()[0]), 0);
}

TEST_F(MainDialogTest, AccountDialogRefusesAnIncompleteAddressAndCancelChangesNothing) {
    auto dialog = Open();
    WhenModal<AccountDialog>([&](AccountDialog* account) {
        auto* address = Find<IpAddressEdit>(account, ids::account::kAddress);
        Type(address->Field(0), "10");
        address->Field(2)->clear();  // a blank field
        QTest::mouseClick(Find<QPushButton>(account, ids::kOk), Qt::LeftButton);
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].message, devices::kFillInAddress);
        EXPECT_EQ(prompter.shown[0].parent, account);
        EXPECT_TRUE(account->isVisible());
        QTest::keyClick(account, Qt::Key_Escape);
    });
    QTest::mouseClick(Find<QPushButton>(dialog.get(), ids::mainwindow::kAdd), Qt::LeftButton);
    EXPECT_TRUE(dialog->deviceList().empty());
    EXPECT_EQ(Find<QTreeWidget>(dialog.get(), ids::mainwindow::kDeviceList)->topLevelItemCount(),
              0);
}

TEST_F(MainDialogTest, ModifyShowsTheRowWithItsAddressFixed) {
    auto dialog = Open();
    DeviceList& list = dialog->deviceList();
    list.Append({.ipAddress = "010.000.000.001"});
    list.SetAccount(0, "admin", "lanterns");
    list.Select(0);
    WhenModal<AccountDialog>([&](AccountDialog* account) {
        EXPECT_FALSE(Find<IpAddressEdit>(account, ids::account::kAddress)->isEnabled());
        EXPECT_EQ(Find<QLineEdit>(account, ids::account::kAccount)->text(), "admin");
        EXPECT_EQ(Find<QLineEdit>(account, ids::account::kPassword)->text(), "lanterns");
        Type(Find<QLineEdit>(account, ids::account::kAccount), "root");
        QTest::mouseClick(Find<QPushButton>(account, ids::kOk), Qt::LeftButton);
    });
    QTest::mouseClick(Find<QPushButton>(dialog.get(), ids::mainwindow::kModify), Qt::LeftButton);
    EXPECT_EQ(RowTexts(dialog.get(), 0)[2], "root");
    EXPECT_EQ(list.row(0).password, "lanterns");
}

TEST_F(MainDialogTest, FullListRefusesAddWithoutOpeningTheDialog) {
    auto dialog = Open();
    for (int i = 0; i < 255; ++i) {
        dialog->deviceList().Append({.ipAddress = std::to_string(i)});
    }
    QTest::mouseClick(Find<QPushButton>(dialog.get(), ids::mainwindow::kAdd), Qt::LeftButton);
    EXPECT_EQ(prompter.Messages(), std::vector<Message>{devices::kTooMany});
    EXPECT_EQ(prompter.shown[0].parent, dialog.get());
}

TEST_F(MainDialogTest, RemoveAndUserSelectionKeepViewAndListTogether) {
    auto dialog = Open();
    DeviceList& list = dialog->deviceList();
    for (std::string name : {"a", "b", "c"}) {
        list.Append({.ipAddress = name});
        list.SetAccount(list.size() - 1, name, "pw-" + name);
    }
    dialog->OnRemove();  // nothing selected: nothing happens
    auto* view = Find<QTreeWidget>(dialog.get(), ids::mainwindow::kDeviceList);
    ASSERT_EQ(view->topLevelItemCount(), 3);
    // The user clicks the middle row, then Remove.
    const QRect middle = view->visualItemRect(view->topLevelItem(1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, middle.center());
    EXPECT_EQ(list.selected(), 1);
    QTest::mouseClick(Find<QPushButton>(dialog.get(), ids::mainwindow::kRemove), Qt::LeftButton);
    ASSERT_EQ(view->topLevelItemCount(), 2);
    EXPECT_EQ(RowTexts(dialog.get(), 1)[0], "c");
    EXPECT_TRUE(view->topLevelItem(1)->isSelected());
    EXPECT_EQ(list.row(1).password, "pw-c");
}

TEST_F(MainDialogTest, WindowMenuEndsWithAboutWhichOpensModally) {
    auto dialog = Open();
    const QList<QAction*> actions = dialog->WindowMenu()->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions.back()->text(), "&About Parvolink...");
    bool opened = false;
    WhenModal<AboutDialog>([&](AboutDialog* about) {
        opened = true;
        about->accept();
    });
    actions.back()->trigger();
    EXPECT_TRUE(opened);
}

// Two cards answer for one address: the row keeps the first and names both; the export carries
// the rows without accounts or passwords, and a file that cannot be written is told.
TEST_F(MainDialogTest, SharedAddressIsFlaggedAndTheListExports) {
    auto dialog = Open();
    QUdpSocket cards;
    for (const char* mac : {"00:C0:B7:00:00:07", "00:C0:B7:00:00:99"}) {
        const std::string reply = DatagramCodec::EncodeText(
            std::string("QorinWebConfig\tDiscover\t10.0.0.7\t") + mac + "\t2.1\tNMC\tups\t1\t");
        cards.writeDatagram(reply.data(), static_cast<qint64>(reply.size()),
                            QHostAddress::LocalHost, dialog->managementPort());
    }
    auto* view = Find<QTreeWidget>(dialog.get(), ids::mainwindow::kDeviceList);
    QTRY_VERIFY(view->topLevelItemCount() == 1 && !view->topLevelItem(0)->toolTip(0).isEmpty());
    QTreeWidgetItem* row = view->topLevelItem(0);
    EXPECT_EQ(row->text(6), "00:C0:B7:00:00:99");  // the card that answered last
    EXPECT_EQ(row->toolTip(3),
              "Two cards answer at 10.0.0.7: MAC addresses 00:C0:B7:00:00:99 "
              "and 00:C0:B7:00:00:07. Give one of them another address.");
    EXPECT_FALSE(row->icon(1).isNull());
    dialog->deviceList().SetAccount(0, "operator", "secret");

    QString target = QString::fromStdString((dir.path() / "cards.csv").string());
    dialog->SetExportFileChooser([&] { return target; });
    QAction* exportList =
        dialog->WindowMenu()->findChild<QAction*>(ids::mainwindow::kExportDeviceList);
    ASSERT_NE(exportList, nullptr);
    // The window menu's rule opens About for every id whose low four bits cleared give 16.
    EXPECT_NE(exportList->objectName().toInt() & ~0xF, 16);
    exportList->trigger();
    EXPECT_EQ(dir.Read("cards.csv"),
              "IP Address,Host Name,Version,Model/Product,Mac Address,Flash Size,"
              "Duplicate Mac Address\n"
              "10.0.0.7,ups,2.1,NMC,00:C0:B7:00:00:99,256K,00:C0:B7:00:00:07\n");
    EXPECT_TRUE(prompter.shown.empty());

    target = QString::fromStdString((dir.path() / "missing" / "cards.csv").string());
    exportList->trigger();
    EXPECT_EQ(prompter.Messages(),
              std::vector<Message>{mainwindow::CannotExport(target.toStdString())});
}

// The settings file names the file the TFTP server serves from start-up. Only a correct
// upgrade file under its own name is taken; anything else a planted file names is neither
// served to a host asking for it nor remembered.
TEST_F(MainDialogTest, ServesARememberedFileOnlyWhenItIsFirmware) {
    std::string image(20000, '\xEE');
    image.replace(39, 20, "NMC-3 FIRMWARE      ");
    image.replace(16388, 5, "V2.40");
    const std::string firmware = dir.Write("card.bin", image).string();
    const std::string secret =
        dir.Write("shadow", "root:$6$salt$hash:19000:0:99999:7:::\n").string();
    struct Case {
        const char* name;
        std::string lines;
        std::string served;  // the name a host asks for
        bool taken;
    };
    const Case cases[] = {
        {"firmware", firmware + "\r\ncard.bin\r\n", "card.bin", true},
        {"aPasswordFile", secret + "\r\nshadow\r\n", "shadow", false},
        {"anotherName", firmware + "\r\nshadow\r\n", "shadow", false},
        {"aDirectory", dir.path().string() + "\r\n\r\n", "", false},
        {"missing", "/srv/fw/card.bin\r\ncard.bin\r\n", "card.bin", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dir.Write("Parvolink.ini", c.lines);
        auto dialog = Open();
        EXPECT_EQ(dialog->firmware().firmwareFileName.empty(), !c.taken);
        QUdpSocket host;
        ASSERT_TRUE(host.bind(QHostAddress::LocalHost, 0));
        const std::string rrq = std::string("\0\1", 2) + c.served + '\0' + "octet" + '\0';
        host.writeDatagram(rrq.data(), static_cast<qint64>(rrq.size()), QHostAddress::LocalHost,
                           dialog->tftpPort());
        QByteArray data;
        static_cast<void>(QTest::qWaitFor(
            [&] {
                if (host.hasPendingDatagrams()) {
                    data.resize(600);
                    data.resize(host.readDatagram(data.data(), data.size()));
                }
                return !data.isEmpty();
            },
            300));
        EXPECT_EQ(!data.isEmpty() && data[1] == 3, c.taken) << "a block was served";
    }
}

TEST_F(MainDialogTest, EscapeEndsTheWindow) {
    auto dialog = Open();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

}  // namespace
}  // namespace parvolink
