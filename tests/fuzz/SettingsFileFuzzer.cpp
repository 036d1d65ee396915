// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the settings file reader: any bytes as "Parvolink.ini". A value never holds a line
// end or a NUL, never outgrows the file's bound, and whatever can be written back reads back
// the same.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/devices/SettingsFile.h"

namespace {

const std::filesystem::path& Directory() {
    static const std::filesystem::path path = [] {
        auto p = std::filesystem::temp_directory_path() /
                 ("parvolink-settings-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(p);
        std::atexit([] { std::filesystem::remove_all(Directory()); });
        return p;
    }();
    return path;
}

bool Clean(const std::string& value) {
    return value.find_first_of(std::string("\n\0", 2)) == std::string::npos &&
           (value.empty() || value.back() != '\r') &&
           value.size() <= parvolink::kLongestSettingsFile;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace parvolink;
    std::ofstream(SettingsFilePath(Directory()), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const std::optional<FirmwareSettings> read = ReadSettings(Directory());
    if (!read || !Clean(read->firmwarePath) || !Clean(read->firmwareFileName)) {
        std::abort();
    }
    if (WriteSettings(Directory(), *read) && ReadSettings(Directory()) != read) {
        std::abort();
    }
    return 0;
}
