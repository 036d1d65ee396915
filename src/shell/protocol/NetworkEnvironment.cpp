// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/protocol/NetworkEnvironment.h"

#include <QHostInfo>
#include <QNetworkInterface>

#include "shell/protocol/DatagramSocket.h"

namespace parvolink {

std::vector<InterfaceRow> SystemNetworkEnvironment::InterfaceTable() {
    std::vector<InterfaceRow> table;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                table.push_back({ToIpv4Address(entry.ip()), ToIpv4Address(entry.netmask())});
            }
        }
    }
    return table;
}

std::vector<Ipv4Address> SystemNetworkEnvironment::HostNameAddresses() {
    std::vector<Ipv4Address> resolved;
    for (const QHostAddress& address :
         QHostInfo::fromName(QHostInfo::localHostName()).addresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            resolved.push_back(ToIpv4Address(address));
        }
    }
    return resolved;
}

}  // namespace parvolink
