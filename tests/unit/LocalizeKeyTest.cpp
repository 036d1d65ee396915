// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/config/LocalizeKey.h"
#include "core/config/Md5.h"

namespace parvolink {
namespace {

using Key = std::array<std::uint8_t, kLocalizedKeySize>;

std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

Key Localize(std::string_view password, std::span<const std::uint8_t> engineId) {
    Key key{};
    EXPECT_TRUE(LocalizeKey(key, Bytes(password), engineId));
    return key;
}

// The straightforward reading of the procedure, byte by byte, as a reference.
Key ReferenceKey(std::string_view password, std::span<const std::uint8_t> engineId) {
    Md5 md5;
    std::size_t k = 0;
    for (int block = 0; block < 16384; ++block) {
        std::array<std::uint8_t, 64> buf{};
        for (auto& b : buf) {
            b = static_cast<std::uint8_t>(password[k++ % password.size()]);
        }
        md5.Update(buf);
    }
    const Md5::Digest ku = md5.Final();
    Md5 localized;
    localized.Update(ku);
    localized.Update(engineId);
    localized.Update(ku);
    return localized.Final();
}

const std::array<std::uint8_t, 12> kRfcEngineId = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};

// RFC 3414, appendix A.3.1.
TEST(LocalizeKey, Rfc3414Md5Vector) {
    const Key expected = {0x52, 0x6f, 0x5e, 0xed, 0x9f, 0xcc, 0xe2, 0x6f,
                          0x89, 0x64, 0xc2, 0x93, 0x07, 0x87, 0xd8, 0x2b};
    EXPECT_EQ(Localize("maplesyrup", kRfcEngineId), expected);
}

// Password lengths whose blocks start at varying positions (64 mod 10 = 4, 64 mod 7 = 1, ...),
// bytes above 127 and NUL inside, engine identifiers of 0 bytes and of more than 32.
TEST(LocalizeKey, MatchesReferenceForAwkwardInputs) {
    using namespace std::string_literals;
    const std::vector<std::uint8_t> longEngine(40, 0xAB);
    const std::vector<std::uint8_t> noEngine;
    const std::pair<std::string, std::span<const std::uint8_t>> cases[] = {
        {"12345678", kRfcEngineId},        {"1234567890abcdef", kRfcEngineId},
        {"0123456789", kRfcEngineId},      {"x", noEngine},
        {"seven77", longEngine},           {"p\0ss\xFF\x80word"s, kRfcEngineId},
        {std::string(255, 'q'), noEngine}, {std::string(300, 'r'), kRfcEngineId},
    };
    for (const auto& [password, engine] : cases) {
        EXPECT_EQ(Localize(password, engine), ReferenceKey(password, engine))
            << "password length " << password.size();
    }
}

TEST(LocalizeKey, EngineIdentifierChangesTheKey) {
    const std::array<std::uint8_t, 12> other = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3};
    EXPECT_NE(Localize("maplesyrup", kRfcEngineId), Localize("maplesyrup", other));
    EXPECT_EQ(Localize("maplesyrup", other), Localize("maplesyrup", other));
}

TEST(LocalizeKey, EmptyPasswordIsRefused) {
    Key key;
    key.fill(0x55);
    EXPECT_FALSE(LocalizeKey(key, {}, kRfcEngineId));
    EXPECT_EQ(key, Key{});
}

}  // namespace
}  // namespace parvolink
