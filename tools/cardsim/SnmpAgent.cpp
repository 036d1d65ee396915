// SPDX-License-Identifier: GPL-3.0-or-later
#include "SnmpAgent.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "AgentConfiguration.h"

namespace parvolink::cardsim {
namespace {

// True once something else holds the agent's port on the card's address.
bool PortTaken(const Ipv4Address& address, std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    std::memcpy(&at.sin_addr.s_addr, address.data(), 4);
    const bool taken =
        bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 && errno == EADDRINUSE;
    close(fd);
    return taken;
}

}  // namespace

SnmpAgent::SnmpAgent(std::string snmpd, std::string directory, std::uint16_t port)
    : snmpd_(std::move(snmpd)), directory_(std::move(directory)), port_(port) {}

SnmpAgent::~SnmpAgent() {
    Stop();
}

bool SnmpAgent::Start(const Card& card) {
    std::error_code error;
    std::filesystem::create_directories(directory_, error);
    const std::string configuration = directory_ + "/snmpd.conf";
    std::ofstream file(configuration);
    file << AgentConfiguration(card, port_, directory_);
    file.close();
    if (!file) {
        std::cerr << "parvolink-cardsim: cannot write " << configuration << "\n";
        return false;
    }
    const std::string log = directory_ + "/snmpd.log";
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // The agent goes with the simulator, however the simulator ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            _exit(1);
        }
        setenv("MIBS", "", 1);  // numbers only: no MIB files to read
        // Only what a card's agent answers with: the UPS objects (override), the system group,
        // the engine, its users and views, and the reports. No module that reads the host's
        // interfaces or /proc, which every agent would do for every address every few seconds.
        execl(snmpd_.c_str(), snmpd_.c_str(), "-f", "-C", "-I",
              "override,system_mib,snmp_mib,snmpEngine,snmpMPDStats,usmStats,usmUser,usmConf,"
              "vacm_vars,vacm_conf,vacm_context",
              "-c", configuration.c_str(), "-Lf", log.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid_ < 0) {
        std::perror("parvolink-cardsim: fork");
        return false;
    }
    return true;
}

void SnmpAgent::WaitUntilServing(const Card& card) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (pid_ > 0 && !PortTaken(card.address, port_) &&
           std::chrono::steady_clock::now() < until) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            std::cerr << "parvolink-cardsim: the SNMP agent of "
                      << FormatDottedAddress(card.address) << " ended; see " << directory_
                      << "/snmpd.log\n";
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void SnmpAgent::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

}  // namespace parvolink::cardsim
