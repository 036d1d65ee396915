// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/protocol/DatagramCodec.h"

namespace parvolink {
namespace {

using namespace std::string_literals;

struct CodecCase {
    std::string name;
    std::string plain;
    std::string wire;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const CodecCase& c, std::ostream* os) {
    *os << c.name;
}

class CodecExamples : public ::testing::TestWithParam<CodecCase> {};

TEST_P(CodecExamples, EncodesAndDecodesBack) {
    const CodecCase& c = GetParam();
    EXPECT_EQ(DatagramCodec::EncodeText(c.plain), c.wire);
    // Decoding returns the zero bytes that filled the last group.
    std::string padded = c.plain;
    padded.resize(DatagramCodec::DecodedLength(c.wire.size()), '\0');
    EXPECT_EQ(DatagramCodec::DecodeText(c.wire), padded);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, CodecExamples,
    ::testing::Values(CodecCase{"abc", "abc", "V7qM"}, CodecCase{"ab", "ab", "V74."},
                      CodecCase{"a", "a", "V/.."}, CodecCase{"abcd", "abcd", "V7qMY/.."},
                      CodecCase{"zeros", "\0\0\0"s, "...."},
                      CodecCase{"ones", "\xFF\xFF\xFF"s, "zzzz"}, CodecCase{"empty", "", ""}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(DatagramCodec, DiscoverLineLengths) {
    const std::string line(19, 'x');
    const std::string wire = DatagramCodec::EncodeText(line);
    ASSERT_EQ(wire.size(), 28u);
    const std::string back = DatagramCodec::DecodeText(wire);
    ASSERT_EQ(back.size(), 21u);
    EXPECT_EQ(back.substr(0, 19), line);
    EXPECT_EQ(back.substr(19), "\0\0"s);
}

// Hostile wire forms: wrong lengths, characters outside the alphabet (NUL, space, '+', '-',
// '=', bytes above 127), a bad character after valid groups.
TEST(DatagramCodec, RejectsInvalidWireForm) {
    const std::vector<std::string> bad = {
        "V",    "V7q",    "V7qMY/.", "V7q=",    "V7qMY/.-",   "V7q+",
        "V7 M", "V7\0M"s, "V7q\x80", "V7q\xFF", "\xC3\xA9..", "V7qM\n...",
    };
    for (const std::string& wire : bad) {
        std::array<std::uint8_t, 16> out{};
        EXPECT_EQ(DatagramCodec::Decode(out, wire), 0u) << "wire: " << wire;
        EXPECT_EQ(DatagramCodec::DecodeText(wire), "") << "wire: " << wire;
    }
}

TEST(DatagramCodec, EmptyInputWritesNothing) {
    std::array<std::uint8_t, 3> out = {7, 7, 7};
    EXPECT_EQ(DatagramCodec::Decode(out, std::string_view{}), 0u);
    EXPECT_EQ(out, (std::array<std::uint8_t, 3>{7, 7, 7}));
    std::array<char, 4> wire = {'#', '#', '#', '#'};
    EXPECT_EQ(DatagramCodec::Encode(wire, std::span<const std::uint8_t>{}), 0u);
    EXPECT_EQ(wire, (std::array<char, 4>{'#', '#', '#', '#'}));
}

TEST(DatagramCodec, RefusesOutputTooShort) {
    const std::array<std::uint8_t, 4> plain = {1, 2, 3, 4};
    std::array<char, 7> wire{};
    EXPECT_EQ(DatagramCodec::Encode(wire, plain), 0u);
    std::array<std::uint8_t, 5> out{};
    EXPECT_EQ(DatagramCodec::Decode(out, std::string_view("V7qMY/..")), 0u);
}

// Every 4-character string over the alphabet decodes to 3 bytes that encode back to it, and
// every 3-byte value round-trips: the code is a bijection on groups.
TEST(DatagramCodec, EveryGroupRoundTrips) {
    const std::string_view a = DatagramCodec::kAlphabet;
    std::array<std::uint8_t, 3> plain{};
    std::array<char, 4> again{};
    long failures = 0;
    for (char c0 : a) {
        for (char c1 : a) {
            for (char c2 : a) {
                for (char c3 : a) {
                    const std::array<char, 4> wire = {c0, c1, c2, c3};
                    const bool ok = DatagramCodec::Decode(plain, wire) == 3 &&
                                    DatagramCodec::Encode(again, plain) == 4 && again == wire;
                    failures += ok ? 0 : 1;
                }
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(DatagramCodec, AllByteValuesRoundTrip) {
    std::string plain;
    for (int i = 0; i < 256; ++i) {
        plain.push_back(static_cast<char>(i));
    }
    plain += plain;  // 512 bytes, not a multiple of 3
    std::string back = DatagramCodec::DecodeText(DatagramCodec::EncodeText(plain));
    ASSERT_EQ(back.size(), 513u);
    EXPECT_EQ(back.substr(0, 512), plain);
    EXPECT_EQ(back[512], '\0');
}

}  // namespace
}  // namespace parvolink
