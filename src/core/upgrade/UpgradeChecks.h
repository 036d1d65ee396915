// SPDX-License-Identifier: GPL-3.0-or-later
// The checks of "Upgrade Now", in their order, before anything is sent to a card.
#pragma once

#include <optional>
#include <string_view>

#include "base/Message.h"
#include "core/devices/DeviceList.h"
#include "core/devices/SettingsFile.h"

namespace parvolink {

namespace upgrade {
inline const Message kNoFile{"Please select the file name before upgrading!", "Warning",
                             MessageIcon::None};
inline const Message kNoDevice{"Please select a device before upgrading!", "Warning",
                               MessageIcon::None};
inline const Message kFileTooLarge{
    "This file is too large to be sent by TFTP: 33553919 bytes at most.", "Warning",
    MessageIcon::None};
inline const Message kNotAnAddress{"The IP address of the selected device is not valid.", "Warning",
                                   MessageIcon::None};
inline const Message kFlashMismatch{
    "Flash size mismatch, please make sure the selected device and file are matched!", "Warning",
    MessageIcon::None};
}  // namespace upgrade

// A file must be named and small enough for TFTP, a card selected, the file must fit the
// card's flash, and the card's address must be a dotted quad (a request could go nowhere else).
[[nodiscard]] std::optional<Message> CheckUpgradeNow(std::string_view filePath,
                                                     const DeviceEntry* selected);

// A firmware file remembered by the settings file, which anyone who can write to its
// directory may have planted: it is served only when it is still a correct upgrade file that
// TFTP can serve, a regular file, under its own name. Anything else it could name (a password
// file, say) would be served to every host on the LAN from start-up.
[[nodiscard]] bool RememberedFirmwareServable(const FirmwareSettings& remembered);

}  // namespace parvolink
