// SPDX-License-Identifier: GPL-3.0-or-later
// How the TFTP server reads the file it serves: opened once for the transfers of it, read at an
// offset for every block sent. The server holds no descriptor itself, so tests can give it a
// file that fails to read half way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>

namespace parvolink {

class FirmwareReader {
public:
    virtual ~FirmwareReader() = default;
    // The file's size when it was opened.
    virtual std::uint64_t size() const = 0;
    // Up to buffer.size() bytes from offset: fewer only at the end of the file. Nothing when
    // the read fails.
    virtual std::optional<std::size_t> ReadAt(std::uint64_t offset, std::span<char> buffer) = 0;
};

// Opens the file at path for serving; null when it cannot be opened or is not a regular file.
using FirmwareOpener =
    std::function<std::unique_ptr<FirmwareReader>(const std::filesystem::path& path)>;

// The file system's: a descriptor opened read-only, blocks read with pread, closed when the
// reader goes.
std::unique_ptr<FirmwareReader> OpenFirmwareFile(const std::filesystem::path& path);

}  // namespace parvolink
