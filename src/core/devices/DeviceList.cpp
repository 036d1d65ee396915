// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/devices/DeviceList.h"

namespace parvolink {

const std::string& devices::ColumnText(const DeviceEntry& row, std::size_t column) {
    static const std::string kEmpty;
    switch (column) {
        case 0:
            return row.ipAddress;
        case 1:
            return row.hostName;
        case 2:
            return row.account;
        case 3:
            return row.passwordMask;
        case 4:
            return row.version;
        case 5:
            return row.model;
        case 6:
            return row.macAddress;
        case 7:
            return row.flashSize;
        default:
            return kEmpty;
    }
}

const DeviceEntry* DeviceList::selectedRow() const {
    return selected_ == kNone ? nullptr : &rows_[static_cast<std::size_t>(selected_)];
}

void DeviceList::Select(int index) {
    selected_ = index >= 0 && static_cast<std::size_t>(index) < rows_.size() ? index : kNone;
}

std::optional<std::size_t> DeviceList::Append(DeviceEntry entry) {
    if (full()) {
        return std::nullopt;
    }
    entry.account.resize(std::min(entry.account.size(), devices::kAccountLength));
    entry.password.resize(std::min(entry.password.size(), devices::kPasswordLength));
    rows_.push_back(std::move(entry));
    return rows_.size() - 1;
}

void DeviceList::SetAccount(std::size_t index, std::string_view account,
                            std::string_view password) {
    DeviceEntry& entry = rows_.at(index);
    entry.account = account.substr(0, devices::kAccountLength);
    entry.password = password.substr(0, devices::kPasswordLength);
    entry.passwordMask = devices::kPasswordSet;
}

void DeviceList::Remove(std::size_t index) {
    if (index >= rows_.size()) {
        return;
    }
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
    if (rows_.empty()) {
        selected_ = kNone;
    } else {
        selected_ = static_cast<int>(std::min(index, rows_.size() - 1));
    }
}

int DeviceList::FindRowByIp(std::string_view key) const {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].ipAddress == key) {
            return static_cast<int>(i);
        }
    }
    return kNone;
}

void DeviceList::Clear() {
    rows_.clear();
    selected_ = kNone;
}

}  // namespace parvolink
