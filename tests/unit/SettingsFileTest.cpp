#include "devices/SettingsFile.h"

#include <gtest/gtest.h>

#include "TempDir.h"

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
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

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
        ReadCase{"Empty", "", {"", ""}},
        ReadCase{"EmptyValues", "\r\n\r\n", {"", ""}},
        ReadCase{"LongValuesWhole", kLong + "\r\n" + kLong + "\r\n", {kLong, kLong}},
        ReadCase{"ExtraLinesIgnored", "a\r\nb\r\nc\r\n", {"a", "b"}},
        ReadCase{"HighBytesAndNul", "/fw/\xE9t\xE9\0x\r\nb\xFF\r\n"s, {"/fw/\xE9t\xE9\0x"s, "b\xFF"}}),
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

TEST(SettingsFile, UnwritableDirectoryFailsQuietly) {
    TempDir dir;
    EXPECT_FALSE(WriteSettings(dir.path() / "no" / "such", {"/fw/a.bin", "a.bin"}));
    // A folder in the file's place cannot be read as settings.
    std::filesystem::create_directory(dir.path() / "Parvolink.ini");
    EXPECT_EQ(ReadSettings(dir.path()), std::nullopt);
}

}  // namespace
}  // namespace parvolink
