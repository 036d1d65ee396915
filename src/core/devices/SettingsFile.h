// SPDX-License-Identifier: GPL-3.0-or-later
// "Parvolink.ini": two text lines, the full path of the firmware file last chosen and its bare
// name. Lines end with CR LF; files with LF endings or a last line without an end read too.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/Message.h"

namespace parvolink {

constexpr std::string_view kSettingsFileName = "Parvolink.ini";
// The two lines are paths: more than this is not a settings file, and is not read.
constexpr std::size_t kLongestSettingsFile = 64 * 1024;

namespace devices {
inline const Message kCannotWriteSettings{
    "Can't write the settings file Parvolink.ini: the firmware file chosen will not be "
    "remembered.",
    "Warning", MessageIcon::Warning};
}  // namespace devices

struct FirmwareSettings {
    std::string firmwarePath;
    std::string firmwareFileName;
    bool operator==(const FirmwareSettings&) const = default;
};

std::filesystem::path SettingsFilePath(const std::filesystem::path& directory);

// The two values from the file in directory; a missing line gives an empty value, a value
// ends at a NUL, and the CRs that end a line are not part of it. Only the first
// kLongestSettingsFile bytes are read. Empty optional when the file cannot be opened or is not
// a regular file (a FIFO or a device there would hang start-up).
[[nodiscard]] std::optional<FirmwareSettings> ReadSettings(const std::filesystem::path& directory);

// Creates or replaces the file in directory: the new contents go to a temporary file beside it,
// which then takes the old one's place, so a full disk or any other failure leaves the old file
// as it was. False on failure, or when a value holds a line break (it could not be read back as
// written).
[[nodiscard]] bool WriteSettings(const std::filesystem::path& directory,
                                 const FirmwareSettings& settings);

}  // namespace parvolink
