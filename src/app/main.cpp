// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <variant>

#include "app/SetupApp.h"
#include "app/StartOptions.h"

int main(int argc, char** argv) {
    const auto options = parvolink::ParseStartOptions(argc, argv);
    if (const int* code = std::get_if<int>(&options)) {
        return *code;
    }
    std::error_code ec;
    const std::filesystem::path settings = parvolink::SettingsDirectory(
        std::get<parvolink::StartOptions>(options).userSettings, std::filesystem::current_path(ec),
        std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    std::filesystem::create_directories(settings, ec);
    parvolink::SetupApp app(argc, argv);
    return app.Run(settings);
}
