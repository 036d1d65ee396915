// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the configuration and SNMPv3 record parsers with any payload, and what the dialogs
// make of a parsed record: the form, its checks, and the lines written back. Whatever the
// texts held, the line written back after the dialog's checks has as many fields as the one
// the record itself gives, and never fewer than an empty record's.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/config/DeviceConfiguration.h"
#include "core/config/UsmConfiguration.h"

namespace {

std::size_t Fields(const std::string& line) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), '\t'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace parvolink;
    static const std::size_t configureFields = Fields(SetConfigurePayload({}));
    static const std::size_t userFields = Fields(SetSnmpv3UserPayload({}));
    const std::string_view payload(reinterpret_cast<const char*>(data), size);

    DeviceConfiguration record;
    if (ParseConfigureReply(payload, record)) {
        const ConfigurationForm form = FormFromRecord(record);
        DeviceConfiguration checked = record;
        if (!CheckForm(form, checked)) {
            static_cast<void>(TakeOverForm(form, checked));  // a refusal is a result too
        }
        const std::size_t fields = Fields(SetConfigurePayload(record));
        if (fields < configureFields || Fields(SetConfigurePayload(checked)) != fields) {
            std::abort();
        }
    }
    UsmConfiguration usm;
    if (ParseSnmpv3Reply(payload, usm)) {
        for (int index = 0; index < usm::kUsers; ++index) {
            usm.submitIndex = index;
            if (Fields(SetSnmpv3UserPayload(usm)) < userFields) {
                std::abort();
            }
        }
        SetSnmpv3ContextPayload(usm);
    }
    return 0;
}
