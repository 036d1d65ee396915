// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StartOptions.h"

#include <QCommandLineParser>
#include <QStringList>
#include <iostream>

#include "app/Version.h"

namespace parvolink {
namespace {

constexpr const char* kUserSettings = "user-settings";

void Describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        "Finds the network management cards of UPS units on the local network, keeps them in a "
        "device list, reads and writes their configuration and SNMPv3 users, and upgrades their "
        "firmware through a TFTP server of its own.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({kUserSettings,
                      "Keep the settings file Parvolink.ini in $XDG_CONFIG_HOME/Parvolink "
                      "instead of the working directory."});
}

}  // namespace

std::variant<StartOptions, int> ParseStartOptions(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    Describe(parser);
    // Unknown options may be Qt's own (-platform, -style ...): the application takes those.
    static_cast<void>(parser.parse(arguments));
    if (parser.isSet("help") || parser.isSet("help-all")) {
        // Without an application Qt cannot name the program.
        QString help = parser.helpText();
        help.replace("<executable_name>", "parvolink");
        std::cout << help.toLocal8Bit().constData();
        return 0;
    }
    if (parser.isSet("version")) {
        std::cout << "parvolink " << kVersion << "\n";
        return 0;
    }
    return StartOptions{parser.isSet(kUserSettings)};
}

std::filesystem::path SettingsDirectory(bool userSettings, const std::filesystem::path& working,
                                        const char* xdgConfigHome, const char* home) {
    if (!userSettings) {
        return working;
    }
    std::filesystem::path base;
    if (xdgConfigHome != nullptr && std::filesystem::path(xdgConfigHome).is_absolute()) {
        base = xdgConfigHome;
    } else {
        base = std::filesystem::path(home != nullptr ? home : "") / ".config";
    }
    return base / "Parvolink";
}

}  // namespace parvolink
