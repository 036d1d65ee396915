// SPDX-License-Identifier: GPL-3.0-or-later
// The window's command line: --help and --version answer on the terminal, without a display;
// --user-settings keeps the settings file in the user's configuration directory, for starts
// from the desktop menu, which give no meaningful working directory.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <variant>

namespace parvolink {

struct StartOptions {
    bool userSettings = false;
    std::string accountsFile;  // the cards' accounts, for the rows a Discover lists
};

// Before the application exists: the options, or the exit code after --help or --version
// (printed on standard output) or a usage error (on standard error). Qt's own options, such as
// -platform, are left to the application.
std::variant<StartOptions, int> ParseStartOptions(int argc, char** argv);

// Where "Parvolink.ini" lives: the working directory, or with userSettings
// $XDG_CONFIG_HOME/Parvolink (~/.config/Parvolink when the variable is unset or not absolute).
std::filesystem::path SettingsDirectory(bool userSettings, const std::filesystem::path& working,
                                        const char* xdgConfigHome, const char* home);

}  // namespace parvolink
