// What the main window learns of the PC's network: its IPv4 interface table and the address its
// host name resolves to. Tests give their own.
#pragma once

#include <vector>

#include "app/LanInterfaces.h"

namespace parvolink {

class NetworkEnvironment {
public:
    virtual ~NetworkEnvironment() = default;
    // IPv4 interfaces in the system's order; empty when they cannot be read.
    virtual std::vector<InterfaceRow> InterfaceTable() = 0;
    // The first IPv4 address of the PC's host name, 0.0.0.0 when it does not resolve.
    virtual Ipv4Address HostAddress() = 0;
};

class SystemNetworkEnvironment : public NetworkEnvironment {
public:
    std::vector<InterfaceRow> InterfaceTable() override;
    Ipv4Address HostAddress() override;
};

}  // namespace parvolink
