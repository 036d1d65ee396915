// SPDX-License-Identifier: GPL-3.0-or-later
// "SNMPv3 USM": the card's eight SNMPv3 users and its context name. Every way out of it writes
// something: one user with its keys, the context name (also Escape and the close box), or a
// reset of the card's SNMPv3 configuration.
#pragma once

#include <QDialog>
#include <array>
#include <string>
#include <utility>

#include "core/config/UsmConfiguration.h"

class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;

namespace parvolink {

class Prompter;

class UsmDialog : public QDialog {
    Q_OBJECT
public:
    enum class Result { SubmitKey, UpdateContextName, Reset };

    UsmDialog(Prompter& prompter, QWidget* parent = nullptr);

    // Shows usm modally; Submit Key and Update Context Name write their change into it.
    Result Run(UsmConfiguration& usm);

    void OnIndexChange(int row);
    void OnSubmitKey();
    void OnResetSnmpv3();
    void reject() override;  // Escape and the close box: Update Context Name

    // After Submit Key: the passwords typed, handed over once (for verifying the user once the
    // card has it) and forgotten here.
    std::pair<std::string, std::string> TakeSubmittedPasswords();

private:
    // The table of the eight users; the row that submits a key; the context name's row.
    void AddUserRows(QGridLayout& grid);
    void AddKeyRow(QGridLayout& grid);
    QHBoxLayout* ContextRow();
    void Close(Result result);

    Prompter& prompter_;
    UsmConfiguration* usm_ = nullptr;
    Result result_ = Result::UpdateContextName;
    std::array<std::array<QLabel*, 4>, usm::kUsers> table_{};
    QComboBox* index_;
    QLineEdit* name_;
    QComboBox* level_;
    QLineEdit* authPassword_;
    QLineEdit* privPassword_;
    QLineEdit* contextName_;
    std::string submittedAuth_;
    std::string submittedPriv_;
};

}  // namespace parvolink
