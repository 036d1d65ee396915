// SPDX-License-Identifier: GPL-3.0-or-later
// The device list as others read it: a CSV file from the window, rows of a command-line
// listing. Accounts and passwords never leave.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/devices/DeviceList.h"

namespace parvolink {

namespace devices {
constexpr std::array<std::string_view, 7> kExportHeadings = {
    "IP Address",           "Host Name", "Version", "Model/Product", "Mac Address", "Flash Size",
    "Duplicate Mac Address"};
}  // namespace devices

// A row's texts under kExportHeadings.
std::vector<std::string> ExportFields(const DeviceEntry& row);

// The heading line, then one line per row in list order. Texts a spreadsheet would take as
// formulas are made plain (see SpreadsheetSafe).
std::string ExportDeviceListCsv(const DeviceList& list);

}  // namespace parvolink
