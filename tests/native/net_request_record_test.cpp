// The stream layout of a request record: seven slots, each a 32-bit
// little-endian count and its bytes, slot 1 first.

#include <gtest/gtest.h>

#include <string>

#include "net/request_record.h"

namespace quorvel {
namespace {

using namespace std::string_literals;

TEST(NetRequestRecord, LayoutIsSevenCountedSlots) {
    RequestRecord record;
    record.Slot(1) = "http://h/";
    record.Slot(2) = "GET";
    record.Slot(5) = "\0\x01"s;
    record.Slot(7) = std::string(kFollowRedirects);
    const std::string expected =
        "\x09\0\0\0http://h/"s
        "\x03\0\0\0GET"s
        "\0\0\0\0"s
        "\0\0\0\0"s
        "\x02\0\0\0\0\x01"s
        "\0\0\0\0"s
        "\x02\0\0\0\xD5\xE6"s;
    EXPECT_EQ(EncodeRecord(record), expected);

    RequestRecord decoded;
    std::size_t consumed = 0;
    ASSERT_TRUE(DecodeRecord(expected + "tail of an older, longer record", &decoded, &consumed));
    EXPECT_EQ(consumed, expected.size());
    EXPECT_EQ(decoded.slots, record.slots);
}

TEST(NetRequestRecord, CountsAreLittleEndian) {
    RequestRecord record;
    record.Slot(1) = std::string(0x010203, 'x');
    const std::string bytes = EncodeRecord(record);
    EXPECT_EQ(bytes.substr(0, 4), "\x03\x02\x01\x00"s);
    EXPECT_EQ(DecodeSlotLength(reinterpret_cast<const unsigned char*>("\xFF\xFF\xFF\x7F")),
              0x7FFFFFFFu);
}

TEST(NetRequestRecord, TruncatedOrOversizedInputFails) {
    RequestRecord record;
    record.Slot(3) = "proxy:8080";
    const std::string bytes = EncodeRecord(record);
    RequestRecord decoded;
    decoded.Slot(1) = "kept";
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        EXPECT_FALSE(DecodeRecord(bytes.substr(0, length), &decoded)) << length;
    }
    EXPECT_EQ(decoded.Slot(1), "kept");  // a failed read leaves the target alone
    // A count far beyond the bytes present fails without allocating it.
    EXPECT_FALSE(DecodeRecord("\xFF\xFF\xFF\xFF"s + std::string(40, '\0'), &decoded));
}

}  // namespace
}  // namespace quorvel
