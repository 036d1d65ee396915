// SPDX-License-Identifier: GPL-3.0-or-later
// parvolink-cardsim: simulated network management cards for the test LAN and demonstrations.
// Listens on UDP port 3456 of every address, learns which card a datagram was sent to (or
// that it was a broadcast) and answers from that card's own address.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "CardSimulator.h"
#include "FirmwareFetch.h"
#include "LogEscape.h"
#include "SnmpAgent.h"
#include "core/protocol/DatagramCodec.h"
#include "core/protocol/Messages.h"

namespace {

using namespace parvolink;
using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t stopping = 0;

// What --card sets for one card: "ADDRESS:SETTING,SETTING...".
struct CardSettings {
    Ipv4Address address{};
    std::vector<std::string> settings;
};

struct Options {
    std::vector<Ipv4Address> addresses;
    std::vector<CardSettings> cardSettings;
    std::vector<std::string> everyCard;  // settings of every card, before each card's own
    std::string logPath;
    bool userLimitation = true;
    std::string firmwareName;  // fetched by TFTP after an "OK" to Upgrade; empty: no fetch
    int stallAfter = 0;
    std::uint16_t port = wire::kManagementPort;
    std::string agentsDirectory;  // empty: the cards run no SNMP agent
    std::string snmpd = "/usr/sbin/snmpd";
    std::uint16_t snmpPort = 161;
};

struct Outgoing {
    Clock::time_point due;
    in_addr from;
    sockaddr_in to;
    std::string wire;
};

void Usage() {
    std::cerr << "usage: parvolink-cardsim [--address A]... [--silent] [--not-ok] [--error1]\n"
                 "                         [--malformed] [--ignore-writes] [--unicast-only]\n"
                 "                         [--late-ms N] [--firmware-name NAME]\n"
                 "                         [--stall-after N]\n"
                 "                         [--log FILE]\n"
                 "                         [--no-user-limitation] [--port P]\n"
                 "                         [--snmp-agents DIR [--snmpd PATH] [--snmp-port P]]\n"
                 "                         [--card ADDRESS:SETTING[,SETTING]...]...\n"
                 "Without --address, every non-loopback IPv4 address here is a card.\n"
                 "Cards accept account \"admin\", password \"lanterns\".\n"
                 "Each card setting below is also an option for every card (--NAME or --NAME N);\n"
                 "--card gives one card its own:\n"
                 "  silent, not-ok, error1, malformed, ignore-writes, unicast-only,\n"
                 "  late-ms=N, password=P, version=V, model=M, flash=256|512,\n"
                 "  mac=MAC (its own MAC address instead of one made from its address),\n"
                 "  twin-mac=MAC (a second card at its address answers Discover),\n"
                 "  known-as=ADDRESS (also takes broadcast requests naming ADDRESS),\n"
                 "  restart-ms=N (silent for N ms after a whole fetch, as a card restarting),\n"
                 "  keeps-old-version (comes back from an upgrade with its old version),\n"
                 "  ack-delay-ms=N (each block of a fetch acknowledged N ms late)\n"
                 "With --snmp-agents, every card runs net-snmp's snmpd on its address (UDP 161),\n"
                 "its files in DIR/ADDRESS: the card's engine ID, its users with the keys it was\n"
                 "sent (the factory users' passphrase is \"lanterns\"), community \"public\" and\n"
                 "its UPS's readings. Card settings for the agent:\n"
                 "  no-agent, community=TEXT (empty: none), on-battery, low-battery,\n"
                 "  forgets-users (answers OK to a user written, and keeps the old one),\n"
                 "  users-late-ms=N (its agent takes users written N ms after the OK),\n"
                 "  charge=PERCENT, minutes=N, load=PERCENT, input-volts=N, output-volts=N,\n"
                 "  maker-hex=HEX (the UPS manufacturer's bytes, any bytes at all)\n"
                 "After a whole fetch a card takes the file's version field as its version.\n"
                 "Each card's clock runs from this machine's time (its time zone GMT); the date\n"
                 "and time a SetConfigure writes set it.\n"
                 "  --silent      answer nothing\n"
                 "  --not-ok      answer writes with a status other than \"OK\"\n"
                 "  --error1      answer every request but Discover with \"Error\" '1'\n"
                 "  --malformed   answer with datagrams the program must drop\n"
                 "  --ignore-writes  take SetConfigure and SetSNMPv3 in silence\n"
                 "  --unicast-only   answer a Discover only when sent to the card itself\n"
                 "  --firmware-name NAME  after an OK to Upgrade, fetch NAME by TFTP\n"
                 "  --stall-after N  stop acknowledging a fetch after N blocks\n"
                 "  --late-ms N   answer N milliseconds late\n"
                 "  --log FILE    append every request received to FILE\n";
}

Ipv4Address ToBytes(in_addr a) {
    Ipv4Address bytes;
    std::memcpy(bytes.data(), &a.s_addr, 4);
    return bytes;
}

in_addr ToInAddr(const Ipv4Address& bytes) {
    in_addr a;
    std::memcpy(&a.s_addr, bytes.data(), 4);
    return a;
}

std::vector<Ipv4Address> LocalAddresses() {
    std::vector<Ipv4Address> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return found;
    }
    for (ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr != nullptr && i->ifa_addr->sa_family == AF_INET) {
            const Ipv4Address a = ToBytes(reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr);
            if (a[0] != 127) {
                found.push_back(a);
            }
        }
    }
    freeifaddrs(list);
    return found;
}

