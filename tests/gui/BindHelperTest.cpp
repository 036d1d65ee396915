// SPDX-License-Identifier: GPL-3.0-or-later
// The caller of the port-69 helper against helpers that misbehave: it takes only a UDP socket
// bound to the port, names the true reason of each refusal, and never waits past its deadline
// for a helper that does not end.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>

#include "shell/protocol/PrivilegedBind.h"
#include "support/TempDir.h"

namespace parvolink {
namespace {

using std::chrono::milliseconds;

// A helper in Python: it finds its end of the socket pair on descriptor 3, as the real one,
// records its process id beside itself, then does what body says.
std::filesystem::path FakeHelper(const testing::TempDir& dir, const std::string& body) {
    const std::string script =
        "#!/usr/bin/python3\n"
        "import os, socket, sys, time\n"
        "open(os.path.join(os.path.dirname(__file__), 'pid'), 'w').write(str(os.getpid()))\n"
        "parent = socket.socket(fileno=3)\n"
        "def hand(fds, code=0):\n"
        "    socket.send_fds(parent, [bytes([code])], fds)\n"
        "def udp(port):\n"
        "    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
        "    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)\n"
        "    s.bind(('0.0.0.0', port))\n"
        "    return s\n" +
        body + "\n";
    const std::filesystem::path path = dir.Write("parvolink-bind", script);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

bool HelperGone(const testing::TempDir& dir) {
    const std::string pid = dir.Read("pid");
    return !pid.empty() && ::kill(std::stoi(pid), 0) != 0 && errno == ESRCH;
}

TEST(BindHelper, TakesNothingButAUdpSocketOnThePort) {
    const struct {
        const char* name;
        const char* body;
    } cases[] = {
        {"a file", "hand([os.open('/dev/null', os.O_RDONLY)])"},
        {"a TCP listener",
         "s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)\n"
         "s.bind(('127.0.0.1', 0))\ns.listen()\nhand([s.fileno()])"},
        {"a UDP socket on another port", "s = udp(0)\nhand([s.fileno()])"},
        {"two sockets", "a = udp(0)\nb = udp(0)\nhand([a.fileno(), b.fileno()])"},
        {"an IPv6 UDP socket",
         "s = socket.socket(socket.AF_INET6, socket.SOCK_DGRAM)\ns.bind(('::1', 0))\n"
         "hand([s.fileno()])"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDir dir;
        const HelperBinding bound =
            BindThroughHelper(FakeHelper(dir, c.body), 69, kBindHelperDeadline);
        EXPECT_EQ(bound.descriptor, -1);
        EXPECT_NE(bound.failure.reason.find("something other than a UDP socket on port 69"),
                  std::string::npos)
            << bound.failure.reason;
        EXPECT_TRUE(HelperGone(dir));
    }
}

TEST(BindHelper, EachRefusalNamesItsReasonAndItsStep) {
    const struct {
        const char* name;
        const char* body;
        const char* reason;
        const char* remedy;
    } cases[] = {
        {"no capability", "hand([], 13)", "lacks the capability cap_net_bind_service",
         "sudo setcap cap_net_bind_service=+ep "},
        {"port taken", "hand([], 98)", "another program holds UDP port 69", "ss -ulpn"},
        {"ended unheard", "sys.exit(1)", "ended without an answer", "install"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDir dir;
        const HelperBinding bound =
            BindThroughHelper(FakeHelper(dir, c.body), 69, kBindHelperDeadline);
        EXPECT_EQ(bound.descriptor, -1);
        EXPECT_NE(bound.failure.reason.find(c.reason), std::string::npos) << bound.failure.reason;
        EXPECT_NE(bound.failure.remedy.find(c.remedy), std::string::npos) << bound.failure.remedy;
    }

    // A helper that may not be run (no execute bit), and one that is not there.
    testing::TempDir dir;
    const std::filesystem::path plain = dir.Write("parvolink-bind", "#!/bin/sh\n");
    const HelperBinding notRun = BindThroughHelper(plain, 69, kBindHelperDeadline);
    EXPECT_NE(notRun.failure.reason.find("may run the helper " + plain.string()), std::string::npos)
        << notRun.failure.reason;
    const HelperBinding missing =
        BindThroughHelper((dir.path() / "none").string(), 69, kBindHelperDeadline);
    EXPECT_NE(missing.failure.reason.find("could not be started"), std::string::npos);
}

// However it stops (silent, or its socket handed over and then lingering), the helper is
// killed and reaped, and the call returns.
TEST(BindHelper, AHelperThatDoesNotEndIsKilled) {
    testing::TempDir silent;
    const HelperBinding unheard =
        BindThroughHelper(FakeHelper(silent, "time.sleep(3600)"), 69, milliseconds(300));
    EXPECT_EQ(unheard.descriptor, -1);
    EXPECT_NE(unheard.failure.reason.find("gave no answer within 300 ms"), std::string::npos)
        << unheard.failure.reason;
    EXPECT_TRUE(HelperGone(silent));

    testing::TempDir lingering;
    const HelperBinding bound = BindThroughHelper(
        FakeHelper(lingering, "s = udp(69)\nhand([s.fileno()])\ntime.sleep(3600)"), 69,
        kBindHelperDeadline);
    if (bound.descriptor < 0 && geteuid() != 0) {
        GTEST_SKIP() << "port 69 needs root: " << bound.failure.reason;
    }
    ASSERT_GE(bound.descriptor, 0) << bound.failure.reason;
    sockaddr_in local{};
    socklen_t size = sizeof local;
    ASSERT_EQ(::getsockname(bound.descriptor, reinterpret_cast<sockaddr*>(&local), &size), 0);
    EXPECT_EQ(ntohs(local.sin_port), 69);
    ::close(bound.descriptor);
    EXPECT_TRUE(HelperGone(lingering));
}

}  // namespace
}  // namespace parvolink
