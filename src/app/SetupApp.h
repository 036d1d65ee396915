// SPDX-License-Identifier: GPL-3.0-or-later
// The application: owns the QApplication and runs the main window until it closes.
#pragma once

#include <QApplication>
#include <filesystem>

namespace parvolink {

class SetupApp {
public:
    SetupApp(int& argc, char** argv);
    // Runs the window with its settings file in settingsDirectory.
    int Run(const std::filesystem::path& settingsDirectory);

private:
    QApplication application_;
};

}  // namespace parvolink
