// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's controls, placed from their dialog-unit positions, and its window menu.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <algorithm>
#include <initializer_list>

#include "app/MainDialog.h"
#include "core/upgrade/UpgradeChecks.h"
#include "kit/ControlIds.h"
#include "kit/DialogUnits.h"
#include "kit/Icons.h"
#include "kit/IpAddressEdit.h"
#include "shell/config/ConfigurationDialog.h"
#include "shell/config/UsmDialog.h"
#include "shell/devices/DeviceListView.h"
#include "shell/upgrade/UpgradeDialog.h"

namespace parvolink {
namespace {

constexpr const char* kHints[] = {
    "Press \"Discover\" button to search all of the SNMP devices in the LAN.",
    "Then select one of device in the \"Device List\" which you would like to configure or "
    "upgrade it. But before to do that please provide the account name and password by "
    "pressing the \"Modify\" button.",
    "\"Configuration\" is used to setup the IP address, netmask, enable or disable networking "
    "services... .",
    "\"Upgrade\" button is used to load the device firmware file then transmit it to the "
    "selected device.",
};

QPushButton* MakeButton(QWidget* parent, const char* id, const char* text, QRect where) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(id);
    b->setGeometry(where);
    return b;
}

QLabel* MakeLabel(const QString& text, QRect where, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(where);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

void PlacePicture(QWidget* parent, const DialogUnits& du, const QPixmap& pixmap, int x, int y) {
    auto* l = new QLabel(parent);
    l->setPixmap(pixmap);
    l->setGeometry(du.X(x), du.Y(y), pixmap.width(), pixmap.height());
}

}  // namespace

void MainDialog::BuildControls() {
    setFont(DialogFont());
    const DialogUnits du(font());
    // The dialog's own size is its smallest; larger, the device list takes the room.
    setMinimumSize(du.X(477), du.Y(209));
    resize(minimumSize());
    BuildOperations(du);
    BuildLanGroup(du);
    BuildDeviceGroup(du);
    BuildDialogs();
}

void MainDialog::BuildOperations(const DialogUnits& du) {
    discover_ = MakeButton(this, ids::mainwindow::kDiscover, "&Discover", du.Rect(288, 5, 62, 14));
    discover_->setDefault(true);
    configuration_ = MakeButton(this, ids::mainwindow::kConfiguration, "&Configuration...",
                                du.Rect(288, 43, 62, 14));
    upgrade_ = MakeButton(this, ids::mainwindow::kUpgrade, "&Upgrade...", du.Rect(288, 63, 62, 14));

    const QRect hintPlaces[] = {du.Rect(34, 7, 250, 9), du.Rect(34, 16, 250, 27),
                                du.Rect(34, 45, 250, 17), du.Rect(34, 64, 250, 17)};
    for (std::size_t i = 0; i < std::size(kHints); ++i) {
        MakeLabel(kHints[i], hintPlaces[i], this);
    }
    PlacePicture(this, du, DiscoverPicture(), 9, 6);
    PlacePicture(this, du, ApplicationPicture(), 9, 42);
    PlacePicture(this, du, UpgradePicture(), 9, 61);

    discoverProgress_ = new QProgressBar(this);
    // Under the Discover button it belongs to, clear of the hints and the group boxes.
    discoverProgress_->setGeometry(du.Rect(288, 23, 62, 5));
    discoverProgress_->setTextVisible(false);
    discoverProgress_->hide();
}

void MainDialog::BuildLanGroup(const DialogUnits& du) {
    auto* lan = new QGroupBox("LAN", this);
    lan->setGeometry(du.Rect(360, 1, 110, 82));
    lanBox_ = new QComboBox(this);
    lanBox_->setObjectName(ids::mainwindow::kLan);
    lanBox_->setGeometry(du.Rect(365, 13, 101, 13));
    MakeLabel("Subnet:", du.Rect(366, 28, 95, 9), this);
    subnet_ = new IpAddressEdit(this);
    subnet_->setObjectName(ids::mainwindow::kSubnet);
    subnet_->setGeometry(du.Rect(365, 39, 100, 13));
    MakeLabel("Subnet Mask:", du.Rect(366, 55, 95, 9), this);
    subnetMask_ = new IpAddressEdit(this);
    subnetMask_->setObjectName(ids::mainwindow::kSubnetMask);
    subnetMask_->setGeometry(du.Rect(365, 66, 100, 13));
}

void MainDialog::BuildDeviceGroup(const DialogUnits& du) {
    auto* devices = new QGroupBox("Device List", this);
    devices->setObjectName(ids::mainwindow::kDeviceGroup);
    devices->setGeometry(du.Rect(6, 82, 465, 122));
    deviceGroup_ = devices;
    listView_ = new DeviceListView(this);
    listView_->setObjectName(ids::mainwindow::kDeviceList);
    listView_->setGeometry(du.Rect(13, 94, 339, 104));
    listView_->setContextMenuPolicy(Qt::PreventContextMenu);
    listView_->OnUserSelection([this](int row) { deviceList_.Select(row); });

    add_ = MakeButton(this, ids::mainwindow::kAdd, "&Add...", du.Rect(357, 93, 50, 14));
    auto* addHint = MakeLabel("Add an new item of SNMP device to the Device List manually.",
                              du.Rect(359, 111, 110, 18), this);
    modify_ = MakeButton(this, ids::mainwindow::kModify, "&Modify...", du.Rect(358, 130, 50, 14));
    auto* modifyHint = MakeLabel("Set the account and password for the selected device.",
                                 du.Rect(358, 147, 110, 18), this);
    remove_ = MakeButton(this, ids::mainwindow::kRemove, "&Remove", du.Rect(358, 165, 50, 14));
    auto* removeHint = MakeLabel("Remove the selected device from the Device List.",
                                 du.Rect(359, 183, 110, 18), this);
    // What sits beside the list follows its right edge when the window grows.
    for (QWidget* side :
         std::initializer_list<QWidget*>{add_, addHint, modify_, modifyHint, remove_, removeHint}) {
        besideList_.emplace_back(side, side->geometry());
    }
    deviceGroupBase_ = deviceGroup_->geometry();
    listBase_ = listView_->geometry();

    connect(add_, &QPushButton::clicked, this, &MainDialog::OnAdd);
    connect(modify_, &QPushButton::clicked, this, &MainDialog::OnModify);
    connect(remove_, &QPushButton::clicked, this, &MainDialog::OnRemove);
    connect(discover_, &QPushButton::clicked, this, &MainDialog::OnDiscover);
    connect(upgrade_, &QPushButton::clicked, this, &MainDialog::OnUpgrade);
    connect(configuration_, &QPushButton::clicked, this, [this] { engine_.OnConfiguration(); });
}

void MainDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (deviceGroup_ == nullptr) {
        return;
    }
    // Everything above the list keeps its place; the list takes the width and height added.
    const int dx = std::max(0, width() - minimumWidth());
    const int dy = std::max(0, height() - minimumHeight());
    deviceGroup_->setGeometry(deviceGroupBase_.adjusted(0, 0, dx, dy));
    listView_->setGeometry(listBase_.adjusted(0, 0, dx, dy));
    for (const auto& [widget, base] : besideList_) {
        widget->setGeometry(base.translated(dx, 0));
    }
}

