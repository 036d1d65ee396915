// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StartOptions.h"

#include <QCommandLineParser>
#include <QStringList>
#include <iostream>

#include "app/Version.h"

namespace parvolink {
namespace {

constexpr const char* kUserSettings = "user-settings";
constexpr const char* kAccounts = "accounts";

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
    parser.addOption({kAccounts,
                      "Give each card a Discover lists its account and password from FILE: "
                      "lines of CARD ACCOUNT PASSWORD (CARD an address, a MAC address or *), "
                      "readable by its owner only. Nothing is written back to it.",
                      "FILE"});
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
    return StartOptions{parser.isSet(kUserSettings),
                        parser.value(kAccounts).toLocal8Bit().toStdString()};
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
