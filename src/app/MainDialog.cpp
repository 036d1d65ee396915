// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainDialog.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <iostream>

#include "app/AboutDialog.h"
#include "app/Version.h"
#include "core/devices/DeviceListExport.h"
#include "core/protocol/DatagramCodec.h"
#include "core/protocol/Messages.h"
#include "core/upgrade/UpgradeChecks.h"
#include "kit/ControlIds.h"
#include "kit/Icons.h"
#include "kit/IpAddressEdit.h"
#include "kit/Prompter.h"
#include "kit/Text.h"
#include "shell/config/ConfigurationDialog.h"
#include "shell/config/UsmDialog.h"
#include "shell/devices/DeviceListView.h"
#include "shell/protocol/NetworkEnvironment.h"
#include "shell/upgrade/UpgradeDialog.h"

namespace parvolink {

MainDialog::MainDialog(MainDialogServices services)
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      services_(std::move(services)),
      discoverWire_(DatagramCodec::EncodeText(DiscoverLine())),
      discoverRunner_([this](std::string_view host) { return SendRequest(discoverWire_, host); },
                      [this](std::function<void()> resume) {
                          managementSocket_.WhenWritable(std::move(resume));
                      }) {
    setObjectName(ids::mainwindow::kDialog);
    engine_.UseAccounts(services_.accounts);
    // Coarse timers drift by up to 5 %: a countdown of seconds must keep to seconds.
    operationTimer_.setTimerType(Qt::PreciseTimer);
    operationTimer_.setInterval(services_.operationTick);
    // A tick may open a modal dialog, and the ticks must go on inside it. Qt never fires a
    // timer again while its own timeout is being handled, so each tick runs just after it.
    connect(&operationTimer_, &QTimer::timeout, this,
            [this] { QTimer::singleShot(0, this, [this] { engine_.Tick(); }); });
    connect(&discoverRunner_, &DiscoverRunner::Progress, this, &MainDialog::OnDiscoverProgress);
    connect(&discoverRunner_, &DiscoverRunner::Finished, this, &MainDialog::OnDiscoverFinished);
    managementSocket_.OnReceive([this](std::string_view datagram, const Ipv4Address& from) {
        engine_.OnDatagram(datagram, from);
    });
    firmwareServer_.OnActions([this](const TftpActions& actions) { OnTftpActions(actions); });
    firmwareServer_.OnTick([this] { OnTftpTick(); });
    OpenSockets();
    firmware_ = ReadSettings(services_.currentDirectory).value_or(FirmwareSettings{});
    if (!RememberedFirmwareServable(firmware_)) {
        firmware_ = {};  // started as if none was chosen: nothing is served until one is
    }
    BuildControls();
    BuildWindowMenu();
    FillWindow();
}

MainDialog::~MainDialog() {
    deviceList_.Clear();
    managementSocket_.Close();
    firmwareServer_.Close();
}

std::optional<Message> mainwindow::OpenFailure(ManagementSocket::OpenResult result) {
    switch (result) {
        case ManagementSocket::OpenResult::CannotOpen:
            return kCannotOpenUdp;
        case ManagementSocket::OpenResult::CannotSetBroadcast:
            return kCannotSetBroadcast;
        case ManagementSocket::OpenResult::Ready:
            break;
    }
    return std::nullopt;
}

void MainDialog::OpenSockets() {
    // These messages come before the window exists, so they have no owner.
    if (const auto failure = mainwindow::OpenFailure(managementSocket_.Open())) {
        services_.prompter.ShowMessage(nullptr, *failure);
    } else {
        managementSocketReady_ = true;
    }
    tftpSocketReady_ = firmwareServer_.Open(services_.tftpPort);
    if (!tftpSocketReady_) {
        // The box keeps its one line; why, and the step that gets the port, go to the terminal.
        const PortFailure& why = firmwareServer_.failure();
        std::cerr << "parvolink: " << mainwindow::kCannotOpenTftp.text << " (" << why.reason << ")"
                  << (why.remedy.empty() ? "" : "; to get it: " + why.remedy) << "\n";
        services_.prompter.ShowMessage(nullptr, mainwindow::kCannotOpenTftp);
    }
}

void MainDialog::FillWindow() {
    if (!managementSocketReady_) {
        EnableButtons(false);
    }
    if (!tftpSocketReady_) {
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
    connect(lanBox_, &QComboBox::currentIndexChanged, this, &MainDialog::ShowChosenLan);

    engine_.SetHostAddress(
        ChooseHostAddress(services_.network.HostNameAddresses(), interfaceTable_));
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
    engine_.BeginOperation(exchange::kDiscoverTicks);
    deviceList_.BeginDiscover();
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
    const bool tickFellDue = discoverRunner_.Elapsed() >= operationTimer_.interval();
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

void MainDialog::ShowChosenLan() {
    if (const auto row = RowForLanText(interfaceTable_, ToText(lanBox_->currentText()))) {
        ShowInterfaceSubnet(interfaceTable_[*row]);
    }
}

void MainDialog::OnUpgrade() {
    if (deviceList_.empty() || !upgradeDialog_->Run()) {
        return;
    }
    engine_.BeginOperation(exchange::kUpgradeTicks);
    // Once a run is enough: the user knows, and the upgrade itself goes on regardless.
    if (!WriteSettings(services_.currentDirectory, firmware_) &&
        !std::exchange(settingsWarned_, true)) {
        ShowMessage(devices::kCannotWriteSettings);
    }
}

void MainDialog::OnTftpTick() {
    // The progress window runs modally from here; later ticks keep serving from inside it.
    // While an earlier run is still unwinding, the new transfer's window waits for a later tick.
    if (!progressRunning_ && firmwareServer_.TakeTransferStarted()) {
        progressRunning_ = true;
        upgradeProgress_->Run(tftpServer().blockCount(), tftpServer().progress());
        progressRunning_ = false;
    }
    // Ten times a second is smooth enough, and costs the transfers nothing per block.
    if (upgradeProgress_->isVisible()) {
        upgradeProgress_->SetPosition(tftpServer().progress());
    }
}

void MainDialog::OnTftpActions(const TftpActions& actions) {
    if (actions.endProgress && upgradeProgress_->isVisible()) {
        upgradeProgress_->done(1);
    }
    if (actions.message) {
        PostMessage(*actions.message, actions.messageOrigin);
    }
}

void MainDialog::OnAdd() {
    AddRow(deviceList_, *this);
    RefreshList();
}

void MainDialog::OnModify() {
    ModifyRow(deviceList_, *this);
    RefreshList();
}

void MainDialog::OnRemove() {
    RemoveRow(deviceList_);
    RefreshList();
}

void MainDialog::RefreshList() {
    listView_->Show(deviceList_);
}

bool MainDialog::RunAccountDialog(AccountValues& values) {
    return accountDialog_->Run(values);
}

void MainDialog::ShowMessage(const Message& message) {
    ShowMessage(message, MessageOrigin::Result);
}

void MainDialog::ShowMessage(const Message& message, MessageOrigin origin) {
    if (messages_.Push(message, origin, MessageQueue::Clock::now())) {
        ShowWaitingMessages();
    }
}

void MainDialog::PostMessage(const Message& message, MessageOrigin origin) {
    if (messages_.Push(message, origin, MessageQueue::Clock::now()) &&
        !std::exchange(messagesPosted_, true)) {
        QTimer::singleShot(0, this, [this] {
            messagesPosted_ = false;
            ShowWaitingMessages();
        });
    }
}

void MainDialog::ShowWaitingMessages() {
    // A call made while a box is open finds nothing to do: the loop that opened that box
    // shows what waits once it is closed.
    while (const std::optional<Message> next = messages_.Next()) {
        services_.prompter.ShowMessage(this, *next);
        messages_.Shown(MessageQueue::Clock::now());
    }
}

bool MainDialog::StartOperationTimer() {
    operationTimer_.start();
    return true;
}

void MainDialog::StopOperationTimer() {
    operationTimer_.stop();
}

bool MainDialog::SendDatagram(std::string_view wire, std::string_view host) {
    return SendRequest(wire, host) == SendOutcome::Sent;
}

SendOutcome MainDialog::SendRequest(std::string_view wire, std::string_view host) {
    if (services_.sendRequest) {
        return services_.sendRequest(wire, host) ? SendOutcome::Sent : SendOutcome::Failed;
    }
    if (!managementSocketReady_) {
        return SendOutcome::Failed;
    }
    return managementSocket_.Send(wire, host, wire::kManagementPort);
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

SequenceOutcome MainDialog::RunConfigurationSequence(const DeviceEntry& card) {
    if (configurationDialog_->isVisible()) {
        return {};
    }
    switch (configurationDialog_->Run(deviceConfiguration_, GatesFor(card.version, card.model))) {
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

SequenceOutcome MainDialog::RunSnmpv3Sequence(const DeviceEntry& /*card*/) {
    if (usmDialog_->isVisible()) {
        return {};
    }
    userToVerify_.reset();
    switch (usmDialog_->Run(usm_)) {
        case UsmDialog::Result::Reset:
            return {SequenceOutcome::Kind::Reset, {}};
        case UsmDialog::Result::UpdateContextName:
            return {SequenceOutcome::Kind::Accepted, SetSnmpv3ContextPayload(usm_)};
        case UsmDialog::Result::SubmitKey:
            break;
    }
    auto [auth, priv] = usmDialog_->TakeSubmittedPasswords();
    const std::string& name = usm_.userNames[static_cast<std::size_t>(usm_.submitIndex)];
    if (!name.empty()) {
        userToVerify_ = snmp::Credentials{snmp::Credentials::Version::V3,
                                          "",
                                          name,
                                          usm_.submitLevel,
                                          std::move(auth),
                                          std::move(priv)};
    }
    return {SequenceOutcome::Kind::Accepted, SetSnmpv3UserPayload(usm_)};
}

void MainDialog::SnmpUserAccepted(const DeviceEntry& card) {
    if (!userToVerify_) {
        return;  // an "OK" nobody here asked for, or for a context name
    }
    // The card the user was written to, by its address in the form every reader takes alike:
    // "198.51.100.010" is .10, never octal .8. A card known by a name is not asked: the name
    // would be looked up, blocking.
    const auto written = ParseStrictAddress(card.ipAddress);
    if (!written) {
        userToVerify_.reset();
        return;
    }
    const UserToVerify user{FormatDottedAddress(*written),
                            *std::exchange(userToVerify_, std::nullopt)};
    if (userVerifier_ == nullptr) {
        userVerifier_ = new UserVerifier(this);
    }
    userVerifier_->Verify(
        user.address, user.credentials, {}, [this, user](const snmp::Answer& answer) {
            if (answer.outcome != snmp::Outcome::Answered) {
                ShowMessage(
                    snmp::UserNotVerified(user.credentials.user, user.address, answer.outcome),
                    MessageOrigin::Result);
            }
        });
}

void MainDialog::OnExportDeviceList() {
    // The user's home the first time, then the directory last exported to: the working
    // directory may be a temporary one (the demo's) that is gone tomorrow.
    if (exportDirectory_.isEmpty()) {
        exportDirectory_ = QDir::homePath();
    }
    const QString defaultPath = QDir(exportDirectory_).filePath("devices.csv");
    const QString path = services_.chooseExportFile
                             ? services_.chooseExportFile()
                             : QFileDialog::getSaveFileName(this, "Export Device List", defaultPath,
                                                            "CSV files (*.csv);;All files (*)");
    if (path.isEmpty()) {
        return;
    }
    exportDirectory_ = QFileInfo(path).absolutePath();
    // Whole or not at all: an old file of that name stays as it was when writing fails.
    QSaveFile file(path);
    const std::string csv = ExportDeviceListCsv(deviceList_);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) !=
            static_cast<qint64>(csv.size()) ||
        !file.commit()) {
        ShowMessage(mainwindow::CannotExport(path.toStdString()));
    }
}

void MainDialog::OnAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
    windowMenu_->popup(event->globalPos());
}

}  // namespace parvolink
