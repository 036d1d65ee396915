// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the TFTP server: datagrams from several hosts and timer ticks, in any order. The
// input is a series of records: a byte choosing the host (low 4 bits) and whether a tick
// follows (bit 4), a length byte, then that many bytes of datagram. Whatever arrives, the
// server must not crash, must keep at most 10 transfers and never send more than a block.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>

#include "core/upgrade/TftpServer.h"

namespace {

const std::filesystem::path& ServedFile() {
    static const std::filesystem::path path = [] {
        auto p = std::filesystem::temp_directory_path() / "parvolink-tftp-fuzz.bin";
        std::ofstream(p, std::ios::binary) << std::string(1500, 'f');
        return p;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace parvolink;
    const ServedFirmware firmware{ServedFile().string(), "fw.bin"};
    TftpServer server([&] { return firmware; });
    std::span<const std::uint8_t> input(data, size);
    while (input.size() >= 2) {
        const std::uint8_t control = input[0];
        const std::size_t length = std::min<std::size_t>(input[1], input.size() - 2);
        const auto datagram = input.subspan(2, length);
        input = input.subspan(2 + length);
        const TftpPeer peer{{198, 51, 100, static_cast<std::uint8_t>(control & 15)},
                            static_cast<std::uint16_t>(1024 + (control & 15))};
        TftpActions actions = server.OnDatagram(datagram, peer);
        if (control & 16) {
            TftpActions tick = server.OnTick();
            actions.sends.insert(actions.sends.end(), tick.sends.begin(), tick.sends.end());
        }
        server.TakeTransferStarted();
        for (const TftpDatagram& sent : actions.sends) {
            if (sent.bytes.size() > 4 + tftp::kBlockSize) {
                std::abort();
            }
        }
        if (server.connectionCount() > tftp::kMaxConnections) {
            std::abort();
        }
    }
    return 0;
}
