#include "devices/DeviceListOperations.h"

#include <algorithm>

namespace parvolink {

bool devices::AddressAcceptable(const std::array<std::optional<std::uint8_t>, 4>& fields) {
    const bool allFilled = std::all_of(fields.begin(), fields.end(),
                                       [](const auto& field) { return field.has_value(); });
    const bool anyNonZero = std::any_of(fields.begin(), fields.end(),
                                        [](const auto& field) { return field.value_or(0) != 0; });
    return allFilled && anyNonZero;
}

void OnAdd(DeviceList& list, DeviceListHost& host) {
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

void OnModify(DeviceList& list, DeviceListHost& host) {
    const DeviceEntry* row = list.selectedRow();
    if (row == nullptr) {
        return;
    }
    AccountValues values{ParseRowAddress(row->ipAddress), row->account, row->password};
    if (!host.RunAccountDialog(values)) {
        return;
    }
    const std::string key = FormatPaddedAddress(values.ipAddress);
    const int found = list.FindRowByIp(key);
    const int selected = list.selected();  // taken again: a reply may have moved it
    if (selected == DeviceList::kNone) {
        return;
    }
    if (found != DeviceList::kNone && found != selected) {
        host.ShowMessage(devices::kDuplicate);
        return;
    }
    // Found as the selected row, or found nowhere (the row held another form of its address,
    // or its address was changed): the selected row takes the edit.
    const auto index = static_cast<std::size_t>(selected);
    list.row(index).ipAddress = key;
    list.SetAccount(index, values.account, values.password);
}

void OnRemove(DeviceList& list) {
    if (list.selected() != DeviceList::kNone) {
        list.Remove(static_cast<std::size_t>(list.selected()));
    }
}

}  // namespace parvolink
