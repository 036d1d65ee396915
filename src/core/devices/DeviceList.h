// SPDX-License-Identifier: GPL-3.0-or-later
// The cards the user works with: rows in insertion order, each eight column texts and a hidden
// password, at most 255 rows, one selected row at most. The selected row is the target of every
// request to a single card.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parvolink {

struct DeviceEntry {
    std::string ipAddress{};
    std::string hostName{};
    std::string account{};
    std::string passwordMask{};  // never the password: "********" or "????????"
    std::string version{};
    std::string model{};
    std::string macAddress{};
    std::string flashSize{};
    std::string password{};  // hidden, at most 8 characters
    // Set when another card, with this MAC address, answered for the same address in the same
    // Discover: two cards share the address. The row shows the one that answered last.
    std::string otherMacAddress{};
    // The Discover in which macAddress last answered (DeviceList::discover()).
    std::uint64_t answeredInDiscover = 0;
    bool operator==(const DeviceEntry&) const = default;
};

namespace devices {
constexpr std::size_t kCapacity = 255;
constexpr std::size_t kAccountLength = 8;
constexpr std::size_t kPasswordLength = 8;
constexpr std::string_view kPasswordSet = "********";
constexpr std::string_view kPasswordUnknown = "????????";

struct Column {
    std::string_view heading;
    int width;  // pixels
};
constexpr std::array<Column, 8> kColumns = {{{"IP Address", 110},
                                             {"Host Name", 100},
                                             {"Account", 80},
                                             {"Password", 80},
                                             {"Version", 60},
                                             {"Model/Product", 110},
                                             {"Mac Address", 130},
                                             {"Flash Size", 60}}};

// The text a row shows in a column (0 to 7); empty for any other column.
const std::string& ColumnText(const DeviceEntry& row, std::size_t column);
}  // namespace devices

class DeviceList {
public:
    static constexpr int kNone = -1;

    // The window's table holds kCapacity rows; a program that only lists cards may keep more.
    explicit DeviceList(std::size_t capacity = devices::kCapacity) : capacity_(capacity) {}

    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    bool full() const { return rows_.size() >= capacity_; }
    const DeviceEntry& row(std::size_t index) const { return rows_.at(index); }
    DeviceEntry& row(std::size_t index) { return rows_.at(index); }

    // Index of the selected row, or kNone.
    int selected() const { return selected_; }
    const DeviceEntry* selectedRow() const;
    // Selects a row; an index outside the list clears the selection.
    void Select(int index);

    // Appends a row at the end (account and password cut to 8 characters). Returns its index,
    // or nothing when the list is full.
    std::optional<std::size_t> Append(DeviceEntry entry);

    // Sets a row's account and password (each cut to 8 characters) and shows the password mask.
    void SetAccount(std::size_t index, std::string_view account, std::string_view password);

    // Removes a row; its password goes with it. When rows remain the row that moved into its
    // place is selected, or the new last row when it was the last.
    void Remove(std::size_t index);

    // Index of the first row whose whole address column equals key exactly; kNone when there
    // is none. The key is compared with the text as the row keeps it, whatever its length.
    int FindRowByIp(std::string_view key) const;

    void Clear();

    // A Discover begins: two MAC addresses answering for one address are flagged only when
    // both answered since.
    void BeginDiscover() { ++discover_; }
    std::uint64_t discover() const { return discover_; }

private:
    std::vector<DeviceEntry> rows_;
    std::size_t capacity_;
    std::uint64_t discover_ = 0;
    int selected_ = kNone;
};

}  // namespace parvolink
