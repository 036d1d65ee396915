// SPDX-License-Identifier: GPL-3.0-or-later
// A card task carried out against a simulated card's answers: every datagram the task sends is
// delivered to the card and every reply comes back, as over the network, without a socket.
#pragma once

#include <string>
#include <vector>

#include "cardsim/CardSimulator.h"
#include "core/fleet/CardTask.h"
#include "core/protocol/DatagramCodec.h"

namespace parvolink::testing {

struct SimulatedCardRun {
    cardsim::Card& card;
    const cardsim::Faults& faults;
    std::vector<std::string> sent;  // the commands sent, in order

    // Runs task to its end: at most ticks seconds (or until it fetches firmware).
    void Run(fleet::CardTask& task, int ticks = 20) {
        Deliver(task, task.Start());
        for (int t = 0; t < ticks && !task.finished() && !task.fetching(); ++t) {
            Deliver(task, task.Tick());
        }
    }
    void Deliver(fleet::CardTask& task, const std::vector<Outgoing>& sends) {
        for (const Outgoing& send : sends) {
            sent.push_back(Command(send.wire));
            for (const std::string& reply : Replies(send)) {
                Deliver(task, task.OnDatagram(reply, card.address));
            }
        }
    }
    // What the card sends back for one request, encoded.
    std::vector<std::string> Replies(const Outgoing& send) {
        std::string line = DatagramCodec::DecodeText(send.wire);
        while (!line.empty() && line.back() == '\0') {
            line.pop_back();
        }
        const bool broadcast = send.host == "255.255.255.255";
        std::vector<std::string> replies;
        for (const std::string& reply : cardsim::Answer(card, line, broadcast, faults).replies) {
            replies.push_back(DatagramCodec::EncodeText(reply));
        }
        return replies;
    }
    // The command a request carries ("Configure", "SetSNMPv3"...).
    static std::string Command(const std::string& wire) {
        const std::string line = DatagramCodec::DecodeText(wire);
        const std::size_t start = line.find('\t') + 1;
        return line.substr(start, line.find('\t', start) - start);
    }
};

}  // namespace parvolink::testing
