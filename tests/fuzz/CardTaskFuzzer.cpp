// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes one card's command as the command line runs it: whatever a hostile host answers, the
// task must not crash, and a task that may not write (--check, or held and never let go) must
// never send a write. The input's first line chooses the job (its first byte) and how it is
// run (the second: bit 0 --check, bit 1 held before writing, bit 2 an accounts file names the
// card). Each further line is a datagram as in the reply fuzzer: its first byte says whether
// the rest is encoded as a card would (bit 0), a second passes after it (bit 1), it comes from
// another address (bit 2), and the host lets a held task write (bit 3).
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/fleet/CardTask.h"
#include "core/protocol/DatagramCodec.h"
#include "fuzz/FuzzLines.h"

namespace {

using namespace parvolink;
using fleet::CardTask;
using fleet::Job;

constexpr Ipv4Address kCard{198, 51, 100, 9};
constexpr Ipv4Address kOther{198, 51, 100, 8};
constexpr Ipv4Address kHost{198, 51, 100, 1};

Job JobFor(unsigned char choice) {
    switch (choice % 7) {
        case 0:
            return Job{Operation::Identify};
        case 1:
            return Job{Operation::ReadConfiguration};
        case 2: {
            Job job{Operation::WriteConfiguration};
            job.changes = {{"telnet", "disabled"}, {"host-name", "rack-2"}};
            return job;
        }
        case 3:
            return Job{Operation::ResetConfiguration};
        case 4: {
            Job job{Operation::WriteUsers};
            job.user = {.index = 1,
                        .name = "ops",
                        .level = 2,
                        .authPassword = "authpass1",
                        .privPassword = "privpass1"};
            return job;
        }
        case 5:
            return Job{Operation::ResetUsers};
        default:
            return Job{Operation::Audit};
    }
}

// A request's command is its second field; the card's own words (a MAC address "Reset", say)
// may follow in the others.
bool IsWrite(const Outgoing& send) {
    const std::string text = DatagramCodec::DecodeText(send.wire);
    const std::size_t start = text.find('\t');
    const std::string command =
        start == std::string::npos ? ""
                                   : text.substr(start + 1, text.find('\t', start + 1) - start - 1);
    for (const char* write : {"SetConfigure", "Reset", "SetSNMPv3", "ResetSNMPv3", "Upgrade"}) {
        if (command == write) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view header = fuzz::TakeLine(input);
    const unsigned char choice = header.empty() ? 0 : static_cast<unsigned char>(header[0]);
    const unsigned char how = header.size() < 2 ? 0 : static_cast<unsigned char>(header[1]);

    CardTask task(kCard, "admin", "secret", kHost, JobFor(choice));
    const bool checkOnly = (how & 1) != 0;
    task.CheckOnly(checkOnly);
    task.HoldBeforeWriting((how & 2) != 0);
    if (how & 4) {
        std::string error;
        const auto accounts = Accounts::Parse("198.51.100.9 ops other\n", error);
        task.UseAccounts(std::make_shared<const Accounts>(*accounts), false);
    }
    bool letGo = false;  // the host said Proceed
    const auto take = [&](const std::vector<Outgoing>& sends) {
        for (const Outgoing& send : sends) {
            if (IsWrite(send) && (checkOnly || ((how & 2) && !letGo))) {
                std::abort();
            }
        }
    };

    take(task.Start());
    while (!input.empty() && !task.finished()) {
        std::string_view chunk = fuzz::TakeLine(input);
        if (chunk.empty()) {
            continue;
        }
        const auto mode = static_cast<unsigned char>(chunk.front());
        chunk.remove_prefix(1);
        const Ipv4Address from = (mode & 4) ? kOther : kCard;
        take(task.OnDatagram((mode & 1) ? DatagramCodec::EncodeText(chunk) : std::string(chunk),
                             from));
        if (mode & 2) {
            take(task.Tick());
        }
        if ((mode & 8) && task.held()) {
            letGo = true;
            take(task.Proceed());
        }
    }
    // A task given no more answers ends by its countdowns.
    for (int second = 0; second < 600 && !task.finished(); ++second) {
        take(task.Tick());
    }
    if (!task.finished() && !task.held()) {
        std::abort();
    }
    if (checkOnly && task.sentWrite()) {
        std::abort();
    }
    return 0;
}
