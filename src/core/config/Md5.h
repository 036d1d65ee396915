// SPDX-License-Identifier: GPL-3.0-or-later
// MD5 message digest (RFC 1321). Used only to derive SNMPv3 keys; not for new security uses.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace parvolink {

class Md5 {
public:
    static constexpr std::size_t kBlockSize = 64;
    static constexpr std::size_t kDigestSize = 16;
    using Digest = std::array<std::uint8_t, kDigestSize>;

    Md5() { Init(); }

    void Init();
    void Update(std::span<const std::uint8_t> data);
    // Pads, appends the bit count and returns the digest. The context must be Init()ed again
    // before further use.
    Digest Final();

    // Hashes whole 64-byte blocks straight from the caller's memory, without buffering.
    // REQUIRES: no partial block is buffered (every Update so far was a multiple of 64 bytes).
    void UpdateBlocks(const std::uint8_t* blocks, std::size_t count);

    static Digest Of(std::span<const std::uint8_t> data);

private:
    std::array<std::uint32_t, 4> state_{};
    std::uint64_t byteCount_ = 0;
    std::array<std::uint8_t, kBlockSize> buffer_{};
};

}  // namespace parvolink
