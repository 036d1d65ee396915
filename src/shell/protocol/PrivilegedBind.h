// SPDX-License-Identifier: GPL-3.0-or-later
// UDP port 69 for a process without privilege: the small helper parvolink-bind, which alone may
// carry cap_net_bind_service, binds it and hands the socket over. The window and the command
// line carry no capability themselves, so nothing they load (Qt plugins among it) ever does.
#pragma once

#include <cstdint>
#include <string>

namespace parvolink {

// Where the helper is looked for: beside the running program (a build tree), then where the
// package installs it.
inline constexpr const char* kBindHelperName = "parvolink-bind";
inline constexpr const char* kInstalledBindHelper = "/usr/libexec/parvolink/parvolink-bind";

struct HelperBinding {
    int descriptor = -1;  // the bound socket, non-blocking and close-on-exec; -1 on failure
    std::string failure;  // why not, for the user
};

// Runs the helper for port on every local IPv4 address, with an empty environment.
HelperBinding BindThroughHelper(std::uint16_t port);

}  // namespace parvolink
