// SPDX-License-Identifier: GPL-3.0-or-later
// Add, Modify and Remove on the device list, with their checks and messages. The account
// dialog and the message box are the host's; the host runs them modally.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "base/DottedAddress.h"
#include "base/Message.h"
#include "core/devices/DeviceList.h"

namespace parvolink {

// What the "IP & Account" dialog edits.
struct AccountValues {
    Ipv4Address ipAddress{};
    std::string account;
    std::string password;
};

class DeviceListHost {
public:
    virtual ~DeviceListHost() = default;
    // Runs the account dialog on values; true when it ended with OK (values then edited).
    virtual bool RunAccountDialog(AccountValues& values) = 0;
    virtual void ShowMessage(const Message& message) = 0;
};

namespace devices {
inline const Message kTooMany{"Too many Devices, you can't add any more.", "Warning",
                              MessageIcon::None};
inline const Message kDuplicate{"Found the same IP address in the Device List.", "Error",
                                MessageIcon::None};
inline const Message kFillInAddress{"Please fill in the IP Address field!", "Warning",
                                    MessageIcon::None};

// The account dialog's OK rule: every field filled in (no blank) and not 0.0.0.0.
bool AddressAcceptable(const std::array<std::optional<std::uint8_t>, 4>& fields);
// The account dialog lets the address be edited only when its first octet is 0: a row that
// already has an address keeps it.
constexpr bool AddressEditable(const Ipv4Address& address) {
    return address[0] == 0;
}
}  // namespace devices

void AddRow(DeviceList& list, DeviceListHost& host);
// Edits the row selected when the dialog opens, whatever is selected when it closes; nothing
// changes when that row has gone or moved. A row whose address could not be edited keeps its
// address text as it was (a discovered card's own form, which its next reply matches).
void ModifyRow(DeviceList& list, DeviceListHost& host);
void RemoveRow(DeviceList& list);

}  // namespace parvolink
