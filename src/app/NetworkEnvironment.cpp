#include "app/NetworkEnvironment.h"

#include <QHostInfo>
#include <QNetworkInterface>

namespace parvolink {
namespace {

Ipv4Address ToBytes(const QHostAddress& address) {
    const quint32 value = address.toIPv4Address();
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

}  // namespace

std::vector<InterfaceRow> SystemNetworkEnvironment::InterfaceTable() {
    std::vector<InterfaceRow> table;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                table.push_back({ToBytes(entry.ip()), ToBytes(entry.netmask())});
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
            resolved.push_back(ToBytes(address));
        }
    }
    return resolved;
}

}  // namespace parvolink
