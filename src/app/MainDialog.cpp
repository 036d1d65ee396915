#include "app/MainDialog.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

#include "app/AboutDialog.h"
#include "app/DialogUnits.h"
#include "app/Icons.h"
#include "app/IpAddressEdit.h"
#include "app/NetworkEnvironment.h"
#include "app/Prompter.h"
#include "app/Text.h"
#include "app/Version.h"
#include "config/ConfigurationDialog.h"
#include "config/UsmDialog.h"
#include "upgrade/UpgradeChecks.h"
#include "upgrade/UpgradeDialog.h"
#include "devices/DeviceListView.h"
#include "protocol/DatagramCodec.h"
#include "protocol/Messages.h"

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

}  // namespace

MainDialog::MainDialog(MainDialogServices services)
    : QDialog(nullptr,
              Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      services_(std::move(services)),
      discoverWire_(DatagramCodec::EncodeText(DiscoverLine())),
      discoverRunner_([this](std::string_view host) { return SendDatagram(discoverWire_, host); }) {
    setObjectName("102");
    operationTimer_.setInterval(1000);
    connect(&operationTimer_, &QTimer::timeout, this, [this] { engine_.Tick(); });
    connect(&discoverRunner_, &DiscoverRunner::Progress, this, &MainDialog::OnDiscoverProgress);
    connect(&discoverRunner_, &DiscoverRunner::Finished, this, &MainDialog::OnDiscoverFinished);
    managementSocket_.OnReceive([this](std::string_view datagram) { engine_.OnDatagram(datagram); });
    tftpTimer_.setInterval(100);
    connect(&tftpTimer_, &QTimer::timeout, this, &MainDialog::OnTftpTick);
    tftpServerSocket_.OnDatagram([this](const DatagramSocket::Received& d) {
        Apply(tftpServer_.OnDatagram(
            std::span(reinterpret_cast<const std::uint8_t*>(d.bytes.data()), d.bytes.size()),
            {d.from, d.port}));
    });
    OpenSockets();
    firmware_ = ReadSettings(services_.currentDirectory).value_or(FirmwareSettings{});
    BuildControls();
    BuildWindowMenu();
    OnInitDialog();
}

MainDialog::~MainDialog() {
    deviceList_.Clear();
    managementSocket_.Close();
    tftpServerSocket_.Close();
}

void MainDialog::OpenSockets() {
    // These messages come before the window exists, so they have no owner.
    switch (managementSocket_.Open()) {
        case ManagementSocket::OpenResult::CannotOpen:
            services_.prompter.ShowMessage(nullptr, mainwindow::kCannotOpenUdp);
            break;
        case ManagementSocket::OpenResult::CannotSetBroadcast:
            services_.prompter.ShowMessage(nullptr, mainwindow::kCannotSetBroadcast);
            break;
        case ManagementSocket::OpenResult::Ready:
            managementSocketReady_ = true;
            break;
    }
    tftpSocketReady_ = tftpServerSocket_.Open(services_.tftpPort);
    if (!tftpSocketReady_) {
        services_.prompter.ShowMessage(nullptr, mainwindow::kCannotOpenTftp);
    }
}

void MainDialog::BuildControls() {
    setFont(DialogFont());
    const DialogUnits du(font());
    setFixedSize(du.X(477), du.Y(209));

    const auto button = [&](const char* id, const char* text, QRect where) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(id);
        b->setGeometry(where);
        return b;
    };
    const auto label = [&](const QString& text, QRect where, QWidget* parent) {
        auto* l = new QLabel(text, parent);
        l->setGeometry(where);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    };
    const auto picture = [&](const QPixmap& pixmap, int x, int y) {
        auto* l = new QLabel(this);
        l->setPixmap(pixmap);
        l->setGeometry(du.X(x), du.Y(y), pixmap.width(), pixmap.height());
    };

    discover_ = button("1001", "&Discover", du.Rect(288, 5, 62, 14));
    discover_->setDefault(true);
    configuration_ = button("1007", "&Configuration...", du.Rect(288, 43, 62, 14));
    upgrade_ = button("1008", "&Upgrade...", du.Rect(288, 63, 62, 14));

    const QRect hintPlaces[] = {du.Rect(34, 7, 250, 9), du.Rect(34, 16, 250, 27),
                                du.Rect(34, 45, 250, 17), du.Rect(34, 64, 250, 17)};
    for (std::size_t i = 0; i < std::size(kHints); ++i) {
        label(kHints[i], hintPlaces[i], this);
    }
    picture(DiscoverPicture(), 9, 6);
    picture(ApplicationPicture(), 9, 42);
    picture(UpgradePicture(), 9, 61);

    auto* lan = new QGroupBox("LAN", this);
    lan->setGeometry(du.Rect(360, 1, 110, 82));
    lanBox_ = new QComboBox(this);
    lanBox_->setObjectName("1044");
    lanBox_->setGeometry(du.Rect(365, 13, 101, 13));
    label("Subnet:", du.Rect(366, 28, 95, 9), this);
    subnet_ = new IpAddressEdit(this);
    subnet_->setObjectName("1016");
    subnet_->setGeometry(du.Rect(365, 39, 100, 13));
    label("Subnet Mask:", du.Rect(366, 55, 95, 9), this);
    subnetMask_ = new IpAddressEdit(this);
    subnetMask_->setObjectName("1017");
    subnetMask_->setGeometry(du.Rect(365, 66, 100, 13));

    discoverProgress_ = new QProgressBar(this);
    discoverProgress_->setGeometry(du.Rect(362, 84, 106, 4));
    discoverProgress_->setTextVisible(false);
    discoverProgress_->hide();

    auto* devices = new QGroupBox("Device List", this);
    devices->setObjectName("1006");
    devices->setGeometry(du.Rect(6, 82, 465, 122));
    listView_ = new DeviceListView(this);
    listView_->setObjectName("1000");
    listView_->setGeometry(du.Rect(13, 94, 339, 104));
    listView_->setContextMenuPolicy(Qt::PreventContextMenu);
    listView_->OnUserSelection([this](int row) { deviceList_.Select(row); });

    add_ = button("1002", "&Add...", du.Rect(357, 93, 50, 14));
    label("Add an new item of SNMP device to the Device List manually.",
          du.Rect(359, 111, 110, 18), this);
    modify_ = button("1003", "&Modify...", du.Rect(358, 130, 50, 14));
    label("Set the account and password for the selected device.", du.Rect(358, 147, 110, 18),
          this);
    remove_ = button("1004", "&Remove", du.Rect(358, 165, 50, 14));
    label("Remove the selected device from the Device List.", du.Rect(359, 183, 110, 18), this);

    connect(add_, &QPushButton::clicked, this, &MainDialog::OnAdd);
    connect(modify_, &QPushButton::clicked, this, &MainDialog::OnModify);
    connect(remove_, &QPushButton::clicked, this, &MainDialog::OnRemove);
    connect(discover_, &QPushButton::clicked, this, &MainDialog::OnDiscover);
    connect(upgrade_, &QPushButton::clicked, this, &MainDialog::OnUpgrade);
    connect(configuration_, &QPushButton::clicked, this, [this] { engine_.OnConfiguration(); });

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
    QAction* about = windowMenu_->addAction("&About Parvolink...", this, &MainDialog::OnAbout);
    about->setObjectName("16");
    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(shortcut, &QShortcut::activated, this,
            [this] { windowMenu_->popup(mapToGlobal(QPoint(0, 0))); });
}