using cardsim::Card;

int Number(const std::string& value) {
    return std::atoi(value.c_str());
}

// A setting of a card, given for one card with --card ADDRESS:NAME[=VALUE],... or for every
// card with --NAME [VALUE]. apply is false for a value the setting does not take.
struct CardSetting {
    const char* name;
    bool takesValue;
    bool (*apply)(Card& card, const std::string& value);
};

// clang-format off
const CardSetting kCardSettings[] = {
    {"silent", false, [](Card& c, const std::string&) { return c.faults.silent = true; }},
    {"not-ok", false, [](Card& c, const std::string&) { return c.faults.notOk = true; }},
    {"error1", false, [](Card& c, const std::string&) { return c.faults.error1 = true; }},
    {"malformed", false, [](Card& c, const std::string&) { return c.faults.malformed = true; }},
    {"ignore-writes", false, [](Card& c, const std::string&) { return c.faults.ignoreWrites = true; }},
    {"unicast-only", false, [](Card& c, const std::string&) { return c.faults.unicastOnly = true; }},
    {"forgets-users", false, [](Card& c, const std::string&) { return c.faults.forgetsUsers = true; }},
    {"keeps-old-version", false, [](Card& c, const std::string&) { return c.keepsOldVersion = true; }},
    {"no-agent", false, [](Card& c, const std::string&) { c.agent = false; return true; }},
    {"on-battery", false, [](Card& c, const std::string&) { return c.ups.onBattery = true; }},
    {"low-battery", false, [](Card& c, const std::string&) { return c.ups.lowBattery = true; }},
    {"late-ms", true, [](Card& c, const std::string& v) { c.lateMs = Number(v); return true; }},
    {"ack-delay-ms", true, [](Card& c, const std::string& v) { c.ackDelayMs = Number(v); return true; }},
    {"restart-ms", true, [](Card& c, const std::string& v) { c.restartMs = Number(v); return true; }},
    {"users-late-ms", true, [](Card& c, const std::string& v) { c.usersLateMs = Number(v); return true; }},
    {"password", true, [](Card& c, const std::string& v) { c.password = v; return true; }},
    {"version", true, [](Card& c, const std::string& v) { c.version = v; return true; }},
    {"model", true, [](Card& c, const std::string& v) { c.model = v; return true; }},
    {"mac", true, [](Card& c, const std::string& v) { c.macAddress = v; return true; }},
    {"twin-mac", true, [](Card& c, const std::string& v) { c.twinMac = v; return true; }},
    {"community", true, [](Card& c, const std::string& v) { c.community = v; return true; }},
    {"charge", true, [](Card& c, const std::string& v) { c.ups.charge = Number(v); return true; }},
    {"minutes", true, [](Card& c, const std::string& v) { c.ups.minutes = Number(v); return true; }},
    {"load", true, [](Card& c, const std::string& v) { c.ups.load = Number(v); return true; }},
    {"input-volts", true, [](Card& c, const std::string& v) { c.ups.inputVolts = Number(v); return true; }},
    {"output-volts", true, [](Card& c, const std::string& v) { c.ups.outputVolts = Number(v); return true; }},
    {"flash", true, [](Card& c, const std::string& v) {
         c.flashCode = v == "256" ? "1" : "0";
         return v == "256" || v == "512";
     }},
    {"maker-hex", true, [](Card& c, const std::string& v) {
         c.ups.makerHex = v;
         return !v.empty() && v.size() % 2 == 0 &&
                v.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
     }},
    {"known-as", true, [](Card& c, const std::string& v) {
         return ParseDottedAddress(v, c.knownAs.emplace());
     }},
};
// clang-format on

