// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/devices/DeviceListOperations.h"

#include <algorithm>

namespace parvolink {

bool devices::AddressAcceptable(const std::array<std::optional<std::uint8_t>, 4>& fields) {
    const bool allFilled = std::all_of(fields.begin(), fields.end(),
                                       [](const auto& field) { return field.has_value(); });
    const bool anyNonZero = std::any_of(fields.begin(), fields.end(),
                                        [](const auto& field) { return field.value_or(0) != 0; });
    return allFilled && anyNonZero;
}

void AddRow(DeviceList& list, DeviceListHost& host) {
    if (list.full()) {
        host.ShowMessage(devices::kTooMany);
        return;
    }
    AccountValues values;  // 0.0.0.0, so the dialog lets the address be typed
    if (!host.RunAccountDialog(values)) {
        return;
    }
    // The dialog's loop keeps receiving Discover replies: the list may have changed meanwhile.
    const std::string key = FormatPaddedAddress(values.ipAddress);
    if (list.FindRowByIp(key) != DeviceList::kNone) {
        host.ShowMessage(devices::kDuplicate);
        return;
    }
    DeviceEntry entry;
    entry.ipAddress = key;
    const auto index = list.Append(std::move(entry));
    if (!index) {
        host.ShowMessage(devices::kTooMany);
        return;
    }
    list.SetAccount(*index, values.account, values.password);
    list.Select(static_cast<int>(*index));
}

void ModifyRow(DeviceList& list, DeviceListHost& host) {
    const int edited = list.selected();
    const DeviceEntry* row = list.selectedRow();
    if (row == nullptr) {
        return;
    }
    const std::string rowAddress = row->ipAddress;
    AccountValues values{ParseRowAddress(rowAddress), row->account, row->password};
    const bool addressEditable = devices::AddressEditable(values.ipAddress);
    if (!host.RunAccountDialog(values)) {
        return;
    }
    // The dialog's loop keeps receiving Discover replies: they append rows and move the
    // selection, so the row is found again by its place and its address.
    const auto index = static_cast<std::size_t>(edited);
    if (index >= list.size() || list.row(index).ipAddress != rowAddress) {
        return;
    }
    const std::string key = addressEditable ? FormatPaddedAddress(values.ipAddress) : rowAddress;
    const int found = list.FindRowByIp(key);
    if (found != DeviceList::kNone && found != edited) {
        host.ShowMessage(devices::kDuplicate);
        return;
    }
    list.row(index).ipAddress = key;
    list.SetAccount(index, values.account, values.password);
}

void RemoveRow(DeviceList& list) {
    if (list.selected() != DeviceList::kNone) {
        list.Remove(static_cast<std::size_t>(list.selected()));
    }
}

}  // namespace parvolink
