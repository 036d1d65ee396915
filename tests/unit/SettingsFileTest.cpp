// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "core/devices/SettingsFile.h"
#include "support/TempDir.h"

namespace parvolink {
namespace {

using namespace std::string_literals;
using testing::TempDir;

TEST(SettingsFile, WritesTwoCrLfLinesAndReadsThemBack) {
    TempDir dir;
    const FirmwareSettings chosen{"/srv/fw/card.bin", "card.bin"};
    ASSERT_TRUE(WriteSettings(dir.path(), chosen));
    EXPECT_EQ(dir.Read("Parvolink.ini"), "/srv/fw/card.bin\r\ncard.bin\r\n");
    EXPECT_EQ(ReadSettings(dir.path()), chosen);
}

TEST(SettingsFile, MissingFileGivesNothingAndCreatesNothing) {
    TempDir dir;
    EXPECT_EQ(ReadSettings(dir.path()), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Parvolink.ini"));
}

struct ReadCase {
    std::string name;
    std::string content;
    FirmwareSettings expected;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadBack : public ::testing::TestWithParam<ReadCase> {};

// Files written by earlier versions (CR LF), by hand (LF), cut short, or hostile.
TEST_P(ReadBack, ReadsTheTwoValues) {
    TempDir dir;
    dir.Write("Parvolink.ini", GetParam().content);
    EXPECT_EQ(ReadSettings(dir.path()), GetParam().expected);
}

const std::string kLong(600, 'p');

INSTANTIATE_TEST_SUITE_P(
    Files, ReadBack,
    ::testing::Values(
        ReadCase{"CrLf", "C:\\fw\\card.bin\r\ncard.bin\r\n", {"C:\\fw\\card.bin", "card.bin"}},
        ReadCase{"Lf", "/fw/card.bin\ncard.bin\n", {"/fw/card.bin", "card.bin"}},
        ReadCase{"NoFinalLineEnd", "/fw/card.bin\r\ncard.bin", {"/fw/card.bin", "card.bin"}},
        ReadCase{"OneLine", "/fw/card.bin\r\n", {"/fw/card.bin", ""}},
        ReadCase{"OneLineNoEnd", "/fw/card.bin", {"/fw/card.bin", ""}},
        ReadCase{"Empty", "", {"", ""}}, ReadCase{"EmptyValues", "\r\n\r\n", {"", ""}},
        ReadCase{"LongValuesWhole", kLong + "\r\n" + kLong + "\r\n", {kLong, kLong}},
        ReadCase{"ExtraLinesIgnored", "a\r\nb\r\nc\r\n", {"a", "b"}},
        ReadCase{"HighBytesAndNul", "/fw/\xE9t\xE9\0x\r\nb\xFF\r\n"s, {"/fw/\xE9t\xE9", "b\xFF"}},
        ReadCase{"CrCrLf", "/fw/card.bin\r\r\ncard.bin\r\r\n", {"/fw/card.bin", "card.bin"}},
        ReadCase{"NulEndsTheSecondValue", "/fw/a.bin\r\na.bin\0evil\r\n"s, {"/fw/a.bin", "a.bin"}},
        ReadCase{"HugeLineReadOnlyInPart",
                 std::string(1 << 20, 'x') + "\r\nb\r\n",
                 {std::string(kLongestSettingsFile, 'x'), ""}}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(SettingsFile, ValuesOfAnyLengthRoundTrip) {
    TempDir dir;
    const FirmwareSettings chosen{"/" + std::string(1000, 'd') + "/f.bin", "f.bin"};
    ASSERT_TRUE(WriteSettings(dir.path(), chosen));
    EXPECT_EQ(ReadSettings(dir.path()), chosen);
}

TEST(SettingsFile, RefusesValuesWithLineBreaks) {
    TempDir dir;
    ASSERT_TRUE(WriteSettings(dir.path(), {"/fw/old.bin", "old.bin"}));
    EXPECT_FALSE(WriteSettings(dir.path(), {"/fw/a\nb.bin", "a\nb.bin"}));
    EXPECT_EQ(ReadSettings(dir.path()), (FirmwareSettings{"/fw/old.bin", "old.bin"}));
}

// A FIFO or a device in the file's place would block start-up or never end: not read.
TEST(SettingsFile, OnlyRegularFilesAreRead) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir.path() / "Parvolink.ini").c_str(), 0600), 0);
    EXPECT_EQ(ReadSettings(dir.path()), std::nullopt);
    TempDir other;
    std::filesystem::create_symlink("/dev/zero", other.path() / "Parvolink.ini");
    EXPECT_EQ(ReadSettings(other.path()), std::nullopt);
}

// A disk that fills while the file is written: the old file stays whole, no temporary is left.
TEST(SettingsFile, AFailedWriteKeepsTheOldFile) {
    TempDir dir;
    const FirmwareSettings old{"/fw/old.bin", "old.bin"};
    ASSERT_TRUE(WriteSettings(dir.path(), old));
    std::signal(SIGXFSZ, SIG_IGN);  // past the limit a write fails instead of ending the test
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written =
        WriteSettings(dir.path(), {"/" + std::string(200, 'd') + "/new.bin", "new.bin"});
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadSettings(dir.path()), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(SettingsFile, UnwritableDirectoryFailsQuietly) {
    TempDir dir;
    EXPECT_FALSE(WriteSettings(dir.path() / "no" / "such", {"/fw/a.bin", "a.bin"}));
    // A folder in the file's place cannot be read as settings.
    std::filesystem::create_directory(dir.path() / "Parvolink.ini");
    EXPECT_EQ(ReadSettings(dir.path()), std::nullopt);
}

}  // namespace
}  // namespace parvolink
