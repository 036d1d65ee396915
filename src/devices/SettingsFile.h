// "Parvolink.ini": two text lines, the full path of the firmware file last chosen and its bare
// name. Lines end with CR LF; files with LF endings or a last line without an end read too.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace parvolink {

constexpr std::string_view kSettingsFileName = "Parvolink.ini";

struct FirmwareSettings {
    std::string firmwarePath;
    std::string firmwareFileName;
    bool operator==(const FirmwareSettings&) const = default;
};

std::filesystem::path SettingsFilePath(const std::filesystem::path& directory);

// The two values from the file in directory; a missing line gives an empty value. Empty
// optional when the file cannot be opened.
std::optional<FirmwareSettings> ReadSettings(const std::filesystem::path& directory);

// Creates or rewrites the file in directory. Returns false, having written nothing, when the
// file cannot be opened or a value holds a line break (it could not be read back as written).
bool WriteSettings(const std::filesystem::path& directory, const FirmwareSettings& settings);

}  // namespace parvolink
