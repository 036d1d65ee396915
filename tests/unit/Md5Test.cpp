// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/config/Md5.h"

namespace parvolink {
namespace {

std::string Hex(const Md5::Digest& d) {
    std::string s;
    for (std::uint8_t b : d) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02x", b);
        s += buf;
    }
    return s;
}

std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// RFC 1321, appendix A.5 test suite.
TEST(Md5, Rfc1321Vectors) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [input, digest] : cases) {
        EXPECT_EQ(Hex(Md5::Of(Bytes(input))), digest) << "input: " << input;
    }
}

// Feeding the same bytes in pieces of every size across block boundaries gives one digest:
// catches faults in the partial-block buffering and in the padding at 55, 56 and 64 bytes.
TEST(Md5, PiecewiseUpdateMatchesWhole) {
    std::string data;
    for (int i = 0; i < 300; ++i) {
        data.push_back(static_cast<char>(i * 7 + 1));
    }
    for (std::size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 300u}) {
        const std::string prefix = data.substr(0, length);
        const Md5::Digest whole = Md5::Of(Bytes(prefix));
        for (std::size_t piece = 1; piece <= 70; piece += 3) {
            Md5 md5;
            for (std::size_t at = 0; at < length; at += piece) {
                md5.Update(Bytes(prefix.substr(at, piece)));
            }
            ASSERT_EQ(md5.Final(), whole) << "length " << length << " piece " << piece;
        }
    }
}

}  // namespace
}  // namespace parvolink