const CardSetting* FindSetting(std::string_view name) {
    for (const CardSetting& setting : kCardSettings) {
        if (name == setting.name) {
            return &setting;
        }
    }
    return nullptr;
}

// One card's setting, NAME or NAME=VALUE; false for one not known or a value it does not take.
bool Apply(Card& card, const std::string& setting) {
    const std::size_t equals = setting.find('=');
    const CardSetting* known = FindSetting(setting.substr(0, equals));
    return known != nullptr &&
           known->apply(card, equals == std::string::npos ? "" : setting.substr(equals + 1));
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (arg == "--address") {
            Ipv4Address a{};
            if (!ParseDottedAddress(value(), a)) {
                return false;
            }
            options.addresses.push_back(a);
        } else if (arg == "--firmware-name") {
            options.firmwareName = value();
        } else if (arg == "--stall-after") {
            options.stallAfter = std::atoi(value().c_str());
        } else if (arg == "--log") {
            options.logPath = value();
        } else if (arg == "--no-user-limitation") {
            options.userLimitation = false;
        } else if (arg == "--card") {
            const std::string text = value();
            const std::size_t colon = text.find(':');
            CardSettings card;
            if (colon == std::string::npos ||
                !ParseDottedAddress(text.substr(0, colon), card.address)) {
                return false;
            }
            std::istringstream rest(text.substr(colon + 1));
            for (std::string setting; std::getline(rest, setting, ',');) {
                card.settings.push_back(setting);
            }
            options.cardSettings.push_back(std::move(card));
        } else if (arg == "--snmp-agents") {
            options.agentsDirectory = value();
        } else if (arg == "--snmpd") {
            options.snmpd = value();
        } else if (arg == "--snmp-port") {
            options.snmpPort = static_cast<std::uint16_t>(std::atoi(value().c_str()));
        } else if (arg == "--port") {
            options.port = static_cast<std::uint16_t>(std::atoi(value().c_str()));
        } else if (arg.rfind("--", 0) == 0 && FindSetting(arg.substr(2)) != nullptr) {
            // A card's own setting, given to every card.
            const CardSetting& every = *FindSetting(arg.substr(2));
            options.everyCard.push_back(every.takesValue ? every.name + ("=" + value())
                                                         : std::string(every.name));
        } else {
            return false;
        }
    }
    if (options.addresses.empty()) {
        options.addresses = LocalAddresses();
    }
    return !options.addresses.empty();
}

void SendFrom(int fd, const Outgoing& out) {
    char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    iovec iov{const_cast<char*>(out.wire.data()), out.wire.size()};
    msghdr msg{};
    sockaddr_in to = out.to;
    msg.msg_name = &to;
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* cmsg = CMSG_FIRSTHDR(&msg);
    cmsg->cmsg_level = IPPROTO_IP;
    cmsg->cmsg_type = IP_PKTINFO;
    cmsg->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst = out.from;  // answer from the card's own address
    std::memcpy(CMSG_DATA(cmsg), &info, sizeof info);
    sendmsg(fd, &msg, 0);
}

// The cards, their socket and what they have still to send, and the firmware fetches under
// way; run until SIGTERM or SIGINT.
class Simulator {
public:
    explicit Simulator(const Options& options) : options_(options) {}
    ~Simulator() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // False, said on standard error, for a card setting not known.
    bool MakeCards();
    // False, said on standard error, when port 3456 cannot be bound.
    bool OpenSocket();
    // Starts every card's SNMP agent, when asked for; false when one cannot start.
    bool StartAgents();
    void Run();

private:
    // Milliseconds until the next answer or acknowledgement is due; -1 for none.
    int NextTimeout() const;
    void SendDue();
    void ServeFetches(const std::vector<pollfd>& polled);
    // The card whose fetch ended: now it runs the file's version.
    void FetchEnded(int number, const cardsim::FirmwareFetch& fetch);
    void ReceiveRequest();
    void Answer(const std::string& line, const Ipv4Address& to, const sockaddr_in& from);
    // The card's users changed: its agent starts again with them, before the card answers.
    void RestartAgent(const cardsim::Card& card);

