// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/config/ConfigurationDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "kit/ControlIds.h"
#include "kit/DialogUnits.h"
#include "kit/IpAddressEdit.h"
#include "kit/Prompter.h"
#include "kit/Text.h"

namespace parvolink {
namespace {

QLineEdit* Edit(const char* id, QWidget* parent, int maxLength = 32767) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(id);
    edit->setMaxLength(maxLength);
    return edit;
}

IpAddressEdit* Address(const char* id, QWidget* parent) {
    auto* edit = new IpAddressEdit(parent);
    edit->setObjectName(id);
    return edit;
}

}  // namespace

ConfigurationDialog::RadioPair ConfigurationDialog::MakePair(const char* firstId, const char* first,
                                                             const char* secondId,
                                                             const char* second) {
    RadioPair pair{new QButtonGroup(this), {new QRadioButton(first), new QRadioButton(second)}};
    pair.buttons[0]->setObjectName(firstId);
    pair.buttons[1]->setObjectName(secondId);
    pair.group->addButton(pair.buttons[0], 0);
    pair.group->addButton(pair.buttons[1], 1);
    return pair;
}

void ConfigurationDialog::SetChoice(const RadioPair& pair, int choice) {
    // A value the pair has no button for shows neither, and reads back as -1.
    pair.group->setExclusive(false);
    for (int i = 0; i < 2; ++i) {
        pair.buttons[static_cast<std::size_t>(i)]->setChecked(i == choice);
    }
    pair.group->setExclusive(true);
}

int ConfigurationDialog::Choice(const RadioPair& pair) {
    return pair.group->checkedId();
}

ConfigurationDialog::ConfigurationDialog(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
    setObjectName(ids::configuration::kDialog);
    setWindowTitle("Configuration");
    setFont(DialogFont());
    QGroupBox* identification = BuildIdentification();
    QGroupBox* dateTime = BuildDateTime();
    QGroupBox* system = BuildSystemConfiguration();
    QGroupBox* users = BuildUserLimitation();
    Arrange(identification, dateTime, system, users);
}

void ConfigurationDialog::PairRow(QGridLayout* grid, int row, QWidget* label,
                                  const RadioPair& pair) {
    grid->addWidget(label, row, 0);
    grid->addWidget(pair.buttons[0], row, 1);
    grid->addWidget(pair.buttons[1], row, 2);
}

QGroupBox* ConfigurationDialog::BuildIdentification() {
    using namespace configuration;
    auto* identification = new QGroupBox("System Identification", this);
    auto* idGrid = new QGridLayout(identification);
    netbiosName_ = Edit(ids::configuration::kNetbiosName, identification, kIdentificationBoxLength);
    systemContact_ =
        Edit(ids::configuration::kSystemContact, identification, kIdentificationBoxLength);
    systemLocation_ =
        Edit(ids::configuration::kSystemLocation, identification, kIdentificationBoxLength);
    idGrid->addWidget(new QLabel("*Host Name(NetBIOS):"), 0, 0);
    idGrid->addWidget(netbiosName_, 0, 1);
    idGrid->addWidget(new QLabel("System Contactor:"), 1, 0);
    idGrid->addWidget(systemContact_, 1, 1);
    idGrid->addWidget(new QLabel("System Location:"), 2, 0);
    idGrid->addWidget(systemLocation_, 2, 1);
    return identification;
}

QGroupBox* ConfigurationDialog::BuildDateTime() {
    using namespace configuration;
    auto* dateTime = new QGroupBox("Date/Time", this);
    auto* dtGrid = new QGridLayout(dateTime);
    timeSource_ =
        MakePair(ids::configuration::kSntp, "*SNTP", ids::configuration::kManualTime, "Manual");
    dtGrid->addWidget(timeSource_.buttons[0], 0, 0);
    dtGrid->addWidget(timeSource_.buttons[1], 0, 1);
    timeZone_ = new QComboBox(dateTime);
    timeZone_->setObjectName(ids::configuration::kTimeZone);
    for (std::string_view name : kTimeZoneNames) {
        timeZone_->addItem(FromText(name));
    }
    timeServer1_ = Edit(ids::configuration::kTimeServer1, dateTime);
    timeServer2_ = Edit(ids::configuration::kTimeServer2, dateTime);
    date_ = Edit(ids::configuration::kDate, dateTime);
    time_ = Edit(ids::configuration::kTime, dateTime);
    dtGrid->addWidget(new QLabel("Time Zone:"), 1, 0);
    dtGrid->addWidget(timeZone_, 1, 1, 1, 3);
    dtGrid->addWidget(new QLabel("*1st Time Server Name or IP:"), 2, 0);
    dtGrid->addWidget(timeServer1_, 2, 1, 1, 3);
    dtGrid->addWidget(new QLabel("2nd Time Server Name or IP:"), 3, 0);
    dtGrid->addWidget(timeServer2_, 3, 1, 1, 3);
    dtGrid->addWidget(new QLabel("Set Current Time:"), 4, 0);
    dtGrid->addWidget(new QLabel("Date"), 5, 0, Qt::AlignRight);
    dtGrid->addWidget(date_, 5, 1);
    dtGrid->addWidget(new QLabel("(MM/DD/YYYY)"), 5, 2);
    dtGrid->addWidget(new QLabel("Time"), 6, 0, Qt::AlignRight);
    dtGrid->addWidget(time_, 6, 1);
    dtGrid->addWidget(new QLabel("(hh:mm:ss)"), 6, 2);
    return dateTime;
}

