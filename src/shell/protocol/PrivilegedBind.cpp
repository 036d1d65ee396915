// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/protocol/PrivilegedBind.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <system_error>

namespace parvolink {
namespace {

constexpr int kHelperEnd = 3;  // where the helper finds its end of the socket pair
constexpr int kHelperTimeoutMs = 5000;

std::string HelperPath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path beside = self.parent_path() / kBindHelperName;
        if (::access(beside.c_str(), X_OK) == 0) {
            return beside;
        }
    }
    return ::access(kInstalledBindHelper, X_OK) == 0 ? kInstalledBindHelper : "";
}

// The descriptor the helper sent, or -1 with its errno (or ours) in error.
int Receive(int socket, int& error) {
    pollfd ready{socket, POLLIN, 0};
    if (::poll(&ready, 1, kHelperTimeoutMs) != 1) {
        error = ETIMEDOUT;
        return -1;
    }
    unsigned char code = 0;
    iovec data{&code, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (::recvmsg(socket, &message, MSG_CMSG_CLOEXEC) != 1) {
        error = EPROTO;  // the helper refused what it was asked, or died
        return -1;
    }
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS) {
            int descriptor = -1;
            std::memcpy(&descriptor, CMSG_DATA(header), sizeof descriptor);
            return descriptor;
        }
    }
    error = code;
    return -1;
}

}  // namespace

HelperBinding BindThroughHelper(std::uint16_t port) {
    const std::string helper = HelperPath();
    if (helper.empty()) {
        return {-1, std::string("the helper ") + kInstalledBindHelper + " is not installed"};
    }
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        return {-1, "no socket pair for the helper"};
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
        ::posix_spawn(&child, helper.c_str(), &actions, nullptr, arguments, environment);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (spawned != 0) {
        ::close(pair[0]);
        return {-1, spawned == EACCES ? "you may not run the helper " + helper +
                                            " (its group, parvolink, may: adduser USER parvolink)"
                                      : "the helper " + helper + " could not be started"};
    }
    int error = 0;
    const int descriptor = Receive(pair[0], error);
    ::close(pair[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (descriptor < 0) {
        return {-1, error == EACCES || error == EPERM
                        ? "the helper " + helper + " may not bind it (it lacks the capability)"
                        : "the helper " + helper + " could not bind it: " + std::strerror(error)};
    }
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) | O_NONBLOCK);
    return {descriptor, ""};
}

}  // namespace parvolink
