// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: owns the sockets, the device list and every dialog of the program, and
// starts each operation from its buttons.
#pragma once

#include <QDialog>
#include <QRect>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "base/LanInterfaces.h"
#include "base/MessageQueue.h"
#include "core/config/DeviceConfiguration.h"
#include "core/config/UsmConfiguration.h"
#include "core/devices/DeviceList.h"
#include "core/devices/DeviceListOperations.h"
#include "core/devices/SettingsFile.h"
#include "core/protocol/RequestEngine.h"
#include "core/upgrade/TftpServer.h"
#include "shell/devices/AccountDialog.h"
#include "shell/protocol/DiscoverRunner.h"
#include "shell/protocol/ManagementSocket.h"
#include "shell/protocol/NetworkFailures.h"
#include "shell/snmp/UserVerifier.h"
#include "shell/upgrade/FirmwareServer.h"

class QComboBox;
class QMenu;
class QProgressBar;
class QPushButton;

namespace parvolink {

class ConfigurationDialog;
class DialogUnits;
class DeviceListView;
class UpgradeDialog;
class UpgradeProgressDialog;
class UsmDialog;
class IpAddressEdit;
class NetworkEnvironment;
class Prompter;

// What the main window needs from outside; tests give their own.
struct MainDialogServices {
    NetworkEnvironment& network;
    Prompter& prompter;
    std::filesystem::path currentDirectory;  // where "Parvolink.ini" is read and written
    quint16 tftpPort = kTftpPort;
    // Where requests go instead of the management socket, when set: tests record them.
    std::function<bool(std::string_view wire, std::string_view host)> sendRequest{};
    // The operation timer's second and the TFTP timer's tenth: tests that wait for countdowns
    // and retransmissions run them faster.
    std::chrono::milliseconds operationTick{1000};
    std::chrono::milliseconds tftpTick{100};
    // Accounts for the rows a Discover lists (--accounts); read only, never written back.
    std::shared_ptr<const Accounts> accounts{};
    // Asks where to export the device list (empty: cancelled); a save dialog when unset.
    std::function<QString()> chooseExportFile{};
};

namespace mainwindow {
// What the user is told when the management socket did not open; nothing when it did.
std::optional<Message> OpenFailure(ManagementSocket::OpenResult result);
// The device list could not be written to path.
inline Message CannotExport(const std::string& path) {
    return {"Can't write the file " + path + ".", "Warning", MessageIcon::Warning};
}
}  // namespace mainwindow

class MainDialog : public QDialog, private DeviceListHost, private EngineHost {
    Q_OBJECT
public:
    explicit MainDialog(MainDialogServices services);
    ~MainDialog() override;

    // Enables the six operation buttons, Upgrade only while the TFTP port is ours.
    void EnableButtons(bool on) override;

    bool managementSocketReady() const { return managementSocketReady_; }
    bool tftpSocketReady() const { return tftpSocketReady_; }
    const Ipv4Address& hostAddress() const { return engine_.hostAddress(); }
    DeviceList& deviceList() { return deviceList_; }
    const FirmwareSettings& firmware() const { return firmware_; }
    RequestEngine& engine() { return engine_; }
    // True while a user just written is being proved on its card's agent.
    bool verifyingUser() const { return userVerifier_ != nullptr && userVerifier_->verifying(); }
    const QTimer& operationTimer() const { return operationTimer_; }
    const TftpServer& tftpServer() const { return firmwareServer_.server(); }
    quint16 tftpPort() const { return firmwareServer_.LocalPort(); }
    quint16 managementPort() const { return managementSocket_.LocalPort(); }
    // The card's settings as the last "Configure" reply gave them and the user edited them.
    const DeviceConfiguration& configuration() const { return deviceConfiguration_; }
    // The card's SNMPv3 users as the last "SNMPv3" reply gave them, and the last submission.
    const UsmConfiguration& usm() const { return usm_; }

    // "&Discover": starts the sweep; while one runs the button reads "&Stop" and ends it.
    void OnDiscover();
    bool Discovering() const { return discoverRunner_.Running(); }
    // "&Upgrade...": the upgrade dialog; a sent request starts the 15-second wait.
    void OnUpgrade();
    void OnAdd();
    void OnModify();
    void OnRemove();
    // The LAN box's choice changed: its network goes into the Subnet and Subnet Mask fields.
    void ShowChosenLan();
    void ShowInterfaceSubnet(const InterfaceRow& row);

