// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "base/CsvText.h"
#include "core/devices/DeviceListExport.h"

namespace parvolink {
namespace {

TEST(CsvText, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(CsvLine({"a", "", "b c"}), "a,,b c\n");
    EXPECT_EQ(CsvLine({"GMT+01 Amsterdam,Berlin", "say \"hi\"", "two\nlines"}),
              "\"GMT+01 Amsterdam,Berlin\",\"say \"\"hi\"\"\",\"two\nlines\"\n");
}

TEST(DeviceListExport, CarriesNoAccountOrPasswordAndDisarmsFormulas) {
    DeviceList list;
    list.Append({.ipAddress = "198.51.100.2",
                 .hostName = "=HYPERLINK(\"x\")",
                 .version = "2.1",
                 .model = "NMC-3",
                 .macAddress = "00:C0:B7:00:00:02",
                 .flashSize = "256K",
                 .otherMacAddress = "00:C0:B7:00:00:99"});
    list.SetAccount(0, "operator", "secret");
    EXPECT_EQ(ExportDeviceListCsv(list),
              "IP Address,Host Name,Version,Model/Product,Mac Address,Flash Size,"
              "Duplicate Mac Address\n"
              "198.51.100.2,\"'=HYPERLINK(\"\"x\"\")\",2.1,NMC-3,00:C0:B7:00:00:02,256K,"
              "00:C0:B7:00:00:99\n");
}

}  // namespace
}  // namespace parvolink