    const Options& options_;
    std::vector<cardsim::Card> cards_;
    std::ofstream log_;
    int fd_ = -1;
    std::deque<Outgoing> outgoing_;
    std::map<int, std::unique_ptr<cardsim::FirmwareFetch>> fetches_;  // by card number
    std::map<int, std::unique_ptr<cardsim::SnmpAgent>> agents_;       // by card number
    std::map<int, Clock::time_point> lateAgents_;  // agents to start again, and when
};

bool Simulator::StartAgents() {
    if (options_.agentsDirectory.empty()) {
        return true;
    }
    for (const cardsim::Card& card : cards_) {
        if (!card.agent) {
            continue;
        }
        auto agent = std::make_unique<cardsim::SnmpAgent>(
            options_.snmpd, options_.agentsDirectory + "/" + FormatDottedAddress(card.address),
            options_.snmpPort);
        if (!agent->Start(card)) {
            return false;
        }
        agents_[card.number] = std::move(agent);
    }
    for (auto& [number, agent] : agents_) {
        agent->WaitUntilServing(cards_[static_cast<std::size_t>(number)]);
    }
    return true;
}

void Simulator::RestartAgent(const cardsim::Card& card) {
    const auto agent = agents_.find(card.number);
    if (agent != agents_.end()) {
        agent->second->Stop();
        agent->second->Start(card);
        agent->second->WaitUntilServing(card);
    }
}

bool Simulator::MakeCards() {
    for (std::size_t i = 0; i < options_.addresses.size(); ++i) {
        cards_.push_back(
            cardsim::MakeCard(options_.addresses[i], static_cast<int>(i), options_.userLimitation));
        cards_.back().clockAhead = 0;  // its clock runs, in UTC until it is set
        for (const std::string& setting : options_.everyCard) {
            if (!Apply(cards_.back(), setting)) {
                std::cerr << "parvolink-cardsim: bad setting \"" << setting << "\"\n";
                return false;
            }
        }
    }
    for (const CardSettings& own : options_.cardSettings) {
        for (cardsim::Card& card : cards_) {
            for (const std::string& setting : own.settings) {
                if (card.address == own.address && !Apply(card, setting)) {
                    std::cerr << "parvolink-cardsim: unknown card setting \"" << setting << "\"\n";
                    return false;
                }
            }
        }
    }
    if (!options_.logPath.empty()) {
        log_.open(options_.logPath, std::ios::app);
    }
    return true;
}

bool Simulator::OpenSocket() {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    const int buffer = 4 << 20;
    setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in bindAddress{};
    bindAddress.sin_family = AF_INET;
    bindAddress.sin_port = htons(options_.port);
    bindAddress.sin_addr.s_addr = htonl(INADDR_ANY);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&bindAddress), sizeof bindAddress) != 0) {
        std::perror("parvolink-cardsim: bind");
        return false;
    }
    std::cout << "parvolink-cardsim: " << cards_.size() << " cards on port " << options_.port
              << std::endl;
    return true;
}

void Simulator::Run() {
    while (!stopping) {
        std::vector<pollfd> polled = {{fd_, POLLIN, 0}};
        for (const auto& [number, fetch] : fetches_) {
            polled.push_back({fetch->fd(), POLLIN, 0});
        }
        const int ready = poll(polled.data(), polled.size(), NextTimeout());
        SendDue();
        for (auto late = lateAgents_.begin(); late != lateAgents_.end();) {
            if (late->second <= Clock::now()) {
                RestartAgent(cards_[static_cast<std::size_t>(late->first)]);
                late = lateAgents_.erase(late);
            } else {
                ++late;
            }
        }
        ServeFetches(polled);
        if (ready > 0 && (polled[0].revents & POLLIN)) {
            ReceiveRequest();
        }
    }
}

int Simulator::NextTimeout() const {
    std::optional<Clock::time_point> next;
    if (!outgoing_.empty()) {
        next = outgoing_.front().due;
    }
    for (const auto& [number, due] : lateAgents_) {
        if (!next || due < *next) {
            next = due;
        }
    }
    for (const auto& [number, fetch] : fetches_) {
        if (const auto due = fetch->AckDue(); due && (!next || *due < *next)) {
            next = due;
        }
    }
    if (!next) {
        return -1;
    }
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(*next - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(wait.count() + 1, 0));
}

