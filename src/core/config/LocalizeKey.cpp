// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/config/LocalizeKey.h"

#include <algorithm>
#include <vector>

#include "core/config/Md5.h"

namespace parvolink {
namespace {

constexpr std::size_t kExpansionBytes = 1048576;  // RFC 3414: the password repeated over 1 MiB

}  // namespace

bool LocalizeKey(std::span<std::uint8_t, kLocalizedKeySize> key,
                 std::span<const std::uint8_t> password, std::span<const std::uint8_t> engineId) {
    std::fill(key.begin(), key.end(), std::uint8_t{0});
    const std::size_t length = password.size();
    if (length == 0) {
        return false;
    }
    // The password repeated so that 64 bytes follow any starting position within it: each block
    // of the expansion is then a window into this buffer, hashed in place without copying.
    std::vector<std::uint8_t> repeated(length + Md5::kBlockSize);
    for (std::size_t i = 0; i < repeated.size(); ++i) {
        repeated[i] = password[i % length];
    }
    Md5 md5;
    std::size_t start = 0;  // position in the password where the next block starts
    for (std::size_t done = 0; done < kExpansionBytes; done += Md5::kBlockSize) {
        md5.UpdateBlocks(repeated.data() + start, 1);
        start = (start + Md5::kBlockSize) % length;
    }
    const Md5::Digest ku = md5.Final();

    md5.Init();
    md5.Update(ku);
    md5.Update(engineId);
    md5.Update(ku);
    const Md5::Digest kul = md5.Final();
    std::copy(kul.begin(), kul.end(), key.begin());
    return true;
}

}  // namespace parvolink
