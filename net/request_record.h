#pragma once
// The record of one HTTP exchange, carried in a memory stream between the
// caller and the request worker: seven byte-block slots, numbered 1 to 7.
//
//   slot  request (written by the caller)      response (written by the worker)
//   1     address                              response body; empty on failure
//   2     verb, "GET" or "POST"                unchanged
//   3     proxy "host:port"; empty = direct    unchanged
//   4     extra header lines, each "\r\n"      unchanged
//   5     request body (POST only)             unchanged
//   6     cookie text (POST with a body)       raw response headers
//   7     redirect flag: "真" follows them     not part of the response
//
// In the stream the slots follow one another, slot 1 first, each as a
// 32-bit little-endian byte count and that many bytes. There is no header
// and no slot count.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

constexpr int kRecordSlots = 7;

// "真" in code page 936: the redirect flag that lets redirects be followed.
inline constexpr std::string_view kFollowRedirects = "\xD5\xE6";

struct RequestRecord {
    std::array<std::string, kRecordSlots> slots;

    // Slot 1..7.
    std::string& Slot(int number) { return slots.at(static_cast<std::size_t>(number - 1)); }
    const std::string& Slot(int number) const {
        return slots.at(static_cast<std::size_t>(number - 1));
    }
};

// The 4-byte little-endian count that precedes a slot's bytes.
std::array<char, 4> EncodeSlotLength(std::uint32_t length);
std::uint32_t DecodeSlotLength(const unsigned char* bytes);

// Number of bytes the record takes in the stream; false when a slot does
// not fit a 32-bit count.
bool EncodedRecordSize(const RequestRecord& record, std::size_t* size);

// The record's stream bytes; empty when a slot is too large to be encoded.
std::string EncodeRecord(const RequestRecord& record);

// Reads a record from the start of `bytes`. Bytes after the seventh slot
// are ignored; a count that runs past the end makes the whole read fail.
// On success `consumed`, when given, receives the record's length.
bool DecodeRecord(std::string_view bytes, RequestRecord* record,
                  std::size_t* consumed = nullptr);

}  // namespace quorvel
