#include "devices/SettingsFile.h"

#include <fstream>
#include <system_error>

namespace parvolink {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Reads one line, without its LF or CR LF ending; empty at the end of the file.
std::string ReadLine(std::istream& in) {
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

bool HasLineBreak(std::string_view value) {
    return value.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

std::filesystem::path SettingsFilePath(const std::filesystem::path& directory) {
    return directory / kSettingsFileName;
}

std::optional<FirmwareSettings> ReadSettings(const std::filesystem::path& directory) {
    const std::filesystem::path path = SettingsFilePath(directory);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    FirmwareSettings settings;
    settings.firmwarePath = ReadLine(in);
    settings.firmwareFileName = ReadLine(in);
    return settings;
}

bool WriteSettings(const std::filesystem::path& directory, const FirmwareSettings& settings) {
    if (HasLineBreak(settings.firmwarePath) || HasLineBreak(settings.firmwareFileName)) {
        return false;
    }
    std::ofstream out(SettingsFilePath(directory), std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    out << settings.firmwarePath << kLineEnd << settings.firmwareFileName << kLineEnd;
    out.close();
    return !out.fail();
}

}  // namespace parvolink
