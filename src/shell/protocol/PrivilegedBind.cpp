// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/protocol/PrivilegedBind.h"

#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

namespace parvolink {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kHelperEnd = 3;  // where the helper finds its end of the socket pair
constexpr std::chrono::milliseconds kLingerAfterMessage{1000};

std::string HelperPath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path beside = self.parent_path() / kBindHelperName;
        if (std::filesystem::exists(beside, ec)) {
            return beside;
        }
    }
    return std::filesystem::exists(kInstalledBindHelper, ec) ? kInstalledBindHelper : "";
}

int RemainingMs(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool ListedInHelperGroup() {
    const passwd* user = ::getpwuid(::getuid());
    const group* members = ::getgrnam(kBindHelperGroup);
    if (user == nullptr || members == nullptr) {
        return false;
    }
    for (char* const* name = members->gr_mem; *name != nullptr; ++name) {
        if (std::strcmp(*name, user->pw_name) == 0) {
            return true;
        }
    }
    return false;
}

// The helper is there but this user may not run it: who may, and how to become one of them.
PortFailure MayNotRun(const std::string& path) {
    struct stat file {};
    const group* owner = ::stat(path.c_str(), &file) == 0 ? ::getgrgid(file.st_gid) : nullptr;
    const bool groupMayRun = owner != nullptr &&
                             std::strcmp(owner->gr_name, kBindHelperGroup) == 0 &&
                             (file.st_mode & S_IXGRP) != 0;
    if (!groupMayRun) {
        return {"only root may run the helper " + path + " (so its owner and mode say)",
                "run the command as root, or let the group parvolink run it: sudo "
                "dpkg-reconfigure parvolink"};
    }
    if (ListedInHelperGroup()) {
        return {"you were added to the group parvolink after this session began",
                "log in again (or start a shell with: newgrp parvolink)"};
    }
    return {"only the members of the group parvolink may run the helper " + path,
            "sudo adduser $USER parvolink, then log in again"};
}

PortFailure HelperCouldNotBind(const std::string& path, std::uint16_t port, int error) {
    if (error == EACCES || error == EPERM) {
        return {"the helper " + path + " lacks the capability cap_net_bind_service",
                path == kInstalledBindHelper
                    ? "sudo dpkg-reconfigure parvolink, and let the group parvolink upgrade cards"
                    : "sudo setcap cap_net_bind_service=+ep " + path};
    }
    if (error == EADDRINUSE) {
        return DirectBindFailure(port, error);
    }
    return {"the helper " + path + " could not bind it: " + std::strerror(error), ""};
}

// A UDP IPv4 socket bound to port: nothing else is taken from the helper.
bool IsUdpSocketOnPort(int descriptor, std::uint16_t port) {
    int domain = 0;
    int type = 0;
    int protocol = 0;
    socklen_t size = sizeof(int);
    sockaddr_in local{};
    socklen_t localSize = sizeof local;
    return ::getsockopt(descriptor, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0 &&
           domain == AF_INET && ::getsockopt(descriptor, SOL_SOCKET, SO_TYPE, &type, &size) == 0 &&
           type == SOCK_DGRAM &&
           ::getsockopt(descriptor, SOL_SOCKET, SO_PROTOCOL, &protocol, &size) == 0 &&
           protocol == IPPROTO_UDP &&
           ::getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &localSize) == 0 &&
           local.sin_family == AF_INET && ntohs(local.sin_port) == port;
}

struct HelperMessage {
    bool arrived = false;  // false: silence until the deadline, or the helper ended unheard
    bool ended = false;    // the helper closed its end without a message
    int code = 0;          // the helper's errno for its bind, 0 with a descriptor
    int descriptor = -1;   // the one descriptor sent; -1 when none, or more than one
    bool other = false;    // descriptors beyond one, or control data of another kind
};

// Room for more descriptors than the helper sends, so that extra ones arrive (and are closed)
// instead of being cut off unseen.
constexpr std::size_t kDescriptorRoom = 8;

HelperMessage Receive(int socket, Clock::time_point end) {
    HelperMessage got;
    pollfd ready{socket, POLLIN, 0};
    int polled = 0;
    while ((polled = ::poll(&ready, 1, RemainingMs(end))) < 0 && errno == EINTR) {
    }
    if (polled != 1) {
        return got;
    }
    unsigned char code = 0;
    iovec data{&code, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kDescriptorRoom)] = {};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (::recvmsg(socket, &message, MSG_CMSG_CLOEXEC | MSG_DONTWAIT) != 1) {
        got.ended = true;  // the helper died, or said nothing
        return got;
    }
    got.arrived = true;
    got.code = code;
    got.other = (message.msg_flags & (MSG_CTRUNC | MSG_TRUNC)) != 0;
    std::vector<int> received;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) {
            got.other = true;
            continue;
        }
        const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int descriptor = -1;
            std::memcpy(&descriptor, CMSG_DATA(header) + i * sizeof(int), sizeof descriptor);
            received.push_back(descriptor);
        }
    }
    if (received.size() == 1 && !got.other) {
        got.descriptor = received.front();
    } else {
        got.other = got.other || !received.empty();
        for (const int descriptor : received) {
            ::close(descriptor);
        }
    }
    return got;
}