    // The window menu (Alt+Space, or a right click on the window's free area).
    QMenu* WindowMenu() const { return windowMenu_; }
    void OnAbout();
    // Writes the rows, without accounts or passwords, to a CSV file the user names.
    void OnExportDeviceList();
    void SetExportFileChooser(std::function<QString()> chooser) {
        services_.chooseExportFile = std::move(chooser);
    }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OpenSockets();
    // The controls at their dialog-unit places: the operation buttons with their hints, the
    // LAN group, the device list group, then the dialogs the window owns.
    void BuildControls();
    void BuildOperations(const DialogUnits& du);
    void BuildLanGroup(const DialogUnits& du);
    void BuildDeviceGroup(const DialogUnits& du);
    void BuildDialogs();
    void BuildWindowMenu();
    // Once the controls exist: title, icons, the LAN box and this PC's own address.
    void FillWindow();
    void RefreshList();
    void OnDiscoverProgress(quint64 sent, quint64 total);
    void OnDiscoverFinished();
    // Each 100 ms of the TFTP server: the progress window opens for a new transfer and follows
    // it.
    void OnTftpTick();
    // What a TFTP datagram or tick did beyond its packets: the progress window ended, a
    // message.
    void OnTftpActions(const TftpActions& actions);

    bool RunAccountDialog(AccountValues& values) override;
    // One message box at a time: at once when none is open, else once the open one and those
    // waiting before it are closed (see MessageQueue).
    void ShowMessage(const Message& message) override;
    void ShowMessage(const Message& message, MessageOrigin origin) override;
    // The same from a socket handler: shown from the event loop once the handler, and any
    // progress window it ended, have returned.
    void PostMessage(const Message& message, MessageOrigin origin);
    void ShowWaitingMessages();

    bool StartOperationTimer() override;
    void StopOperationTimer() override;
    bool SendDatagram(std::string_view wire, std::string_view host) override;
    SendOutcome SendRequest(std::string_view wire, std::string_view host);
    void DeviceListChanged() override;
    bool StoreConfiguration(std::string_view payload) override;
    bool StoreUserTable(std::string_view payload) override;
    SequenceOutcome RunConfigurationSequence(const DeviceEntry& card) override;
    SequenceOutcome RunSnmpv3Sequence(const DeviceEntry& card) override;
    void SnmpUserAccepted(const DeviceEntry& card) override;

    MainDialogServices services_;
    DeviceList deviceList_;
    std::vector<InterfaceRow> interfaceTable_;
    FirmwareSettings firmware_;
    RequestEngine engine_{deviceList_, *this};
    QTimer operationTimer_;
    DeviceConfiguration deviceConfiguration_;
    UsmConfiguration usm_;
    ManagementSocket managementSocket_;
    FirmwareServer firmwareServer_{
        [this] {
            return ServedFirmware{firmware_.firmwarePath, firmware_.firmwareFileName};
        },
        services_.tftpTick};
    std::string discoverWire_;
    DiscoverRunner discoverRunner_;
    bool managementSocketReady_ = false;
    bool tftpSocketReady_ = false;
    bool refreshPending_ = false;
    MessageQueue messages_;
    bool messagesPosted_ = false;
    bool progressRunning_ = false;
    bool settingsWarned_ = false;
    QString exportDirectory_;  // where the export file chooser opens
    AccountDialog* accountDialog_ = nullptr;
    ConfigurationDialog* configurationDialog_ = nullptr;
    UsmDialog* usmDialog_ = nullptr;
    // The user last submitted, verified over SNMP once the card answers "OK".
    struct UserToVerify {
        std::string address;
        snmp::Credentials credentials;
    };
    std::optional<snmp::Credentials> userToVerify_;  // submitted, not yet answered "OK"
    UserVerifier* userVerifier_ = nullptr;
    UpgradeDialog* upgradeDialog_ = nullptr;
    UpgradeProgressDialog* upgradeProgress_ = nullptr;

    QComboBox* lanBox_ = nullptr;
    IpAddressEdit* subnet_ = nullptr;
    IpAddressEdit* subnetMask_ = nullptr;
    DeviceListView* listView_ = nullptr;
    // The device list's group and what sits beside the list, at the dialog's own size.
    QWidget* deviceGroup_ = nullptr;
    QRect deviceGroupBase_;
    QRect listBase_;
    std::vector<std::pair<QWidget*, QRect>> besideList_;
    QPushButton* upgrade_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* modify_ = nullptr;
    QPushButton* discover_ = nullptr;
    QPushButton* configuration_ = nullptr;
    QPushButton* add_ = nullptr;
    QProgressBar* discoverProgress_ = nullptr;
    QMenu* windowMenu_ = nullptr;
};

}  // namespace parvolink
