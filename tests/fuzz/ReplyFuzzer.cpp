// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the reply path: decode, parse, act. The input is a series of datagrams separated by
// newlines; each one's first byte says whether the rest is sent as it is (even) or encoded
// first, as a card would (odd), whether a timer tick follows (bit 1), whether it comes from
// another address than the card asked (bit 2) and whether the SNMPv3 query starts after it
// (bit 3). Whatever arrives,
// the program must not crash, and the device list must stay within its bounds.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/protocol/DatagramCodec.h"
#include "core/protocol/RequestEngine.h"
#include "fuzz/FuzzLines.h"
#include "support/FakeEngineHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace parvolink;
    DeviceList list;
    list.Append({.ipAddress = "198.51.100.7", .macAddress = "m"});
    list.Select(0);
    testing::FakeEngineHost host;
    RequestEngine engine(list, host);
    engine.SetHostAddress({198, 51, 100, 1});
    engine.OnConfiguration();

    std::string_view input(reinterpret_cast<const char*>(data), size);
    while (!input.empty()) {
        std::string_view chunk = fuzz::TakeLine(input);
        if (chunk.empty()) {
            continue;
        }
        const auto mode = static_cast<unsigned char>(chunk.front());
        chunk.remove_prefix(1);
        const Ipv4Address from =
            (mode & 4) ? Ipv4Address{198, 51, 100, 8} : Ipv4Address{198, 51, 100, 7};
        if (mode & 1) {
            engine.OnDatagram(DatagramCodec::EncodeText(chunk), from);
        } else {
            engine.OnDatagram(chunk, from);
        }
        if (mode & 2) {
            engine.Tick();
        }
        if (mode & 8) {
            engine.StartSnmpv3Query();
        }
        const bool selectionValid =
            list.selected() == DeviceList::kNone ||
            (list.selected() >= 0 && static_cast<std::size_t>(list.selected()) < list.size());
        if (list.size() > devices::kCapacity || !selectionValid) {
            std::abort();
        }
    }
    return 0;
}
