// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/devices/DeviceListExport.h"

#include "base/CsvText.h"

namespace parvolink {

std::vector<std::string> ExportFields(const DeviceEntry& row) {
    return {row.ipAddress,  row.hostName,  row.version,        row.model,
            row.macAddress, row.flashSize, row.otherMacAddress};
}

std::string ExportDeviceListCsv(const DeviceList& list) {
    std::string csv = CsvLine({devices::kExportHeadings.begin(), devices::kExportHeadings.end()});
    for (std::size_t i = 0; i < list.size(); ++i) {
        std::vector<std::string> fields = ExportFields(list.row(i));
        for (std::string& field : fields) {
            field = SpreadsheetSafe(field);
        }
        csv += CsvLine(fields);
    }
    return csv;
}

}  // namespace parvolink
