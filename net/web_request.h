#pragma once
// The program's HTTP request routine: one exchange on a worker thread under
// a time limit, while the window keeps handling its events.

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// Returned instead of a body when the limit passes (code page 936):
// "超时返回，你可以把参数中的超时值设置长一些。"
inline constexpr std::string_view kTimeoutText =
    "\xB3\xAC\xCA\xB1\xB7\xB5\xBB\xD8\xA3\xAC\xC4\xE3\xBF\xC9\xD2\xD4\xB0\xD1\xB2\xCE\xCA\xFD"
    "\xD6\xD0\xB5\xC4\xB3\xAC\xCA\xB1\xD6\xB5\xC9\xE8\xD6\xC3\xB3\xA4\xD2\xBB\xD0\xA9\xA1\xA3";

constexpr int kDefaultTimeLimitSeconds = 60;

// How the body is converted for the result.
enum ResultDecoding : int {
    kDecodingNone = 0,        // the body's bytes unchanged (also any other value)
    kDecodingUtf8 = 1,        // body read as text, UTF-8 to code page 936
    kDecodingBig5 = 2,        // body read as text, Big5 to simplified code page 936
};

// Requests `address` ("http://" is put in front when it has no scheme) and
// returns the response body, converted as `decoding` says.
//
//   verb              1 sends a POST, anything else a GET
//   proxy             "host:port" of an HTTP proxy; empty for a direct connection
//   headerText        extra request header lines, each ended by "\r\n"
//   body, cookies     request body and cookie text, sent with a POST that has a body
//   timeLimitSeconds  how long to wait; 60 seconds when left out
//   responseHeaders   receives the raw response headers (untouched after a timeout)
//
// Runs on the window's thread: while it waits it dispatches the window's
// events, and their handlers may call it again. When the limit passes, or
// the program is asked to end, it returns kTimeoutText at once and lets the
// worker finish alone. A failed exchange gives an empty result, and the
// response headers then receive the cookie text. An address that is empty
// or only spaces gives an empty result without any request.
std::string WebRequest(std::string_view address, int verb = 0, std::string_view proxy = {},
                       std::string_view headerText = {}, std::string_view body = {},
                       std::string_view cookies = {},
                       std::optional<int> timeLimitSeconds = std::nullopt,
                       std::string* responseHeaders = nullptr, int decoding = 0);

}  // namespace quorvel
