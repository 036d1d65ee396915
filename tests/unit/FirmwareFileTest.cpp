// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "core/upgrade/FirmwareFile.h"
#include "core/upgrade/UpgradeChecks.h"
#include "support/TempDir.h"

namespace parvolink {
namespace {

using namespace std::string_literals;
using testing::TempDir;

// A firmware image whose two fields hold name and version, cut to size bytes.
std::string Image(std::string_view name, std::string_view version, std::size_t size = 20000) {
    std::string bytes(20000, '\xEE');
    bytes.replace(firmware::kNameOffset, name.size(), name);
    bytes.replace(firmware::kVersionOffset, version.size(), version);
    bytes.resize(size);
    return bytes;
}

struct DescribeCase {
    std::string name;
    std::string bytes;
    std::string expected;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const DescribeCase& c, std::ostream* os) {
    *os << c.name;
}

class Describe : public ::testing::TestWithParam<DescribeCase> {};

TEST_P(Describe, GivesTheBoxText) {
    TempDir dir;
    const auto file = dir.Write("fw.bin", GetParam().bytes);
    EXPECT_EQ(describeFirmwareFile(file), GetParam().expected);
}

const std::string kNotCorrect(firmware::kNotCorrect);
const std::string kName20 = "NMC-FIRMWARE-2000yyy";

INSTANTIATE_TEST_SUITE_P(
    Files, Describe,
    ::testing::Values(DescribeCase{"Correct", Image(kName20, "1.2.3"), kName20 + " Version 1.2.3"},
                      DescribeCase{"TrailingSpacesKept", Image("ABCDEFGHIJKLMNOP    ", "01.02"),
                                   "ABCDEFGHIJKLMNOP     Version 01.02"},
                      DescribeCase{"ZInName", Image("NMC-FIRMWARE-2000yyz", "1.2.3"), kNotCorrect},
                      DescribeCase{"HighByteInVersion",
                                   Image(kName20,
                                         "1.2\x80"
                                         "3"),
                                   kNotCorrect},
                      DescribeCase{"NulInName", Image("NMC\0FIRMWARE-2000yyy"s, "1.2.3"),
                                   kNotCorrect},
                      DescribeCase{"ControlInVersion", Image(kName20, "1.2.\t"), kNotCorrect},
                      DescribeCase{"ExactlyLongEnough", Image(kName20, "1.2.3", 16393),
                                   kName20 + " Version 1.2.3"},
                      DescribeCase{"OneByteShort", Image(kName20, "1.2.", 16392), kNotCorrect},
                      DescribeCase{"NameOnly", Image(kName20, "", 100), kNotCorrect},
                      DescribeCase{"ShorterThanName", std::string(45, 'A'), kNotCorrect},
                      DescribeCase{"Empty", "", kNotCorrect}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(DescribeFirmwareFile, NoTextWithoutAReadableFile) {
    TempDir dir;
    EXPECT_EQ(describeFirmwareFile(""), "");
    EXPECT_EQ(describeFirmwareFile(dir.path() / "missing.bin"), "");
    EXPECT_EQ(describeFirmwareFile(dir.path()), "");  // a folder is not a file
}

TEST(DescribeFirmwareFile, DescriptionIsAlways34Characters) {
    TempDir dir;
    const auto file = dir.Write("fw.bin", Image(kName20, "9.9.9"));
    EXPECT_EQ(describeFirmwareFile(file).size(), firmware::kDescriptionLength);
}

TEST(FlashLimitBytes, ReadsTheLeadingNumber) {
    const std::pair<std::string, std::uint64_t> cases[] = {
        {"256K", 262144u},
        {"512K", 524288u},
        {"", 0u},
        {"K", 0u},
        {"  +64K", 65536u},
        {"-1K", 0u},                                // a negative size fits nothing
        {"000000000000001234567", 1024u},           // only 15 characters are read
        {"999999999999999", 1023999999999998976u},  // fifteen digits still fit
        {"4194303K", 4294966272u},
        {"12\x80"
         "3",
         12288u},
        {"\xFF\xFE", 0u},
    };
    for (const auto& [text, limit] : cases) {
        EXPECT_EQ(FlashLimitBytes(text), limit) << "text: " << text;
    }
}

TEST(CheckFlashSize, ComparesFileSizeWithTheLimit) {
    TempDir dir;
    const auto exact = dir.Write("exact.bin", std::string(262144, 'x'));
    const auto over = dir.Write("over.bin", std::string(262145, 'x'));
    const auto empty = dir.Write("empty.bin", "");
    EXPECT_TRUE(checkFlashSize(exact, "256K"));
    EXPECT_FALSE(checkFlashSize(over, "256K"));
    EXPECT_TRUE(checkFlashSize(over, "512K"));
    EXPECT_FALSE(checkFlashSize(exact, ""));  // a hand-added row has no flash size
    EXPECT_TRUE(checkFlashSize(empty, ""));
}

TEST(CheckFlashSize, UnreadableFileNeverFits) {
    TempDir dir;
    const auto gone = dir.Write("gone.bin", "abc");
    std::filesystem::remove(gone);
    EXPECT_EQ(FirmwareFileSize(gone), std::nullopt);
    EXPECT_EQ(FirmwareFileSize(dir.path()), std::nullopt);
    // However large the flash: a file that cannot be read never fits.
    for (const char* flash : {"512K", "4194304K", "999999999999999"}) {
        EXPECT_FALSE(checkFlashSize(gone, flash)) << flash;
        EXPECT_FALSE(checkFlashSize(dir.path(), flash)) << flash;
        EXPECT_FALSE(checkFlashSize("", flash)) << flash;
    }
    EXPECT_TRUE(checkFlashSize(dir.Write("fits.bin", "abc"), "999999999999999"));
}

// Block numbers are 16 bits: a file of 65535 whole blocks or more could never be finished.
TEST(CheckUpgradeNow, RefusesFilesTooLargeForTftp) {
    TempDir dir;
    const DeviceEntry card{.ipAddress = "198.51.100.7", .flashSize = "999999K"};
    const std::pair<std::uint64_t, std::optional<Message>> cases[] = {
        // 65534 whole blocks and a last one of 511 bytes: block 65535 ends the transfer.
        {65535ull * 512 - 1, std::nullopt},
        {65535ull * 512, upgrade::kFileTooLarge},
        {std::uint64_t{5} << 30, upgrade::kFileTooLarge},
    };
    for (const auto& [size, refusal] : cases) {
        const auto file = dir.Write("fw.bin", "");
        std::filesystem::resize_file(file, size);  // sparse: no disk is used
        EXPECT_EQ(CheckUpgradeNow(file.string(), &card), refusal) << size;
    }
}

}  // namespace
}  // namespace parvolink