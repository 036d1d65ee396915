// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/protocol/DatagramCodec.h"

#include <array>

namespace parvolink {
namespace {

constexpr std::uint8_t kInvalid = 0xFF;

constexpr std::array<std::uint8_t, 256> MakeReverseTable() {
    std::array<std::uint8_t, 256> table{};
    table.fill(kInvalid);
    for (std::size_t i = 0; i < DatagramCodec::kAlphabet.size(); ++i) {
        table[static_cast<unsigned char>(DatagramCodec::kAlphabet[i])] =
            static_cast<std::uint8_t>(i);
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> kReverse = MakeReverseTable();

}  // namespace

std::size_t DatagramCodec::Encode(std::span<char> output, std::span<const std::uint8_t> input) {
    const std::size_t written = EncodedLength(input.size());
    if (output.size() < written) {
        return 0;
    }
    std::size_t out = 0;
    for (std::size_t i = 0; i < input.size(); i += 3) {
        // Bytes past the end of the input count as zero and are encoded like any other.
        const unsigned b0 = input[i];
        const unsigned b1 = i + 1 < input.size() ? input[i + 1] : 0u;
        const unsigned b2 = i + 2 < input.size() ? input[i + 2] : 0u;
        output[out++] = kAlphabet[b0 & 63];
        output[out++] = kAlphabet[(b0 >> 6) | ((b1 & 15) << 2)];
        output[out++] = kAlphabet[(b1 >> 4) | ((b2 & 3) << 4)];
        output[out++] = kAlphabet[b2 >> 2];
    }
    return written;
}

std::size_t DatagramCodec::Decode(std::span<std::uint8_t> output, std::span<const char> input) {
    if (input.size() % 4 != 0) {
        return 0;
    }
    const std::size_t produced = DecodedLength(input.size());
    if (output.size() < produced) {
        return 0;
    }
    std::size_t out = 0;
    for (std::size_t i = 0; i < input.size(); i += 4) {
        std::array<unsigned, 4> k{};
        for (std::size_t j = 0; j < 4; ++j) {
            k[j] = kReverse[static_cast<unsigned char>(input[i + j])];
            if (k[j] == kInvalid) {
                return 0;
            }
        }
        output[out++] = static_cast<std::uint8_t>(k[0] | ((k[1] & 3) << 6));
        output[out++] = static_cast<std::uint8_t>((k[1] >> 2) | ((k[2] & 15) << 4));
        output[out++] = static_cast<std::uint8_t>((k[2] >> 4) | (k[3] << 2));
    }
    return produced;
}

std::string DatagramCodec::EncodeText(std::string_view plain) {
    std::string wire(EncodedLength(plain.size()), '\0');
    Encode(wire, std::span(reinterpret_cast<const std::uint8_t*>(plain.data()), plain.size()));
    return wire;
}

std::string DatagramCodec::DecodeText(std::string_view wire) {
    std::string plain(DecodedLength(wire.size()), '\0');
    const std::size_t n =
        Decode(std::span(reinterpret_cast<std::uint8_t*>(plain.data()), plain.size()), wire);
    plain.resize(n);
    return plain;
}

}  // namespace parvolink
