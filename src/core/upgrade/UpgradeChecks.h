// The checks of "Upgrade Now", in their order, before anything is sent to a card.
#pragma once

#include <optional>
#include <string_view>

#include "base/Message.h"
#include "core/devices/DeviceList.h"

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

}  // namespace parvolink