void MainDialog::OnInitDialog() {
    if (!managementSocketReady_) {
        EnableButtons(false);
    }
    if (tftpSocketReady_) {
        tftpTimer_.start();
    } else {
        upgrade_->setEnabled(false);
    }
    setWindowIcon(ApplicationIcon());
    setWindowTitle(kWindowTitle);

    interfaceTable_ = services_.network.InterfaceTable();
    const std::vector<LanChoice> choices = LanBoxEntries(interfaceTable_);
    for (const LanChoice& choice : choices) {
        lanBox_->addItem(FromText(choice.text));
    }
    if (!choices.empty()) {
        lanBox_->setCurrentIndex(0);
        ShowInterfaceSubnet(interfaceTable_[choices.front().row]);
    }
    connect(lanBox_, &QComboBox::currentIndexChanged, this, &MainDialog::OnLanSelChange);

    engine_.SetHostAddress(services_.network.HostAddress());
}

void MainDialog::EnableButtons(bool on) {
    if (discoverRunner_.Running()) {
        // While a sweep runs only its Stop button is live, whatever a reply asks.
        on = false;
    }
    for (QPushButton* b : {add_, modify_, remove_, discover_, configuration_}) {
        b->setEnabled(on);
    }
    upgrade_->setEnabled(on && tftpSocketReady_);
    discover_->setEnabled(on || discoverRunner_.Running());
}

void MainDialog::OnDiscover() {
    if (!managementSocketReady_) {
        return;
    }
    if (discoverRunner_.Running()) {
        discoverRunner_.Stop();
        return;
    }
    engine_.BeginOperation(engine::kDiscoverTicks);
    // No ticks while the sweep runs, as none could be handled during a sweep that blocked.
    operationTimer_.stop();
    discover_->setText("&Stop");
    discover_->setEnabled(true);
    discoverRunner_.Start(subnet_->Address(), subnetMask_->Address());
}

void MainDialog::OnDiscoverProgress(quint64 sent, quint64 total) {
    if (discoverRunner_.Elapsed() < 1000) {
        return;  // short sweeps show no progress
    }
    discoverProgress_->setRange(0, static_cast<int>(total));
    discoverProgress_->setValue(static_cast<int>(sent));
    discoverProgress_->show();
}

void MainDialog::OnDiscoverFinished() {
    discover_->setText("&Discover");
    discoverProgress_->hide();
    EnableButtons(false);
    const bool tickFellDue = discoverRunner_.Elapsed() >= 1000;
    operationTimer_.start();
    if (tickFellDue) {
        engine_.Tick();  // the one tick that fell due during the sweep: buttons back ~2 s later
    }
}

