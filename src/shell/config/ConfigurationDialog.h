// SPDX-License-Identifier: GPL-3.0-or-later
// "Configuration": a card's settings, filled from its record, checked on OK, or reset to the
// card's defaults. The dialog edits a form; its caller takes the form over into the record.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "core/config/DeviceConfiguration.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace parvolink {

class IpAddressEdit;
class Prompter;

class ConfigurationDialog : public QDialog {
    Q_OBJECT
public:
    enum class Result { Cancelled, Reset, Accepted };

    ConfigurationDialog(Prompter& prompter, QWidget* parent = nullptr);

    // Fills the dialog from record, shows the parts gates allow and runs it modally. OK's
    // checks store the addresses and the time zone into record as they pass.
    Result Run(DeviceConfiguration& record, const DialogGates& gates);
    // The controls' values as the dialog closed.
    const ConfigurationForm& form() const { return form_; }

    void accept() override;  // the OK checks
    void OnResetToDefault();

    // Called by "&SNMPv3..." while the dialog stays open.
    void OnSnmpv3Query(std::function<void()> handler) { onSnmpv3_ = std::move(handler); }

private:
    struct RadioPair {
        QButtonGroup* group;
        std::array<QRadioButton*, 2> buttons;
    };
    RadioPair MakePair(const char* firstId, const char* first, const char* secondId,
                       const char* second);
    static void SetChoice(const RadioPair& pair, int choice);
    // A label and a pair's two buttons, as one row of grid.
    static void PairRow(QGridLayout* grid, int row, QWidget* label, const RadioPair& pair);
    static int Choice(const RadioPair& pair);
    void Fill(const ConfigurationForm& form);
    // The four groups of controls, and the dialog's layout of them with its buttons.
    QGroupBox* BuildIdentification();
    QGroupBox* BuildDateTime();
    QGroupBox* BuildSystemConfiguration();
    QGroupBox* BuildUserLimitation();
    void Arrange(QGroupBox* identification, QGroupBox* dateTime, QGroupBox* system,
                 QGroupBox* users);
    ConfigurationForm ReadForm() const;

    Prompter& prompter_;
    DeviceConfiguration* record_ = nullptr;
    ConfigurationForm form_;
    bool resetRequested_ = false;
    std::function<void()> onSnmpv3_;

    QLineEdit* netbiosName_;
    QLineEdit* systemContact_;
    QLineEdit* systemLocation_;
    RadioPair timeSource_;
    QComboBox* timeZone_;
    QLineEdit* timeServer1_;
    QLineEdit* timeServer2_;
    QLineEdit* date_;
    QLineEdit* time_;
    IpAddressEdit* ipAddr_;
    IpAddressEdit* subnetMask_;
    IpAddressEdit* gatewayAddr_;
    IpAddressEdit* dnsAddr_;
    RadioPair dhcp_;
    RadioPair http_;
    RadioPair telnet_;
    QLineEdit* httpPort_;
    QLineEdit* telnetPort_;
    std::array<RadioPair, configuration::kUserClasses> limitation_;
    QLabel* managerLabel_;
    QLabel* readOnlyLabel_;
    QLabel* firstTimeHint_;
    QPushButton* reset_;
    QPushButton* snmpv3_;
};

}  // namespace parvolink
