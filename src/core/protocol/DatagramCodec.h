// SPDX-License-Identifier: GPL-3.0-or-later
// The text encoding every management datagram travels in: three plain bytes become four
// characters of a 64-character alphabet, least significant bits first, with no padding
// character. It is not RFC 4648 Base64 and must not be swapped for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace parvolink {

class DatagramCodec {
public:
    // Value of each character is its position here.
    static constexpr std::string_view kAlphabet =
        "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

    static constexpr std::size_t EncodedLength(std::size_t plainLength) {
        return 4 * ((plainLength + 2) / 3);
    }
    static constexpr std::size_t DecodedLength(std::size_t wireLength) {
        return 3 * (wireLength / 4);
    }

    // Encodes input, taken as extended with zero bytes to a multiple of three, into output.
    // Returns the number of characters written, EncodedLength(input.size()); writes no
    // terminator. Returns 0 and writes nothing when output is shorter than that.
    static std::size_t Encode(std::span<char> output, std::span<const std::uint8_t> input);

    // Decodes wire form into output. Returns DecodedLength(input.size()), or 0 when the length
    // is not a multiple of 4, a character is outside the alphabet, or output is too short.
    // After a 0 result the output's contents are not to be used.
    static std::size_t Decode(std::span<std::uint8_t> output, std::span<const char> input);

    // Conveniences over the two above for text lines.
    static std::string EncodeText(std::string_view plain);
    // The decoded bytes, zero bytes of the last group included; empty when Decode gives 0.
    static std::string DecodeText(std::string_view wire);
};

}  // namespace parvolink
