// SPDX-License-Identifier: GPL-3.0-or-later
// parvolink-bind: the one program of Parvolink that may hold cap_net_bind_service. It binds UDP
// port 69 on the address it is given and hands the socket to its parent over the socket pair
// on descriptor 3 (SCM_RIGHTS), then exits. It reads no environment, no file and no
// configuration, loads no plugin, takes no path and binds no other port, so that the
// capability serves nothing but the TFTP server's port.
//
// Usage (by Parvolink's programs, never by hand): parvolink-bind ADDRESS 69
// Exit: 0 the socket was handed over; 1 the port could not be bound (its errno is sent as the
// message, without a descriptor); 2 anything else was asked.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr int kParent = 3;           // the socket pair's end, set up by the parent
constexpr const char* kPort = "69";  // the only port this program binds
constexpr int kRefused = 2;

int Say(const char* line) {
    const ssize_t written = ::write(STDERR_FILENO, line, std::strlen(line));
    static_cast<void>(written);
    return kRefused;
}

// Sends the errno value as the message, with the descriptor when there is one.
bool Hand(int descriptor, int error) {
    unsigned char code = static_cast<unsigned char>(error);
    iovec data{&code, 1};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (descriptor >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(header), &descriptor, sizeof(int));
    }
    return ::sendmsg(kParent, &message, MSG_NOSIGNAL) == 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return Say("parvolink-bind: usage: parvolink-bind ADDRESS 69\n");
    }
    if (std::strcmp(argv[2], kPort) != 0) {
        return Say("parvolink-bind: binds UDP port 69 and no other\n");
    }
    in_addr address{};
    if (::inet_pton(AF_INET, argv[1], &address) != 1) {
        return Say("parvolink-bind: ADDRESS is a dotted IPv4 address\n");
    }
    struct stat parent {};
    if (::fstat(kParent, &parent) != 0 || !S_ISSOCK(parent.st_mode)) {
        return Say("parvolink-bind: started by Parvolink only (no socket pair)\n");
    }
    // Whatever else was left open by the caller is not ours to keep.
    ::close_range(kParent + 1, ~0U, 0);

    const int descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0) {
        Hand(-1, errno);
        return 1;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = address;
    local.sin_port = htons(69);
    if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        Hand(-1, errno);
        return 1;
    }
    return Hand(descriptor, 0) ? 0 : 1;
}
