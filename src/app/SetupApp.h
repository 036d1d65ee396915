// SPDX-License-Identifier: GPL-3.0-or-later
// The application: owns the QApplication and runs the main window until it closes.
#pragma once

#include <QApplication>
#include <filesystem>
#include <memory>

#include "core/devices/Accounts.h"

namespace parvolink {

class SetupApp {
public:
    SetupApp(int& argc, char** argv);
    // Runs the window with its settings file in settingsDirectory, and the accounts of
    // --accounts when given.
    int Run(const std::filesystem::path& settingsDirectory,
            std::shared_ptr<const Accounts> accounts = nullptr);

private:
    QApplication application_;
};

}  // namespace parvolink