void MainDialog::BuildDialogs() {
    accountDialog_ = new AccountDialog(services_.prompter, this);
    configurationDialog_ = new ConfigurationDialog(services_.prompter, this);
    configurationDialog_->OnSnmpv3Query([this] { engine_.StartSnmpv3Query(); });
    usmDialog_ = new UsmDialog(services_.prompter, this);
    upgradeDialog_ = new UpgradeDialog(services_.prompter, firmware_, this);
    upgradeDialog_->OnUpgradeNowDo([this](const std::string& path) -> std::optional<Message> {
        if (auto refusal = CheckUpgradeNow(path, deviceList_.selectedRow())) {
            return refusal;
        }
        engine_.SendUpgradeRequest();
        return std::nullopt;
    });
    upgradeProgress_ = new UpgradeProgressDialog(this);
}

void MainDialog::BuildWindowMenu() {
    windowMenu_ = new QMenu(this);
    windowMenu_->addAction("Mi&nimize", this, &QWidget::showMinimized);
    windowMenu_->addAction("&Close", this, &QDialog::reject);
    windowMenu_->addSeparator();
    QAction* exportList =
        windowMenu_->addAction("&Export Device List...", this, &MainDialog::OnExportDeviceList);
    exportList->setObjectName(ids::mainwindow::kExportDeviceList);
    windowMenu_->addSeparator();
    QAction* about = windowMenu_->addAction("&About Parvolink...", this, &MainDialog::OnAbout);
    about->setObjectName(ids::mainwindow::kAbout);
    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(shortcut, &QShortcut::activated, this,
            [this] { windowMenu_->popup(mapToGlobal(QPoint(0, 0))); });
}

}  // namespace parvolink
