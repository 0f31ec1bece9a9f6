#pragma once
// Conversions of response bodies into code page 936 through the platform's
// code-page services. Both take a text (a byte block read up to its first
// zero byte) and are pure and re-entrant.

#include <string>
#include <string_view>

namespace quorvel {

// UTF-8 bytes to code page 936. Characters that code page 936 lacks become
// its default character; malformed UTF-8 becomes that character too.
std::string Utf8ToGbk(std::string_view text);

// Code page 950 (Big5) bytes to code page 936, traditional characters mapped
// to simplified ones (locale 2052). Characters that code page 936 lacks
// become "?" and the rest of the text is kept.
std::string Big5ToGbkSimplified(std::string_view text);

}  // namespace quorvel
