#include "upgrade/UpgradeChecks.h"

#include "upgrade/FirmwareFile.h"

namespace parvolink {

std::optional<Message> CheckUpgradeNow(std::string_view filePath, const DeviceEntry* selected) {
    if (filePath.empty()) {
        return upgrade::kNoFile;
    }
    if (selected == nullptr) {
        return upgrade::kNoDevice;
    }
    if (!checkFlashSize(std::filesystem::path(filePath), selected->flashSize)) {
        return upgrade::kFlashMismatch;
    }
    return std::nullopt;
}

}  // namespace parvolink
