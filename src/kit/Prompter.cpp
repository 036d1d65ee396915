// SPDX-License-Identifier: GPL-3.0-or-later
#include "kit/Prompter.h"

#include <QMessageBox>

#include "kit/Text.h"

namespace parvolink {

namespace {

int Show(QWidget* parent, const Message& message, QMessageBox::StandardButtons buttons) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if (message.icon == MessageIcon::Warning) {
        icon = QMessageBox::Warning;
    } else if (message.icon == MessageIcon::Information) {
        icon = QMessageBox::Information;
    }
    QMessageBox box(icon, FromText(message.caption), FromText(message.text), buttons, parent);
    return box.exec();
}

}  // namespace

void MessageBoxPrompter::ShowMessage(QWidget* parent, const Message& message) {
    Show(parent, message, QMessageBox::Ok);
}

bool MessageBoxPrompter::AskYesNo(QWidget* parent, const Message& message) {
    return Show(parent, message, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace parvolink
