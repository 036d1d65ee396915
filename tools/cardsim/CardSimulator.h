// SPDX-License-Identifier: GPL-3.0-or-later
// Simulated network management cards: what each one answers to a request line. No I/O; the
// program around it moves the datagrams.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/DottedAddress.h"

namespace parvolink::cardsim {

// How the cards misbehave, when told to.
struct Faults {
    bool silent = false;        // answer nothing
    bool notOk = false;         // status fields other than "OK"
    bool error1 = false;        // answer every request but Discover with "Error" '1'
    bool malformed = false;     // answer with datagrams the program must drop
    bool ignoreWrites = false;  // take "SetConfigure" and "SetSNMPv3" in silence
    bool unicastOnly = false;   // answer a Discover only when it was sent to the card itself
    bool forgetsUsers = false;  // answer "OK" to a user written, but keep the old one
};

// What the card's UPS reports over SNMP (the UPS MIB of RFC 1628).
struct UpsReadings {
    bool onBattery = false;
    bool lowBattery = false;
    int charge = 100;  // percent
    int minutes = 45;  // of battery time left
    int inputVolts = 230;
    int outputVolts = 230;
    int load = 35;         // percent of the output's capacity
    std::string makerHex;  // the manufacturer's bytes in hex; empty: the simulator's own name
};

struct Card {
    int number = 0;  // from 0, in the order the cards were made
    Ipv4Address address{};
    std::string macAddress;
    std::string hostName;
    std::string version = "2.1";
    std::string model = "NMC-3";
    std::string flashCode = "0";  // '1' first means 256 KiB of flash
    std::string account = "admin";
    std::string password = "lanterns";
    std::vector<std::string> configuration;  // the "Configure" payload, field by field
    std::vector<std::string> userTable;      // the "SNMPv3" payload, field by field
    // The localized keys last written to each user row (16 bytes each); empty for the factory
    // users, whose keys come from the passphrase kFactoryUserPassphrase.
    std::array<std::string, 8> authKeys;
    std::array<std::string, 8> privKeys;
    // The card's SNMP agent: whether it has one, its v1/v2c community and its UPS.
    bool agent = true;
    int usersLateMs = 0;  // the agent takes the users written this long after the card's "OK"
    std::string community = "public";
    UpsReadings ups;
    Faults faults;
    int lateMs = 0;       // every answer this late
    int ackDelayMs = 0;   // every block of a firmware fetch acknowledged this late
    std::string twinMac;  // a second card at the same address answers Discover with it
    // Another address the card is known by (a row made for it elsewhere): it also takes the
    // broadcast copies of requests that name it, and answers from its own address.
    std::optional<Ipv4Address> knownAs;
    // After a whole fetch the card restarts: silent this long, then it answers with the file's
    // version, or with its old one when it keeps it (a flash that did not take).
    int restartMs = 0;
    bool keepsOldVersion = false;
    std::chrono::steady_clock::time_point silentUntil{};
    // The card's clock, as seconds it is ahead of this machine's: its date and time fields
    // are its local time, which a SetConfigure sets. None: they stay as written.
    std::optional<std::int64_t> clockAhead;
};

constexpr std::string_view kFactoryUserPassphrase = "lanterns";

// A card numbered n (from 0) at address, with its factory configuration.
Card MakeCard(const Ipv4Address& address, int n, bool withUserLimitation = true);

// What a card does with a request: the reply lines it sends (plain, before encoding; none for
// requests it ignores) and what else follows from it, for the program serving the card.
struct Answered {
    std::vector<std::string> replies;
    bool fetchesFirmware = false;  // it said "OK" to an Upgrade: it now fetches the file
    bool usersChanged = false;     // its SNMPv3 users, keys or context: its agent follows them
};

// What card does with request. A broadcast request other than Discover is taken only by the
// card it names.
Answered Answer(Card& card, std::string_view request, bool broadcast, const Faults& faults);

}  // namespace parvolink::cardsim
