// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/snmp/EngineDiscovery.h"

#include <limits>

namespace parvolink::snmp {
namespace {

constexpr unsigned char kInteger = 0x02;
constexpr unsigned char kOctetString = 0x04;
constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kGetRequest = 0xA0;
constexpr unsigned char kReport = 0xA8;
constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
constexpr int kUserSecurityModel = 3;
constexpr unsigned char kReportable = 0x04;

std::string Length(std::size_t length) {
    if (length < 0x80) {
        return std::string(1, static_cast<char>(length));
    }
    std::string bytes;
    for (; length > 0; length >>= 8) {
        bytes.insert(bytes.begin(), static_cast<char>(length & 0xFF));
    }
    return static_cast<char>(0x80 | bytes.size()) + bytes;
}

std::string Tlv(unsigned char tag, const std::string& value) {
    return static_cast<char>(tag) + Length(value.size()) + value;
}

std::string Integer(std::int64_t value) {
    std::string bytes;
    do {
        bytes.insert(bytes.begin(), static_cast<char>(value & 0xFF));
        value >>= 8;
    } while (value != 0 && value != -1);
    // A positive number whose first byte has its high bit set needs a zero before it.
    if (value == 0 && (static_cast<unsigned char>(bytes.front()) & 0x80) != 0) {
        bytes.insert(bytes.begin(), '\0');
    }
    return Tlv(kInteger, bytes);
}

// Reads BER from a span of bytes; every read checks its bounds and fails for good once one
// fails.
class Reader {
public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}

    // The value of the next element when it has tag; the reader moves past it.
    std::optional<std::string_view> Take(unsigned char tag) {
        if (rest_.size() < 2 || static_cast<unsigned char>(rest_[0]) != tag) {
            return Fail();
        }
        std::size_t length = static_cast<unsigned char>(rest_[1]);
        std::size_t header = 2;
        if (length >= 0x80) {
            const std::size_t count = length & 0x7F;
            // Indefinite lengths and lengths past 4 bytes have no place in a datagram.
            if (count == 0 || count > 4 || rest_.size() < 2 + count) {
                return Fail();
            }
            length = 0;
            for (std::size_t i = 0; i < count; ++i) {
                length = (length << 8) | static_cast<unsigned char>(rest_[2 + i]);
            }
            header += count;
        }
        if (rest_.size() - header < length) {
            return Fail();
        }
        const std::string_view value = rest_.substr(header, length);
        rest_.remove_prefix(header + length);
        return value;
    }
    // An INTEGER from 0 to kLargest.
    std::optional<std::int64_t> Number() {
        const auto value = Take(kInteger);
        if (!value || value->empty() || value->size() > 5 ||
            (static_cast<unsigned char>(value->front()) & 0x80) != 0) {
            return std::nullopt;
        }
        std::int64_t number = 0;
        for (const char byte : *value) {
            number = (number << 8) | static_cast<unsigned char>(byte);
        }
        return number <= kLargest ? std::optional(number) : std::nullopt;
    }
    bool empty() const { return rest_.empty(); }

private:
    std::optional<std::string_view> Fail() {
        rest_ = {};
        return std::nullopt;
    }
    std::string_view rest_;
};

}  // namespace

std::string DiscoveryProbe(std::int32_t messageId) {
    const std::string global = Tlv(kSequence, Integer(messageId) + Integer(65507) +
                                                  Tlv(kOctetString, std::string(1, kReportable)) +
                                                  Integer(kUserSecurityModel));
    const std::string security =
        Tlv(kSequence, Tlv(kOctetString, "") + Integer(0) + Integer(0) + Tlv(kOctetString, "") +
                           Tlv(kOctetString, "") + Tlv(kOctetString, ""));
    const std::string pdu =
        Tlv(kGetRequest, Integer(messageId) + Integer(0) + Integer(0) + Tlv(kSequence, ""));
    const std::string scoped = Tlv(kSequence, Tlv(kOctetString, "") + Tlv(kOctetString, "") + pdu);
    return Tlv(kSequence, Integer(3) + global + Tlv(kOctetString, security) + scoped);
}

std::optional<DiscoveredEngine> ParseDiscoveryReport(std::string_view datagram) {
    Reader outer(datagram);
    const auto message = outer.Take(kSequence);
    if (!message || !outer.empty()) {
        return std::nullopt;
    }
    Reader fields(*message);
    const auto version = fields.Number();
    const auto global = fields.Take(kSequence);
    const auto security = fields.Take(kOctetString);
    const auto scoped = fields.Take(kSequence);
    if (version != 3 || !global || !security || !scoped) {
        return std::nullopt;
    }
    Reader header(*global);
    const auto messageId = header.Number();
    const auto maxSize = header.Number();
    const auto flags = header.Take(kOctetString);
    const auto model = header.Number();
    // A report is neither authenticated nor encrypted: its PDU can be read.
    if (!messageId || !maxSize || !flags || flags->size() != 1 || (flags->front() & 0x03) != 0 ||
        model != kUserSecurityModel) {
        return std::nullopt;
    }
    Reader usm(*security);
    const auto parameters = usm.Take(kSequence);
    if (!parameters || !usm.empty()) {
        return std::nullopt;
    }
    Reader engine(*parameters);
    const auto engineId = engine.Take(kOctetString);
    const auto boots = engine.Number();
    const auto time = engine.Number();
    if (!engineId || engineId->size() < 5 || engineId->size() > 32 || !boots || !time) {
        return std::nullopt;
    }
    Reader pdu(*scoped);
    if (!pdu.Take(kOctetString) || !pdu.Take(kOctetString) || !pdu.Take(kReport)) {
        return std::nullopt;
    }
    return DiscoveredEngine{static_cast<std::int32_t>(*messageId), std::string(*engineId),
                            static_cast<std::uint32_t>(*boots), static_cast<std::uint32_t>(*time)};
}

}  // namespace parvolink::snmp
