// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>
#include <variant>

#include "app/SetupApp.h"
#include "app/StartOptions.h"
#include "shell/devices/AccountsFile.h"

int main(int argc, char** argv) {
    const auto options = parvolink::ParseStartOptions(argc, argv);
    if (const int* code = std::get_if<int>(&options)) {
        return *code;
    }
    const auto& start = std::get<parvolink::StartOptions>(options);
    std::shared_ptr<const parvolink::Accounts> accounts;
    if (!start.accountsFile.empty()) {
        // Before any window: a file that cannot be used is said on the terminal.
        std::string error;
        parvolink::AccountsFileFault fault{};
        auto read = parvolink::ReadAccountsFile(start.accountsFile, error, fault);
        if (!read) {
            std::cerr << "parvolink: " << error << "\n";
            return fault == parvolink::AccountsFileFault::Unreadable ? 4 : 2;
        }
        accounts = std::make_shared<const parvolink::Accounts>(std::move(*read));
    }
    std::error_code ec;
    const std::filesystem::path settings =
        parvolink::SettingsDirectory(start.userSettings, std::filesystem::current_path(ec),
                                     std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    std::filesystem::create_directories(settings, ec);
    parvolink::SetupApp app(argc, argv);
    return app.Run(settings, std::move(accounts));
}