QGroupBox* ConfigurationDialog::BuildSystemConfiguration() {
    using namespace configuration;
    auto* system = new QGroupBox("System Configuration", this);
    auto* sysGrid = new QGridLayout(system);
    ipAddr_ = Address(ids::configuration::kIpAddress, system);
    subnetMask_ = Address(ids::configuration::kSubnetMask, system);
    gatewayAddr_ = Address(ids::configuration::kGateway, system);
    dnsAddr_ = Address(ids::configuration::kDns, system);
    const std::pair<const char*, IpAddressEdit*> addresses[] = {{"*IP Address:", ipAddr_},
                                                                {"*Subnet Mask:", subnetMask_},
                                                                {"Gateway IP:", gatewayAddr_},
                                                                {"DNS IP:", dnsAddr_}};
    int row = 0;
    for (const auto& [label, edit] : addresses) {
        sysGrid->addWidget(new QLabel(label), row, 0);
        sysGrid->addWidget(edit, row++, 1, 1, 2);
    }
    dhcp_ = MakePair(ids::configuration::kDhcpEnable, "Enable", ids::configuration::kDhcpDisable,
                     "*Disable");
    http_ = MakePair(ids::configuration::kHttpEnable, "Enable", ids::configuration::kHttpDisable,
                     "Disable");
    telnet_ = MakePair(ids::configuration::kTelnetEnable, "Enable",
                       ids::configuration::kTelnetDisable, "Disable");
    PairRow(sysGrid, row++, new QLabel("BOOTP/DHCP Client:"), dhcp_);
    PairRow(sysGrid, row++, new QLabel("HTTP Server:"), http_);
    PairRow(sysGrid, row++, new QLabel("Telnet Server:"), telnet_);
    httpPort_ = Edit(ids::configuration::kHttpPort, system);
    telnetPort_ = Edit(ids::configuration::kTelnetPort, system);
    sysGrid->addWidget(new QLabel("HTTP Server Port:"), row, 0);
    sysGrid->addWidget(httpPort_, row++, 1, 1, 2);
    sysGrid->addWidget(new QLabel("Telnet Server Port:"), row, 0);
    sysGrid->addWidget(telnetPort_, row++, 1, 1, 2);
    return system;
}

QGroupBox* ConfigurationDialog::BuildUserLimitation() {
    using namespace configuration;
    auto* users = new QGroupBox("User Limitation", this);
    auto* userGrid = new QGridLayout(users);
    limitation_ = {MakePair(ids::configuration::kAdministratorInLan, "In The LAN",
                            ids::configuration::kAdministratorAny, "Allow Any"),
                   MakePair(ids::configuration::kManagerInLan, "In The LAN",
                            ids::configuration::kManagerAny, "Allow Any"),
                   MakePair(ids::configuration::kReadOnlyInLan, "In The LAN",
                            ids::configuration::kReadOnlyAny, "Allow Any")};
    managerLabel_ = new QLabel("Device Manager:");
    managerLabel_->setObjectName(ids::configuration::kManagerLabel);
    readOnlyLabel_ = new QLabel("Read Only User:");
    readOnlyLabel_->setObjectName(ids::configuration::kReadOnlyLabel);
    PairRow(userGrid, 0, new QLabel("Administrator:"), limitation_[0]);
    PairRow(userGrid, 1, managerLabel_, limitation_[1]);
    PairRow(userGrid, 2, readOnlyLabel_, limitation_[2]);
    return users;
}

