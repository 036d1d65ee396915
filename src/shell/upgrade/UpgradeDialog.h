// SPDX-License-Identifier: GPL-3.0-or-later
// "Upgrade": choose the firmware file, see what it says of itself, and send the selected card
// the Upgrade request. Choosing a file changes what the TFTP server serves at once.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "base/Message.h"
#include "core/devices/SettingsFile.h"

class QLineEdit;

namespace parvolink {

class Prompter;

namespace upgrade {
// Where the package puts its sample firmware.
inline constexpr const char* kSampleFirmwareDirectory = "/usr/share/parvolink";
// Where the file chooser opens: beside the file chosen last, else beside the sample firmware
// when it is installed, else where the dialog would open by itself (empty).
QString StartDirectory(const std::string& chosen);
}  // namespace upgrade

class UpgradeDialog : public QDialog {
    Q_OBJECT
public:
    // Checks and sends for "Upgrade Now": the message of a failed check, or nothing once the
    // request is sent.
    using UpgradeNow = std::function<std::optional<Message>(const std::string& path)>;

    UpgradeDialog(Prompter& prompter, FirmwareSettings& firmware, QWidget* parent = nullptr);

    void OnUpgradeNowDo(UpgradeNow handler) { upgradeNow_ = std::move(handler); }
    // Replaces the file-open dialog (tests choose their files without one).
    void ChooseFilesWith(std::function<QString()> chooser) { chooser_ = std::move(chooser); }

    // True when the dialog ended by a sent Upgrade request.
    bool Run();
    void OnBrowse();
    void OnUpgradeNow();

private:
    void ShowFile();

    Prompter& prompter_;
    FirmwareSettings& firmware_;
    UpgradeNow upgradeNow_;
    std::function<QString()> chooser_;
    QLineEdit* fileName_;
    QLineEdit* fileInformation_;
};

// "Upgrading Now": the transfer's progress, ended by the TFTP server.
class UpgradeProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit UpgradeProgressDialog(QWidget* parent = nullptr);
    // Range 0 to blockCount (at least 1, so a small file shows an empty bar rather than a busy
    // one), from position, modal.
    void Run(int blockCount, int position);
    // Kept within the range, as the bar cannot show more.
    void SetPosition(int position);

protected:
    // Enter and Escape close the window; the transfer goes on without it.
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace parvolink