void MainDialog::ShowInterfaceSubnet(const InterfaceRow& row) {
    const SubnetFields fields = InterfaceSubnet(row);
    subnet_->SetAddress(fields.subnet);
    subnetMask_->SetAddress(fields.mask);
}

void MainDialog::OnLanSelChange() {
    if (const auto row = RowForLanText(interfaceTable_, ToText(lanBox_->currentText()))) {
        ShowInterfaceSubnet(interfaceTable_[*row]);
    }
}

void MainDialog::OnUpgrade() {
    if (deviceList_.empty() || !upgradeDialog_->Run()) {
        return;
    }
    engine_.BeginOperation(engine::kUpgradeTicks);
    WriteSettings(services_.currentDirectory, firmware_);
}

void MainDialog::OnTftpTick() {
    // The progress window runs modally from here; later ticks keep serving from inside it.
    if (tftpServer_.TakeTransferStarted() && !upgradeProgress_->isVisible()) {
        upgradeProgress_->Run(tftpServer_.blockCount());
    }
    Apply(tftpServer_.OnTick());
}

void MainDialog::Apply(const TftpActions& actions) {
    for (const TftpDatagram& datagram : actions.sends) {
        tftpServerSocket_.SendTo(datagram.bytes, datagram.to.address, datagram.to.port);
    }
    if (actions.progress) {
        upgradeProgress_->SetPosition(*actions.progress);
    }
    if (actions.endProgress && upgradeProgress_->isVisible()) {
        upgradeProgress_->done(1);
    }
    if (actions.message) {
        ShowMessage(*actions.message);
    }
}

void MainDialog::OnAdd() {
    parvolink::OnAdd(deviceList_, *this);
    RefreshList();
}

void MainDialog::OnModify() {
    parvolink::OnModify(deviceList_, *this);
    RefreshList();
}

void MainDialog::OnRemove() {
    parvolink::OnRemove(deviceList_);
    RefreshList();
}

void MainDialog::RefreshList() { listView_->Show(deviceList_); }

bool MainDialog::RunAccountDialog(AccountValues& values) { return accountDialog_->Run(values); }

void MainDialog::ShowMessage(const Message& message) {
    services_.prompter.ShowMessage(this, message);
}

bool MainDialog::StartOperationTimer() {
    operationTimer_.start();
    return true;
}

void MainDialog::StopOperationTimer() { operationTimer_.stop(); }

bool MainDialog::SendDatagram(std::string_view wire, std::string_view host) {
    return managementSocketReady_ && managementSocket_.Send(wire, host, wire::kManagementPort);
}

void MainDialog::DeviceListChanged() {
    // Replies come in bursts (every card answers a Discover): the view catches up once per
    // burst, not once per reply.
    if (!refreshPending_) {
        refreshPending_ = true;
        QTimer::singleShot(0, this, [this] {
            refreshPending_ = false;
            RefreshList();
        });
    }
}

bool MainDialog::StoreConfiguration(std::string_view payload) {
    // A second reply while the dialog shows the first must not change the record under it,
    // nor open a second dialog over it: it is dropped.
    if (configurationDialog_->isVisible()) {
        return false;
    }
    return ParseConfigureReply(payload, deviceConfiguration_);
}

bool MainDialog::StoreUserTable(std::string_view payload) {
    if (usmDialog_->isVisible()) {
        return false;  // as with the configuration: never a second dialog over the first
    }
    return ParseSnmpv3Reply(payload, usm_);
}

SequenceOutcome MainDialog::RunConfigurationSequence() {
    if (configurationDialog_->isVisible()) {
        return {};
    }
    const DeviceEntry* row = deviceList_.selectedRow();
    const DialogGates gates = row != nullptr ? GatesFor(row->version, row->model) : DialogGates{};
    switch (configurationDialog_->Run(deviceConfiguration_, gates)) {
        case ConfigurationDialog::Result::Cancelled:
            return {};
        case ConfigurationDialog::Result::Reset:
            return {SequenceOutcome::Kind::Reset, {}};
        case ConfigurationDialog::Result::Accepted:
            break;
    }
    if (const auto failure = TakeOverForm(configurationDialog_->form(), deviceConfiguration_)) {
        ShowMessage(*failure);
        return {};
    }
    return {SequenceOutcome::Kind::Accepted, SetConfigurePayload(deviceConfiguration_)};
}

SequenceOutcome MainDialog::RunSnmpv3Sequence() {
    if (usmDialog_->isVisible()) {
        return {};
    }
    switch (usmDialog_->Run(usm_)) {
        case UsmDialog::Result::Reset:
            return {SequenceOutcome::Kind::Reset, {}};
        case UsmDialog::Result::UpdateContextName:
            return {SequenceOutcome::Kind::Accepted, SetSnmpv3ContextPayload(usm_)};
        case UsmDialog::Result::SubmitKey:
            break;
    }
    return {SequenceOutcome::Kind::Accepted, SetSnmpv3UserPayload(usm_)};
}

void MainDialog::OnAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
    windowMenu_->popup(event->globalPos());
}

}  // namespace parvolink
