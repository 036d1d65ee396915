// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the firmware file reader. The input's first byte says whether the rest is the file as
// it is (even) or split in two around the version field at 16388 (odd), so that short inputs
// reach both fields. The description is empty, the "not correct" text, or 34 printable
// characters; the size is the file's; the flash rule agrees with both.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/upgrade/FirmwareFile.h"

namespace {

const std::filesystem::path& File() {
    static const std::filesystem::path path = [] {
        std::atexit([] { std::filesystem::remove(File()); });
        return std::filesystem::temp_directory_path() /
               ("parvolink-firmware-fuzz-" + std::to_string(::getpid()) + ".bin");
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace parvolink;
    if (size == 0) {
        return 0;
    }
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string file = input;
    if (data[0] & 1) {
        const std::size_t half = input.size() / 2;
        file = input.substr(0, half) +
               std::string(16380 - std::min<std::size_t>(half, 16380), 'p') + input.substr(half);
    }
    std::ofstream(File(), std::ios::binary | std::ios::trunc) << file;

    const std::string description = describeFirmwareFile(File());
    const bool printable = std::all_of(description.begin(), description.end(), [](char c) {
        return firmware::IsPrintable(static_cast<unsigned char>(c));
    });
    if (description != firmware::kNotCorrect &&
        !(description.size() == firmware::kDescriptionLength && printable)) {
        std::abort();
    }
    if (FirmwareFileSize(File()) != file.size()) {
        std::abort();
    }
    const std::string_view flash(input.data(), std::min<std::size_t>(input.size(), 20));
    if (checkFlashSize(File(), flash) != (file.size() <= FlashLimitBytes(flash))) {
        std::abort();
    }
    return 0;
}
