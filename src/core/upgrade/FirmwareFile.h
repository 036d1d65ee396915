// SPDX-License-Identifier: GPL-3.0-or-later
// What the program knows of a firmware file: two short text fields at fixed offsets, shown to
// the user, and the rule that compares the file's size with a card's flash size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace parvolink {

namespace firmware {
// Layout of the two fields: offset from the start of the file and length in bytes.
constexpr std::size_t kNameOffset = 39;
constexpr std::size_t kNameLength = 20;
constexpr std::size_t kVersionOffset = 16388;
constexpr std::size_t kVersionLength = 5;
constexpr std::string_view kVersionSeparator = " Version ";
constexpr std::size_t kDescriptionLength = kNameLength + 9 + kVersionLength;  // always 34
constexpr std::string_view kNotCorrect = "This is not a correct upgrade file!!!";
constexpr std::size_t kFlashSizeDigits = 15;  // characters of the flash-size column read
// TFTP numbers blocks in 16 bits: a file of 65535 whole blocks or more would need block 65536,
// which wraps to 0, and no card could ever finish it.
constexpr std::uint64_t kLargestServable = 65535ull * 512 - 1;

// A field byte is printable from space (0x20) up to 'y' (0x79) inclusive.
constexpr bool IsPrintable(unsigned char c) {
    return c >= 0x20 && c < 0x7A;
}
}  // namespace firmware

// The text of the "File Information:" box for the file at path: empty when path is empty or the
// file cannot be opened; name, " Version ", version (34 characters) for a correct upgrade file;
// otherwise "This is not a correct upgrade file!!!". A file too short to hold both fields is not
// correct, and nothing past its end is read.
std::string describeFirmwareFile(const std::filesystem::path& path);

// The flash limit in bytes for a flash-size text such as "256K": the leading decimal number of
// its first 15 characters times 1024 (0 when there is no number or it is negative). Fifteen
// digits times 1024 always fit in 64 bits.
std::uint64_t FlashLimitBytes(std::string_view flashSize);

// The file's size in bytes; nothing when it cannot be opened or is not a regular file.
std::optional<std::uint64_t> FirmwareFileSize(const std::filesystem::path& path);

// True when the file at path is too large for TFTP to serve (kLargestServable).
[[nodiscard]] bool TooLargeToServe(const std::filesystem::path& path);

// True when the file at path can be read and fits a card whose flash-size column reads
// flashSize. A file that cannot be read never fits, however large the flash.
[[nodiscard]] bool checkFlashSize(const std::filesystem::path& path, std::string_view flashSize);

}  // namespace parvolink
