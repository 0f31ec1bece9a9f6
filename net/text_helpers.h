#pragma once
// Text and address helpers of the HTTP code. Texts are byte strings in code
// page 936: a byte below 0x80 is one character, a byte of 0x80 or above
// starts a two-byte character together with the byte after it. Positions
// are 1-based byte positions; a search that finds nothing gives -1.
// Everything here is pure and re-entrant.

#include <string>
#include <string_view>

namespace quorvel {

enum class Case { Exact, Ignore };

// Position of the first occurrence of `what` in `text` at or after `start`
// (below 1 counts as 1), stepping over two-byte characters whole so that a
// match never begins on the second byte of a pair. A lead byte at the very
// end of the text ends the search. Case::Ignore folds the single-byte
// letters A-Z onto a-z and nothing else. An empty `what` is found at the
// start position of any non-empty text and not at all in an empty one.
int FindText(std::string_view text, std::string_view what, int start = 1,
             Case mode = Case::Exact);
inline bool ContainsText(std::string_view text, std::string_view what,
                         Case mode = Case::Exact) {
    return FindText(text, what, 1, mode) >= 1;
}
// True when `text` begins with `prefix` (compared as FindText compares).
bool StartsWithText(std::string_view text, std::string_view prefix, Case mode);

// `text` with every occurrence of `what` removed (exact, left to right).
std::string RemoveAll(std::string_view text, std::string_view what);

// Single-byte letters A-Z turned into a-z; both bytes of every two-byte
// character stay as they are.
std::string LowerAscii(std::string_view text);

// `text` without half-width spaces and full-width spaces (the pair A1 A1)
// at either end.
std::string TrimSpaces(std::string_view text);

// A byte block read as text: everything before its first zero byte.
std::string_view AsText(std::string_view bytes);

// The address's scheme prefix, "http://" or "https://" in any letter case,
// or an empty view when it has neither.
std::string_view SchemePrefix(std::string_view address);
// True when the address begins with "https://" in any letter case.
bool IsSecureAddress(std::string_view address);

// Host name of an address, lower case: the text after the scheme prefix up
// to the first "/", without a ":port".
std::string UrlHost(std::string_view address);
// Path and query of an address, from the first "/" after the host to the
// end; "/" when there is none.
std::string UrlPath(std::string_view address);
// Port written in an address (its leading decimal digits after the host's
// ":"; none gives 0). Without a ":" it is 443 for an https address and 80
// for any other. Values beyond 65535 come back as they are written, up to
// a cap of 999999, so that callers can reject them.
int UrlPort(std::string_view address);

// The text between the first exact occurrence of `startMarker` in `source`
// and the first exact occurrence of `endMarker` after it; empty when either
// is missing.
std::string TextBetween(std::string_view source, std::string_view startMarker,
                        std::string_view endMarker);

}  // namespace quorvel
