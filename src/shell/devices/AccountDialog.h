// SPDX-License-Identifier: GPL-3.0-or-later
// "IP & Account": the address of a card and its administrator account and password.
#pragma once

#include <QDialog>

#include "core/devices/DeviceListOperations.h"

class QLineEdit;

namespace parvolink {

class IpAddressEdit;
class Prompter;

class AccountDialog : public QDialog {
    Q_OBJECT
public:
    AccountDialog(Prompter& prompter, QWidget* parent = nullptr);

    // Shows values modally; the address is fixed when its first octet is not 0. On OK the
    // edited values are written back and true returned; Esc or the close box return false.
    bool Run(AccountValues& values);

    void accept() override;  // the OK rule: a complete address, not 0.0.0.0

private:
    Prompter& prompter_;
    AccountValues values_;
    IpAddressEdit* address_;
    QLineEdit* account_;
    QLineEdit* password_;
};

}  // namespace parvolink