// Waits for the helper to end until the deadline, then kills it: it is never waited for
// without a limit, whatever it does.
void Reap(pid_t child, Clock::time_point end) {
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (Clock::now() >= end) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

PortFailure DirectBindFailure(std::uint16_t port, int error) {
    const std::string name = "UDP port " + std::to_string(port);
    if (error == EADDRINUSE) {
        return {"another program holds " + name,
                "stop that program (a TFTP server, say; ss -ulpn 'sport = :" +
                    std::to_string(port) + "' names it)"};
    }
    return {name + " cannot be bound: " + std::strerror(error), ""};
}

HelperBinding BindThroughHelper(std::uint16_t port) {
    const std::string helper = HelperPath();
    if (helper.empty()) {
        return {-1,
                {std::string("the helper ") + kInstalledBindHelper + " is not installed",
                 "install the package parvolink, or run the command as root"}};
    }
    return BindThroughHelper(helper, port, kBindHelperDeadline);
}

HelperBinding BindThroughHelper(const std::string& path, std::uint16_t port,
                                std::chrono::milliseconds deadline) {
    const Clock::time_point end = Clock::now() + deadline;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        return {-1, {"no socket pair for the helper: " + std::string(std::strerror(errno)), ""}};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], kHelperEnd);  // dup2 clears close-on-exec
    const std::string portText = std::to_string(port);
    char* const arguments[] = {const_cast<char*>(kBindHelperName), const_cast<char*>("0.0.0.0"),
                               const_cast<char*>(portText.c_str()), nullptr};
    char* const environment[] = {nullptr};
    pid_t child = 0;
    const int spawned =
        ::posix_spawn(&child, path.c_str(), &actions, nullptr, arguments, environment);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (spawned != 0) {
        ::close(pair[0]);
        if (spawned == EACCES) {
            return {-1, MayNotRun(path)};
        }
        return {-1,
                {"the helper " + path + " could not be started: " + std::strerror(spawned),
                 "install the package parvolink again"}};
    }
    const HelperMessage message = Receive(pair[0], end);
    ::close(pair[0]);
    // Its message said all there is: a helper that lingers after it is not waited for long.
    Reap(child, message.arrived ? std::min(end, Clock::now() + kLingerAfterMessage) : end);
    const auto refuse = [&](PortFailure failure) {
        if (message.descriptor >= 0) {
            ::close(message.descriptor);
        }
        return HelperBinding{-1, std::move(failure)};
    };
    if (!message.arrived) {
        return refuse({"the helper " + path +
                           (message.ended ? " ended without an answer"
                                          : " gave no answer within " +
                                                std::to_string(deadline.count()) + " ms"),
                       "install the package parvolink again"});
    }
    if (message.descriptor < 0 && !message.other) {
        return refuse(HelperCouldNotBind(path, port, message.code != 0 ? message.code : EPROTO));
    }
    if (message.other || !IsUdpSocketOnPort(message.descriptor, port)) {
        return refuse({"the helper " + path +
                           " handed over something other than a UDP socket on "
                           "port " +
                           portText,
                       "install the package parvolink again"});
    }
    ::fcntl(message.descriptor, F_SETFL, ::fcntl(message.descriptor, F_GETFL) | O_NONBLOCK);
    return {message.descriptor, {}};
}

}  // namespace parvolink
