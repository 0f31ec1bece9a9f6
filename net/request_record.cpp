#include "net/request_record.h"

#include <limits>

namespace quorvel {

std::array<char, 4> EncodeSlotLength(std::uint32_t length) {
    return {static_cast<char>(length & 0xFF), static_cast<char>((length >> 8) & 0xFF),
            static_cast<char>((length >> 16) & 0xFF), static_cast<char>((length >> 24) & 0xFF)};
}

std::uint32_t DecodeSlotLength(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

bool EncodedRecordSize(const RequestRecord& record, std::size_t* size) {
    std::size_t total = 0;
    for (const std::string& slot : record.slots) {
        if (slot.size() > std::numeric_limits<std::uint32_t>::max()) {
            return false;
        }
        total += 4 + slot.size();
    }
    *size = total;
    return true;
}

std::string EncodeRecord(const RequestRecord& record) {
    std::size_t size = 0;
    if (!EncodedRecordSize(record, &size)) {
        return {};
    }
    std::string bytes;
    bytes.reserve(size);
    for (const std::string& slot : record.slots) {
        const auto count = EncodeSlotLength(static_cast<std::uint32_t>(slot.size()));
        bytes.append(count.data(), count.size());
        bytes.append(slot);
    }
    return bytes;
}

bool DecodeRecord(std::string_view bytes, RequestRecord* record, std::size_t* consumed) {
    RequestRecord result;
    std::size_t at = 0;
    for (std::string& slot : result.slots) {
        if (bytes.size() - at < 4) {
            return false;
        }
        const std::uint32_t length =
            DecodeSlotLength(reinterpret_cast<const unsigned char*>(bytes.data() + at));
        at += 4;
        if (bytes.size() - at < length) {
            return false;
        }
        slot.assign(bytes.data() + at, length);
        at += length;
    }
    *record = std::move(result);
    if (consumed) {
        *consumed = at;
    }
    return true;
}

}  // namespace quorvel
