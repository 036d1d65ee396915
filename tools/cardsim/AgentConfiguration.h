// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration of a simulated card's SNMP agent (net-snmp's snmpd): its engine ID, its
// users from the card's user table with the keys the card was sent, its community, the system
// group and the readings of its UPS. No I/O.
#pragma once

#include <cstdint>
#include <string>

#include "CardSimulator.h"

namespace parvolink::cardsim {

// The snmpd.conf text for card, listening on its address at port; stateDir holds the agent's
// own files.
std::string AgentConfiguration(const Card& card, std::uint16_t port, const std::string& stateDir);

// Bytes as "0x" and two hex digits each, as snmpd.conf takes an octet string.
std::string HexOctets(std::string_view bytes);

}  // namespace parvolink::cardsim
