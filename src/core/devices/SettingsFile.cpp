// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/devices/SettingsFile.h"

#include <fstream>
#include <random>
#include <system_error>

namespace parvolink {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Takes one line off text: without its LF and the CRs before it, and ending at a NUL.
std::string TakeLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    line = line.substr(0, line.find('\0'));
    while (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return std::string(line);
}

bool HasLineBreak(std::string_view value) {
    return value.find_first_of("\r\n") != std::string_view::npos;
}

// A name beside the settings file that no other writer picks at the same time.
std::filesystem::path TemporaryPath(const std::filesystem::path& path) {
    std::random_device random;
    const auto suffix = std::to_string(random()) + std::to_string(random());
    return path.string() + "." + suffix + ".tmp";
}

}  // namespace

std::filesystem::path SettingsFilePath(const std::filesystem::path& directory) {
    return directory / kSettingsFileName;
}

std::optional<FirmwareSettings> ReadSettings(const std::filesystem::path& directory) {
    const std::filesystem::path path = SettingsFilePath(directory);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string contents(kLongestSettingsFile, '\0');
    in.read(contents.data(), static_cast<std::streamsize>(contents.size()));
    contents.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    std::string_view text = contents;
    FirmwareSettings settings;
    settings.firmwarePath = TakeLine(text);
    settings.firmwareFileName = TakeLine(text);
    return settings;
}

bool WriteSettings(const std::filesystem::path& directory, const FirmwareSettings& settings) {
    if (HasLineBreak(settings.firmwarePath) || HasLineBreak(settings.firmwareFileName)) {
        return false;
    }
    const std::filesystem::path path = SettingsFilePath(directory);
    const std::filesystem::path temporary = TemporaryPath(path);
    bool written = false;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << settings.firmwarePath << kLineEnd << settings.firmwareFileName << kLineEnd;
        out.close();
        written = !out.fail();
    }
    std::error_code ec;
    if (written) {
        std::filesystem::rename(temporary, path, ec);
    }
    if (!written || ec) {
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

}  // namespace parvolink
