#include "app/Prompter.h"

#include <QMessageBox>

#include "app/Text.h"

namespace parvolink {

void MessageBoxPrompter::ShowMessage(QWidget* parent, const Message& message) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if (message.icon == MessageIcon::Warning) {
        icon = QMessageBox::Warning;
    } else if (message.icon == MessageIcon::Information) {
        icon = QMessageBox::Information;
    }
    QMessageBox box(icon, FromText(message.caption), FromText(message.text), QMessageBox::Ok,
                    parent);
    box.exec();
}

}  // namespace parvolink
