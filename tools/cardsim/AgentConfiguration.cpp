// SPDX-License-Identifier: GPL-3.0-or-later
#include "AgentConfiguration.h"

#include <cstdlib>
#include <sstream>

namespace parvolink::cardsim {
namespace {

// The UPS MIB (RFC 1628) under which the readings live.
constexpr const char* kUpsMib = ".1.3.6.1.2.1.33.1";
constexpr int kOutputNormal = 3;
constexpr int kOutputBattery = 5;
constexpr int kBatteryNormal = 2;
constexpr int kBatteryLow = 3;
constexpr int kSecondsOnBattery = 120;

const char* LevelWord(int code) {
    return code == 0 ? "noauth" : code == 1 ? "auth" : "priv";
}

// One user row as createUser and rouser lines: with the keys the card received, localized
// already, or with the factory passphrase for the users the card came with.
void AddUser(std::ostream& out, const Card& card, std::size_t row, const std::string& engine) {
    const std::string& name = card.userTable[3 + row];
    const int levels =
        std::atoi(card.userTable[1].c_str()) + 256 * std::atoi(card.userTable[2].c_str());
    const int code = (levels >> (2 * row)) & 3;
    out << "createUser -e " << engine << " " << name;
    const bool keys = !card.authKeys[row].empty();
    const std::string passphrase(kFactoryUserPassphrase);
    if (code >= 1) {
        out << " MD5 " << (keys ? "-l " + HexOctets(card.authKeys[row]) : passphrase);
    }
    if (code >= 2) {
        out << " DES " << (keys ? "-l " + HexOctets(card.privKeys[row]) : passphrase);
    }
    out << "\nrouser -s usm " << name << " " << LevelWord(code) << "\n";
}

void AddUpsReadings(std::ostream& out, const Card& card) {
    const UpsReadings& ups = card.ups;
    const auto integer = [&](const char* oid, int value) {
        out << "override " << kUpsMib << oid << " integer " << value << "\n";
    };
    out << "override " << kUpsMib << ".1.1.0 octet_str "
        << (ups.makerHex.empty() ? "\"Parvolink test power\"" : "0x" + ups.makerHex) << "\n"
        << "override " << kUpsMib << ".1.2.0 octet_str \"UPS-1500\"\n"
        << "override " << kUpsMib << ".1.5.0 octet_str \"" << card.hostName << "\"\n";
    integer(".2.1.0", ups.lowBattery ? kBatteryLow : kBatteryNormal);
    integer(".2.2.0", ups.onBattery ? kSecondsOnBattery : 0);
    integer(".2.3.0", ups.minutes);
    integer(".2.4.0", ups.charge);
    integer(".3.2.0", 1);
    integer(".3.3.1.3.1", ups.onBattery ? 0 : ups.inputVolts);
    integer(".4.1.0", ups.onBattery ? kOutputBattery : kOutputNormal);
    integer(".4.3.0", 1);
    integer(".4.4.1.2.1", ups.outputVolts);
    integer(".4.4.1.5.1", ups.load);
    // The alarm table: upsAlarmOnBattery (.6.3.2) and upsAlarmLowBattery (.6.3.3).
    int alarms = 0;
    for (const auto& [present, alarm] : {std::pair{ups.onBattery, 2}, {ups.lowBattery, 3}}) {
        if (present) {
            ++alarms;
            integer((".6.2.1.1." + std::to_string(alarms)).c_str(), alarms);
            out << "override " << kUpsMib << ".6.2.1.2." << alarms << " object_id " << kUpsMib
                << ".6.3." << alarm << "\n";
        }
    }
    out << "override " << kUpsMib << ".6.1.0 unsigned " << alarms << "\n";
}

}  // namespace

std::string HexOctets(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex = "0x";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

std::string AgentConfiguration(const Card& card, std::uint16_t port, const std::string& stateDir) {
    std::ostringstream out;
    const std::string engine = HexOctets(card.userTable[0]);
    out << "[snmp] persistentDir " << stateDir << "\n"
        << "[snmp] noPersistentLoad yes\n"
        << "[snmp] noPersistentSave yes\n"
        << "agentAddress udp:" << FormatDottedAddress(card.address) << ":" << port << "\n"
        << "exactEngineID " << engine << "\n"
        << "sysDescr " << card.model << " network management card, version " << card.version << "\n"
        << "sysName " << card.hostName << "\n"
        << "sysLocation " << card.configuration[2] << "\n"
        << "sysContact " << card.configuration[0] << "\n"
        << "sysServices 72\n";
    if (!card.community.empty()) {
        out << "rocommunity " << card.community << "\n";
    }
    for (std::size_t row = 0; row < 8; ++row) {
        if (!card.userTable[3 + row].empty()) {
            AddUser(out, card, row, engine);
        }
    }
    AddUpsReadings(out, card);
    return out.str();
}

}  // namespace parvolink::cardsim
