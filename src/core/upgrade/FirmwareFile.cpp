// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/upgrade/FirmwareFile.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "base/TextNumbers.h"

namespace parvolink {
namespace {

// Reads exactly length bytes at offset; false when the file ends before them.
bool ReadField(std::ifstream& in, std::size_t offset, std::size_t length, std::string& out) {
    out.assign(length, '\0');
    in.clear();
    if (!in.seekg(static_cast<std::streamoff>(offset))) {
        return false;
    }
    in.read(out.data(), static_cast<std::streamsize>(length));
    return static_cast<std::size_t>(in.gcount()) == length;
}

}  // namespace

std::string describeFirmwareFile(const std::filesystem::path& path) {
    using namespace firmware;
    if (path.empty()) {
        return {};
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    std::string name;
    std::string version;
    if (!ReadField(in, kNameOffset, kNameLength, name) ||
        !ReadField(in, kVersionOffset, kVersionLength, version)) {
        return std::string(kNotCorrect);
    }
    const auto printable = [](char c) { return IsPrintable(static_cast<unsigned char>(c)); };
    if (!std::all_of(name.begin(), name.end(), printable) ||
        !std::all_of(version.begin(), version.end(), printable)) {
        return std::string(kNotCorrect);
    }
    return name + std::string(kVersionSeparator) + version;
}

std::uint64_t FlashLimitBytes(std::string_view flashSize) {
    const std::int64_t kib = ParseLeadingInteger(flashSize.substr(0, firmware::kFlashSizeDigits));
    if (kib <= 0) {
        return 0;  // no flash size, or a negative one: nothing but an empty file fits
    }
    return static_cast<std::uint64_t>(kib) * 1024;
}

std::optional<std::uint64_t> FirmwareFileSize(const std::filesystem::path& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec) ||
        !std::ifstream(path, std::ios::binary)) {
        return std::nullopt;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(size);
}

bool TooLargeToServe(const std::filesystem::path& path) {
    const std::optional<std::uint64_t> size = FirmwareFileSize(path);
    return size && *size > firmware::kLargestServable;
}

bool checkFlashSize(const std::filesystem::path& path, std::string_view flashSize) {
    const std::optional<std::uint64_t> size = FirmwareFileSize(path);
    return size && *size <= FlashLimitBytes(flashSize);
}

}  // namespace parvolink
