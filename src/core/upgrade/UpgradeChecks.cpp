// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/upgrade/UpgradeChecks.h"

#include "base/DottedAddress.h"
#include "core/upgrade/FirmwareFile.h"

namespace parvolink {

std::optional<Message> CheckUpgradeNow(std::string_view filePath, const DeviceEntry* selected) {
    if (filePath.empty()) {
        return upgrade::kNoFile;
    }
    if (TooLargeToServe(std::filesystem::path(filePath))) {
        return upgrade::kFileTooLarge;
    }
    if (selected == nullptr) {
        return upgrade::kNoDevice;
    }
    if (!checkFlashSize(std::filesystem::path(filePath), selected->flashSize)) {
        return upgrade::kFlashMismatch;
    }
    if (Ipv4Address card{}; !ParseDottedAddress(selected->ipAddress, card)) {
        return upgrade::kNotAnAddress;
    }
    return std::nullopt;
}

bool RememberedFirmwareServable(const FirmwareSettings& remembered) {
    const std::filesystem::path path(remembered.firmwarePath);
    std::error_code ec;
    if (path.empty() || path.filename() != remembered.firmwareFileName ||
        !std::filesystem::is_regular_file(path, ec) || TooLargeToServe(path)) {
        return false;
    }
    const std::string description = describeFirmwareFile(path);
    return !description.empty() && description != firmware::kNotCorrect;
}

}  // namespace parvolink
