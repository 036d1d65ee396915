// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/config/UsmDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "kit/ControlIds.h"
#include "kit/DialogUnits.h"
#include "kit/Prompter.h"
#include "kit/Text.h"

namespace parvolink {
namespace {

// Static text ids of the table: user name, level, Auth, Priv for each row.
constexpr std::array<std::array<int, 4>, usm::kUsers> kTableIds = {{{1057, 1058, 1059, 1060},
                                                                    {1083, 1084, 1085, 1086},
                                                                    {1087, 1088, 1089, 1090},
                                                                    {1091, 1092, 1093, 1094},
                                                                    {1095, 1096, 1097, 1098},
                                                                    {1099, 1100, 1101, 1102},
                                                                    {1103, 1104, 1105, 1106},
                                                                    {1107, 1108, 1109, 1110}}};

QLabel* Heading(const QString& text) {
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLineEdit* Edit(const char* id, int maxLength, bool masked) {
    auto* edit = new QLineEdit;
    edit->setObjectName(id);
    edit->setMaxLength(maxLength);
    if (masked) {
        edit->setEchoMode(QLineEdit::Password);
    }
    return edit;
}

}  // namespace

UsmDialog::UsmDialog(Prompter& prompter, QWidget* parent) : QDialog(parent), prompter_(prompter) {
    setObjectName(ids::usm::kDialog);
    setWindowTitle("SNMPv3 USM");
    setFont(DialogFont());

    auto* table = new QGroupBox("SNMPv3 User Management Table", this);
    auto* grid = new QGridLayout(table);
    AddUserRows(*grid);
    AddKeyRow(*grid);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addLayout(ContextRow());
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(index_, &QComboBox::activated, this, &UsmDialog::OnIndexChange);
}

void UsmDialog::AddUserRows(QGridLayout& grid) {
    const DialogUnits du(font());
    grid.addWidget(Heading("User Name"), 0, 1);
    grid.addWidget(Heading("Security Level"), 0, 2);
    grid.addWidget(Heading("Auth Password\n(>=8 bytes)"), 0, 3);
    grid.addWidget(Heading("Priv Password\n(>=8 bytes)"), 0, 4);
    for (int row = 0; row < usm::kUsers; ++row) {
        grid.addWidget(new QLabel(QString("%1.").arg(row + 1)), row + 1, 0);
        for (int column = 0; column < 4; ++column) {
            auto* text = new QLabel;
            text->setObjectName(QString::number(
                kTableIds[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]));
            text->setAlignment(Qt::AlignCenter);
            text->setMinimumWidth(du.X(60));
            text->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            table_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
            grid.addWidget(text, row + 1, column + 1);
        }
    }
}

void UsmDialog::AddKeyRow(QGridLayout& grid) {
    index_ = new QComboBox;
    index_->setObjectName(ids::usm::kIndex);
    for (int row = 1; row <= usm::kUsers; ++row) {
        index_->addItem(QString::number(row));
    }
    name_ = Edit(ids::usm::kUserName, static_cast<int>(usm::kTextLength), false);
    level_ = new QComboBox;
    level_->setObjectName(ids::usm::kLevel);
    for (std::string_view name : usm::kLevelNames) {
        level_->addItem(FromText(name));
    }
    authPassword_ = Edit(ids::usm::kAuthPassword, static_cast<int>(usm::kPasswordLength), true);
    privPassword_ = Edit(ids::usm::kPrivPassword, static_cast<int>(usm::kPasswordLength), true);
    auto* submit = new QPushButton("&Submit Key");
    submit->setObjectName(ids::usm::kSubmitKey);
    submit->setDefault(true);
    grid.addWidget(Heading("Index"), usm::kUsers + 1, 0);
    grid.addWidget(Heading("Key"), usm::kUsers + 1, 5);
    grid.addWidget(index_, usm::kUsers + 2, 0);
    grid.addWidget(name_, usm::kUsers + 2, 1);
    grid.addWidget(level_, usm::kUsers + 2, 2);
    grid.addWidget(authPassword_, usm::kUsers + 2, 3);
    grid.addWidget(privPassword_, usm::kUsers + 2, 4);
    grid.addWidget(submit, usm::kUsers + 2, 5);
    connect(submit, &QPushButton::clicked, this, &UsmDialog::OnSubmitKey);
}

QHBoxLayout* UsmDialog::ContextRow() {
    auto* reset = new QPushButton("&Reset SNMPv3 Configuration", this);
    reset->setObjectName(ids::usm::kReset);
    contextName_ = Edit(ids::usm::kContextName, static_cast<int>(usm::kTextLength), false);
    auto* update = new QPushButton("&Update Context Name", this);
    update->setObjectName(ids::usm::kUpdateContext);
    update->setAutoDefault(false);
    reset->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addWidget(reset);
    row->addStretch();
    row->addWidget(new QLabel("Context Name:", this));
    row->addWidget(contextName_);
    row->addWidget(update);
    connect(reset, &QPushButton::clicked, this, &UsmDialog::OnResetSnmpv3);
    connect(update, &QPushButton::clicked, this, &UsmDialog::reject);
    return row;
}

UsmDialog::Result UsmDialog::Run(UsmConfiguration& usm) {
    usm_ = &usm;
    for (int row = 0; row < usm::kUsers; ++row) {
        const UsmRowText text = RowText(usm, row);
        auto& labels = table_[static_cast<std::size_t>(row)];
        labels[0]->setText(FromText(text.name));
        labels[1]->setText(FromText(text.level));
        labels[2]->setText(FromText(text.auth));
        labels[3]->setText(FromText(text.priv));
    }
    contextName_->setText(FromText(usm.contextName));
    index_->setCurrentIndex(-1);
    level_->setCurrentIndex(-1);
    name_->clear();
    authPassword_->clear();
    privPassword_->clear();
    result_ = Result::UpdateContextName;
    exec();
    usm_ = nullptr;
    return result_;
}

void UsmDialog::OnIndexChange(int row) {
    if (usm_ == nullptr || row < 0 || row >= usm::kUsers) {
        return;
    }
    name_->setText(FromText(usm_->userNames[static_cast<std::size_t>(row)]));
    const int code = LevelOf(usm_->securityLevels, row);
    level_->setCurrentIndex(code < level_->count() ? code : -1);
    authPassword_->clear();
    privPassword_->clear();
}

void UsmDialog::OnSubmitKey() {
    // Up to two keys of 1 MiB of MD5 each are derived here, while the dialog waits.
    if (const auto refusal =
            SubmitKey(*usm_, index_->currentIndex(), ToText(name_->text()), level_->currentIndex(),
                      ToText(authPassword_->text()), ToText(privPassword_->text()))) {
        prompter_.ShowMessage(this, *refusal);
        return;
    }
    submittedAuth_ = ToText(authPassword_->text()).substr(0, usm::kPasswordLength);
    submittedPriv_ = ToText(privPassword_->text()).substr(0, usm::kPasswordLength);
    Close(Result::SubmitKey);
}

std::pair<std::string, std::string> UsmDialog::TakeSubmittedPasswords() {
    return {std::exchange(submittedAuth_, {}), std::exchange(submittedPriv_, {})};
}

void UsmDialog::OnResetSnmpv3() {
    Close(Result::Reset);
}

void UsmDialog::reject() {
    if (usm_ != nullptr) {
        usm_->contextName = ToText(contextName_->text()).substr(0, usm::kTextLength);
    }
    Close(Result::UpdateContextName);
}

void UsmDialog::Close(Result result) {
    result_ = result;
    QDialog::accept();
}

}  // namespace parvolink
