// SPDX-License-Identifier: GPL-3.0-or-later
// UDP port 69 for a process without privilege: the small helper parvolink-bind, which alone may
// carry cap_net_bind_service, binds it and hands the socket over. The window and the command
// line carry no capability themselves, so nothing they load (Qt plugins among it) ever does.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace parvolink {

// Where the helper is looked for: beside the running program (a build tree), then where the
// package installs it.
inline constexpr const char* kBindHelperName = "parvolink-bind";
inline constexpr const char* kInstalledBindHelper = "/usr/libexec/parvolink/parvolink-bind";
inline constexpr const char* kBindHelperGroup = "parvolink";
// How long the helper may take from its start to its end, however it misbehaves.
inline constexpr std::chrono::milliseconds kBindHelperDeadline{5000};

// Why the port could not be had, and the step that gets it.
struct PortFailure {
    std::string reason;
    std::string remedy;
};

struct HelperBinding {
    int descriptor = -1;  // a UDP socket bound to the port, non-blocking, close-on-exec; or -1
    PortFailure failure;  // when descriptor is -1
};

// Runs the helper for port on every local IPv4 address, with an empty environment. Only a UDP
// IPv4 socket bound to port is taken; the helper is killed if it has not ended by the deadline.
HelperBinding BindThroughHelper(std::uint16_t port);
// The same with the helper at path (tests give one of their own).
HelperBinding BindThroughHelper(const std::string& path, std::uint16_t port,
                                std::chrono::milliseconds deadline);

// Port taken, or refused to a process that asked for it directly (errno of its bind).
PortFailure DirectBindFailure(std::uint16_t port, int error);

}  // namespace parvolink
