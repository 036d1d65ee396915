// SPDX-License-Identifier: GPL-3.0-or-later
// What the user is told when a socket of the program cannot be opened.
#pragma once

#include "base/Message.h"

namespace parvolink::mainwindow {
inline const Message kCannotOpenUdp{"Can't open UDP port, network fail!", "Error",
                                    MessageIcon::None};
inline const Message kCannotSetBroadcast{"Can't set the sockopt, network fail!", "Error",
                                         MessageIcon::None};
inline const Message kCannotOpenTftp{"Can't open TFTP port, network fail!", "Error",
                                     MessageIcon::None};
}  // namespace parvolink::mainwindow
