// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/upgrade/UpgradeDialog.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "core/upgrade/FirmwareFile.h"
#include "core/upgrade/UpgradeChecks.h"
#include "kit/ControlIds.h"
#include "kit/DialogUnits.h"
#include "kit/Icons.h"
#include "kit/Prompter.h"
#include "kit/Text.h"

namespace parvolink {
namespace {

// Paths are the file system's bytes, not Latin-1 text: the TFTP server compares them with
// what the card asks for.
std::string PathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
QString PathText(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

}  // namespace

QString upgrade::StartDirectory(const std::string& chosen) {
    if (!chosen.empty()) {
        return QFileInfo(PathText(chosen)).absolutePath();
    }
    // The first time: beside the sample firmware the package ships, when it is there.
    return QFileInfo(QString(kSampleFirmwareDirectory)).isDir() ? QString(kSampleFirmwareDirectory)
                                                                : QString();
}

UpgradeDialog::UpgradeDialog(Prompter& prompter, FirmwareSettings& firmware, QWidget* parent)
    : QDialog(parent), prompter_(prompter), firmware_(firmware) {
    setObjectName(ids::upgrade::kDialog);
    setWindowTitle("Upgrade");
    setFont(DialogFont());
    const DialogUnits du(font());
    setFixedSize(du.X(211), du.Y(102));

    auto* upgradeNow = new QPushButton("&Upgrade Now", this);
    upgradeNow->setObjectName(ids::upgrade::kUpgradeNow);
    upgradeNow->setGeometry(du.Rect(33, 84, 56, 14));
    upgradeNow->setDefault(true);
    auto* exit = new QPushButton("&Exit", this);
    exit->setObjectName(ids::kCancel);
    exit->setGeometry(du.Rect(122, 84, 50, 14));
    auto* group = new QGroupBox("Select Firmware File", this);
    group->setGeometry(du.Rect(5, 3, 201, 77));
    (new QLabel("Firmware File Name:", this))->setGeometry(du.Rect(13, 23, 104, 8));
    auto* browse = new QPushButton("&Browse...", this);
    browse->setObjectName(ids::upgrade::kBrowse);
    browse->setGeometry(du.Rect(121, 14, 50, 14));
    auto* icon = new QLabel(this);
    icon->setPixmap(UpgradePicture(std::min(du.X(20), du.Y(20))));
    icon->setGeometry(du.Rect(179, 12, 20, 20));
    fileName_ = new QLineEdit(this);
    fileName_->setObjectName(ids::upgrade::kFileName);
    fileName_->setReadOnly(true);
    fileName_->setGeometry(du.Rect(26, 35, 172, 12));
    (new QLabel("File Information:", this))->setGeometry(du.Rect(13, 50, 111, 8));
    fileInformation_ = new QLineEdit(this);
    fileInformation_->setObjectName(ids::upgrade::kFileInformation);
    fileInformation_->setReadOnly(true);
    fileInformation_->setGeometry(du.Rect(26, 62, 172, 12));

    chooser_ = [this] {
        return QFileDialog::getOpenFileName(this, QString(),
                                            upgrade::StartDirectory(firmware_.firmwarePath));
    };
    connect(upgradeNow, &QPushButton::clicked, this, &UpgradeDialog::OnUpgradeNow);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, &UpgradeDialog::OnBrowse);
}

void UpgradeDialog::ShowFile() {
    fileName_->setText(PathText(firmware_.firmwarePath));
    fileInformation_->setText(FromText(describeFirmwareFile(firmware_.firmwarePath)));
}

bool UpgradeDialog::Run() {
    ShowFile();
    return exec() == QDialog::Accepted;
}

void UpgradeDialog::OnBrowse() {
    const QString chosen = chooser_();
    if (chosen.isEmpty()) {
        return;
    }
    if (TooLargeToServe(PathBytes(chosen))) {
        prompter_.ShowMessage(this, upgrade::kFileTooLarge);
        return;  // every card would stall on it: the file chosen before stays
    }
    // From now on the TFTP server serves this file, even if the dialog is left with Exit.
    firmware_.firmwarePath = PathBytes(QFileInfo(chosen).absoluteFilePath());
    firmware_.firmwareFileName = PathBytes(QFileInfo(chosen).fileName());
    ShowFile();
}

void UpgradeDialog::OnUpgradeNow() {
    const std::optional<Message> refusal =
        upgradeNow_ ? upgradeNow_(PathBytes(fileName_->text())) : std::nullopt;
    if (refusal) {
        prompter_.ShowMessage(this, *refusal);
        return;
    }
    accept();
}

UpgradeProgressDialog::UpgradeProgressDialog(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(ids::upgrade::kProgressDialog);
    setWindowTitle("Upgrading Now");
    setFont(DialogFont());
    const DialogUnits du(font());
    setFixedSize(du.X(187), du.Y(25));
    auto* bar = new QProgressBar(this);
    bar->setObjectName(ids::upgrade::kProgressBar);
    bar->setGeometry(du.Rect(8, 7, 171, 11));
    bar->setTextVisible(false);
}

void UpgradeProgressDialog::Run(int blockCount, int position) {
    auto* bar = findChild<QProgressBar*>(ids::upgrade::kProgressBar);
    // A range of 0..0 would show a busy bar: a file under one block shows an empty one.
    bar->setRange(0, std::max(blockCount, 1));
    SetPosition(position);
    exec();
}

void UpgradeProgressDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void UpgradeProgressDialog::SetPosition(int position) {
    auto* bar = findChild<QProgressBar*>(ids::upgrade::kProgressBar);
    bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
}

}  // namespace parvolink