void ConfigurationDialog::Arrange(QGroupBox* identification, QGroupBox* dateTime, QGroupBox* system,
                                  QGroupBox* users) {
    using namespace configuration;
    auto* note = new QLabel(FromText(kStaticAddressNote), this);
    note->setWordWrap(true);
    firstTimeHint_ = new QLabel(this);
    firstTimeHint_->setObjectName(ids::configuration::kFirstTimeHint);
    firstTimeHint_->setWordWrap(true);

    auto* ok = new QPushButton("&OK", this);
    ok->setObjectName(ids::kOk);
    ok->setDefault(true);
    auto* cancel = new QPushButton("&Cancel", this);
    cancel->setObjectName(ids::kCancel);
    reset_ = new QPushButton("Reset to &Default", this);
    reset_->setObjectName(ids::configuration::kReset);
    snmpv3_ = new QPushButton("&SNMPv3...", this);
    snmpv3_->setObjectName(ids::configuration::kSnmpv3);
    connect(ok, &QPushButton::clicked, this, &ConfigurationDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(reset_, &QPushButton::clicked, this, &ConfigurationDialog::OnResetToDefault);
    connect(snmpv3_, &QPushButton::clicked, this, [this] {
        if (onSnmpv3_) {
            onSnmpv3_();
        }
    });

    auto* left = new QVBoxLayout;
    left->addWidget(identification);
    left->addWidget(dateTime);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(system);
    right->addWidget(users);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reset_);
    buttons->addWidget(snmpv3_);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(note);
    layout->addWidget(firstTimeHint_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    note->setMaximumWidth(DialogUnits(font()).X(400));
    firstTimeHint_->setMaximumWidth(DialogUnits(font()).X(400));
}

void ConfigurationDialog::Fill(const ConfigurationForm& form) {
    systemContact_->setText(FromText(form.systemContact));
    netbiosName_->setText(FromText(form.netbiosName));
    systemLocation_->setText(FromText(form.systemLocation));
    SetChoice(dhcp_, form.dhcp);
    SetChoice(http_, form.http);
    SetChoice(telnet_, form.telnet);
    httpPort_->setText(FromText(form.httpPort));
    telnetPort_->setText(FromText(form.telnetPort));
    SetChoice(timeSource_, form.timeSource);
    timeServer1_->setText(FromText(form.timeServer1));
    timeServer2_->setText(FromText(form.timeServer2));
    for (std::size_t i = 0; i < limitation_.size(); ++i) {
        SetChoice(limitation_[i], form.limitation[i]);
    }
    date_->setText(FromText(form.date));
    time_->setText(FromText(form.time));
    const std::pair<IpAddressEdit*, const ConfigurationForm::AddressFields*> addresses[] = {
        {ipAddr_, &form.ipAddr},
        {subnetMask_, &form.subnetMask},
        {gatewayAddr_, &form.gatewayAddr},
        {dnsAddr_, &form.dnsAddr}};
    for (const auto& [edit, fields] : addresses) {
        Ipv4Address address{};
        for (std::size_t i = 0; i < 4; ++i) {
            address[i] = (*fields)[i].value_or(0);
        }
        edit->SetAddress(address);
    }
    timeZone_->setCurrentIndex(form.timeZone);
}

ConfigurationForm ConfigurationDialog::ReadForm() const {
    ConfigurationForm form;
    form.systemContact = ToText(systemContact_->text());
    form.netbiosName = ToText(netbiosName_->text());
    form.systemLocation = ToText(systemLocation_->text());
    form.timeSource = Choice(timeSource_);
    form.timeZone = timeZone_->currentIndex();
    form.timeServer1 = ToText(timeServer1_->text());
    form.timeServer2 = ToText(timeServer2_->text());
    form.date = ToText(date_->text());
    form.time = ToText(time_->text());
    form.ipAddr = ipAddr_->Fields();
    form.subnetMask = subnetMask_->Fields();
    form.gatewayAddr = gatewayAddr_->Fields();
    form.dnsAddr = dnsAddr_->Fields();
    form.dhcp = Choice(dhcp_);
    form.http = Choice(http_);
    form.telnet = Choice(telnet_);
    form.httpPort = ToText(httpPort_->text());
    form.telnetPort = ToText(telnetPort_->text());
    for (std::size_t i = 0; i < limitation_.size(); ++i) {
        form.limitation[i] = Choice(limitation_[i]);
    }
    return form;
}

ConfigurationDialog::Result ConfigurationDialog::Run(DeviceConfiguration& record,
                                                     const DialogGates& gates) {
    record_ = &record;
    Fill(FormFromRecord(record));
    for (const RadioPair& pair : limitation_) {
        for (QRadioButton* button : pair.buttons) {
            button->setEnabled(record.userLimitationPresent);
        }
    }
    firstTimeHint_->setText(FromText(configuration::kFirstTimeHint));
    reset_->setVisible(gates.showReset);
    snmpv3_->setVisible(gates.showSnmpv3);
    managerLabel_->setText(gates.projector ? "General User:" : "Device Manager:");
    readOnlyLabel_->setText(gates.projector ? "" : "Read Only User:");
    for (QRadioButton* button : limitation_[2].buttons) {
        button->setVisible(!gates.projector);
    }
    resetRequested_ = false;
    netbiosName_->setFocus();

    const int result = exec();
    record_ = nullptr;
    if (result != QDialog::Accepted) {
        return Result::Cancelled;
    }
    return resetRequested_ ? Result::Reset : Result::Accepted;
}

void ConfigurationDialog::accept() {
    form_ = ReadForm();
    if (const auto failure = CheckForm(form_, *record_)) {
        prompter_.ShowMessage(this, *failure);
        return;
    }
    QDialog::accept();
}

void ConfigurationDialog::OnResetToDefault() {
    if (!prompter_.AskYesNo(this, configuration::kResetQuestion)) {
        return;
    }
    resetRequested_ = true;
    form_ = ReadForm();
    QDialog::accept();
}

}  // namespace parvolink
