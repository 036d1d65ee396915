// SPDX-License-Identifier: GPL-3.0-or-later
// The About box, opened from the window menu.
#pragma once

#include <QDialog>

namespace parvolink {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace parvolink
