// SPDX-License-Identifier: GPL-3.0-or-later
// An engine host that records every call in order, answers the modal sequences from a script
// and can run code "inside" a modal loop, as nested timer ticks and replies would.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/protocol/DatagramCodec.h"
#include "core/protocol/RequestEngine.h"

namespace parvolink::testing {

class FakeEngineHost : public EngineHost {
public:
    struct Sent {
        std::string host;
        std::string line;  // decoded, without the zero bytes of the last group
        bool operator==(const Sent&) const = default;
    };

    std::vector<std::string> calls;  // "buttons on", "timer start", "message: ...", ...
    std::vector<Sent> sent;
    std::vector<Message> messages;
    std::vector<MessageOrigin> origins;  // one per message
    std::string storedConfiguration;
    std::string storedUserTable;
    std::string configuredCard;            // the address of the card whose dialog ran last
    std::string usersCard;                 // of the card whose SNMPv3 dialog ran last
    std::string acceptedUserCard;          // of the card whose SetSNMPv3 was answered "OK"
    std::deque<SequenceOutcome> outcomes;  // one per sequence run; Cancelled when empty
    std::function<void()> insideModal;     // runs inside the next message or sequence
    bool buttonsOn = true;
    bool timerRunning = false;
    bool sendSucceeds = true;
    bool takeReplies = true;  // what StoreConfiguration and StoreUserTable answer

    void EnableButtons(bool on) override {
        buttonsOn = on;
        calls.push_back(on ? "buttons on" : "buttons off");
    }
    bool StartOperationTimer() override {
        timerRunning = true;
        calls.push_back("timer start");
        return true;
    }
    void StopOperationTimer() override {
        timerRunning = false;
        calls.push_back("timer stop");
    }
    bool SendDatagram(std::string_view wire, std::string_view host) override {
        std::string line = DatagramCodec::DecodeText(wire);
        line.resize(std::min(line.size(), line.find('\0')));
        sent.push_back({std::string(host), line});
        calls.push_back("send " + std::string(host));
        return sendSucceeds;
    }
    void ShowMessage(const Message& message, MessageOrigin origin) override {
        messages.push_back(message);
        origins.push_back(origin);
        calls.push_back("message: " + message.text);
        RunInsideModal();
    }
    void DeviceListChanged() override { calls.push_back("list changed"); }
    bool StoreConfiguration(std::string_view payload) override {
        storedConfiguration = payload;
        return takeReplies;
    }
    bool StoreUserTable(std::string_view payload) override {
        storedUserTable = payload;
        return takeReplies;
    }
    SequenceOutcome RunConfigurationSequence(const DeviceEntry& card) override {
        configuredCard = card.ipAddress;
        return RunSequence("configuration");
    }
    SequenceOutcome RunSnmpv3Sequence(const DeviceEntry& card) override {
        usersCard = card.ipAddress;
        return RunSequence("snmpv3");
    }
    void SnmpUserAccepted(const DeviceEntry& card) override { acceptedUserCard = card.ipAddress; }

private:
    SequenceOutcome RunSequence(const std::string& name) {
        calls.push_back(name + " dialog");
        RunInsideModal();
        if (outcomes.empty()) {
            return {};
        }
        SequenceOutcome outcome = outcomes.front();
        outcomes.pop_front();
        return outcome;
    }
    void RunInsideModal() {
        if (insideModal) {
            auto action = std::move(insideModal);
            insideModal = nullptr;
            action();
        }
    }
};

// A reply datagram as a card would send it: the tag, then the given fields, each ending with
// a TAB, encoded.
inline std::string ReplyDatagram(const std::vector<std::string>& fields) {
    std::string line = "QorinWebConfig\t";
    for (const std::string& field : fields) {
        line += field + '\t';
    }
    return DatagramCodec::EncodeText(line);
}

}  // namespace parvolink::testing
