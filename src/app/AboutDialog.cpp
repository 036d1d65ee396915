// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AboutDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/Version.h"
#include "kit/ControlIds.h"
#include "kit/Icons.h"

namespace parvolink {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(ids::about::kDialog);
    setWindowTitle("About Parvolink");
    auto* layout = new QGridLayout(this);
    auto* picture = new QLabel(this);
    picture->setPixmap(ApplicationPicture(32));
    layout->addWidget(picture, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(new QLabel(QString("Parvolink Version %1").arg(kVersion), this), 0, 1);
    layout->addWidget(new QLabel("Finds, configures and upgrades the network management cards\n"
                                 "of UPS units on the local network.",
                                 this),
                      1, 1);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName(ids::kOk);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, 2, Qt::AlignTop);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace parvolink