void Simulator::SendDue() {
    while (!outgoing_.empty() && outgoing_.front().due <= Clock::now()) {
        SendFrom(fd_, outgoing_.front());
        outgoing_.pop_front();
    }
}

void Simulator::ServeFetches(const std::vector<pollfd>& polled) {
    for (auto it = fetches_.begin(); it != fetches_.end();) {
        const bool readable = std::any_of(polled.begin() + 1, polled.end(), [&](const pollfd& p) {
            return p.fd == it->second->fd() && (p.revents & POLLIN);
        });
        const bool ended = readable ? it->second->OnReadable() : it->second->SendDueAck();
        if (ended) {
            FetchEnded(it->first, *it->second);
            it = fetches_.erase(it);
        } else {
            ++it;
        }
    }
}

void Simulator::FetchEnded(int number, const cardsim::FirmwareFetch& fetch) {
    cardsim::Card& card = cards_[static_cast<std::size_t>(number)];
    std::string version = fetch.versionField();
    while (!version.empty() && version.back() == ' ') {
        version.pop_back();
    }
    if (!version.empty() && !card.keepsOldVersion) {
        card.version = version;  // the card now runs the new firmware
    }
    card.silentUntil = Clock::now() + std::chrono::milliseconds(card.restartMs);
    if (log_.is_open()) {
        log_ << FormatDottedAddress(card.address) << " fetched " << fetch.bytes() << " bytes"
             << std::endl;
    }
}

void Simulator::ReceiveRequest() {
    char data[2048];
    char control[CMSG_SPACE(sizeof(in_pktinfo))];
    sockaddr_in from{};
    iovec iov{data, sizeof data};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(fd_, &msg, 0);
    if (n < 0) {
        return;
    }
    in_addr destination{};
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            destination = info.ipi_addr;
        }
    }
    std::string line =
        DatagramCodec::DecodeText(std::string_view(data, static_cast<std::size_t>(n)));
    // The zero bytes that filled the last group are not part of the request.
    while (!line.empty() && line.back() == '\0') {
        line.pop_back();
    }
    Answer(line, ToBytes(destination), from);
}

void Simulator::Answer(const std::string& line, const Ipv4Address& to, const sockaddr_in& from) {
    bool direct = false;
    for (const cardsim::Card& card : cards_) {
        direct = direct || card.address == to;
    }
    for (cardsim::Card& card : cards_) {
        if ((direct && card.address != to) || Clock::now() < card.silentUntil) {
            continue;  // not asked, or restarting
        }
        if (log_.is_open()) {
            log_ << FormatDottedAddress(card.address) << (direct ? " direct " : " broadcast ")
                 << cardsim::LogEscape(line) << std::endl;
        }
        const cardsim::Answered answered = cardsim::Answer(card, line, !direct, card.faults);
        if (answered.usersChanged) {
            if (card.usersLateMs > 0) {
                lateAgents_[card.number] =
                    Clock::now() + std::chrono::milliseconds(card.usersLateMs);
            } else {
                RestartAgent(card);
            }
        }
        for (const std::string& reply : answered.replies) {
            Outgoing out{Clock::now() + std::chrono::milliseconds(card.lateMs),
                         ToInAddr(card.address), from, DatagramCodec::EncodeText(reply)};
            // Cards answer with delays of their own: the queue stays in order of due time.
            const auto at = std::upper_bound(
                outgoing_.begin(), outgoing_.end(), out.due,
                [](Clock::time_point due, const Outgoing& o) { return due < o.due; });
            outgoing_.insert(at, std::move(out));
        }
        if (answered.fetchesFirmware && !options_.firmwareName.empty()) {
            fetches_[card.number] = std::make_unique<cardsim::FirmwareFetch>(
                ToInAddr(card.address), from.sin_addr, options_.firmwareName, options_.stallAfter,
                card.ackDelayMs);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (argc == 2 && std::string(argv[1]) == "--help") {
        Usage();
        return 0;
    }
    if (!ParseOptions(argc, argv, options)) {
        Usage();
        return 2;
    }
    Simulator simulator(options);
    if (!simulator.MakeCards()) {
        return 2;
    }
    if (!simulator.StartAgents() || !simulator.OpenSocket()) {
        return 1;
    }
    std::signal(SIGTERM, [](int) { stopping = 1; });
    std::signal(SIGINT, [](int) { stopping = 1; });
    simulator.Run();
    return 0;
}
