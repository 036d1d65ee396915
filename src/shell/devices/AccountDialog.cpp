// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/devices/AccountDialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "kit/ControlIds.h"
#include "kit/DialogUnits.h"
#include "kit/Icons.h"
#include "kit/IpAddressEdit.h"
#include "kit/Prompter.h"
#include "kit/Text.h"

namespace parvolink {

AccountDialog::AccountDialog(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
    setObjectName(ids::account::kDialog);
    setWindowTitle("IP & Account");
    setFont(DialogFont());

    auto* group = new QGroupBox("SNMP Device Address", this);
    auto* grid = new QGridLayout(group);
    auto* picture = new QLabel(group);
    picture->setPixmap(ApplicationPicture(32));
    grid->addWidget(picture, 0, 0, 4, 1, Qt::AlignTop);

    grid->addWidget(new QLabel("IP Address:", group), 0, 1);
    address_ = new IpAddressEdit(group);
    address_->setObjectName(ids::account::kAddress);
    grid->addWidget(address_, 0, 2, 1, 2, Qt::AlignLeft);

    auto* caption = new QLabel("Administrator Account", group);
    caption->setStyleSheet("font-weight: bold");
    grid->addWidget(caption, 1, 1, 1, 3);

    grid->addWidget(new QLabel("Account:", group), 2, 1);
    account_ = new QLineEdit(group);
    account_->setObjectName(ids::account::kAccount);
    account_->setMaxLength(static_cast<int>(devices::kAccountLength));
    account_->setFixedWidth(DialogUnits(font()).X(60));
    grid->addWidget(account_, 2, 2);
    grid->addWidget(new QLabel("Default: admin", group), 2, 3);

    grid->addWidget(new QLabel("Password:", group), 3, 1);
    password_ = new QLineEdit(group);
    password_->setObjectName(ids::account::kPassword);
    password_->setMaxLength(static_cast<int>(devices::kPasswordLength));
    password_->setEchoMode(QLineEdit::Password);
    password_->setFixedWidth(DialogUnits(font()).X(60));
    grid->addWidget(password_, 3, 2);
    grid->addWidget(new QLabel("Default: lanterns", group), 3, 3);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName(ids::kOk);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &AccountDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(group, 0, 0);
    layout->addWidget(ok, 0, 1, Qt::AlignTop);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool AccountDialog::Run(AccountValues& values) {
    values_ = values;
    address_->SetAddress(values_.ipAddress);
    address_->setEnabled(devices::AddressEditable(values_.ipAddress));
    account_->setText(FromText(values_.account));
    password_->setText(FromText(values_.password));
    if (address_->isEnabled()) {
        address_->Field(0)->setFocus();
        address_->Field(0)->selectAll();
    } else {
        account_->setFocus();
    }
    if (exec() != QDialog::Accepted) {
        return false;
    }
    values = values_;
    return true;
}

void AccountDialog::accept() {
    values_.ipAddress = address_->Address();
    if (!devices::AddressAcceptable(address_->Fields())) {
        prompter_.ShowMessage(this, devices::kFillInAddress);
        return;
    }
    values_.account = ToText(account_->text());
    values_.password = ToText(password_->text());
    QDialog::accept();
}

}  // namespace parvolink
