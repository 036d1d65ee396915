// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window learns of the PC's network: its IPv4 interface table and the addresses
// its host name resolves to. Tests give their own.
#pragma once

#include <vector>

#include "base/LanInterfaces.h"

namespace parvolink {

class NetworkEnvironment {
public:
    virtual ~NetworkEnvironment() = default;
    // IPv4 interfaces in the system's order; empty when they cannot be read.
    virtual std::vector<InterfaceRow> InterfaceTable() = 0;
    // The IPv4 addresses of the PC's host name, in the resolver's order; none when it does not
    // resolve.
    virtual std::vector<Ipv4Address> HostNameAddresses() = 0;
};

class SystemNetworkEnvironment : public NetworkEnvironment {
public:
    std::vector<InterfaceRow> InterfaceTable() override;
    std::vector<Ipv4Address> HostNameAddresses() override;
};

}  // namespace parvolink
