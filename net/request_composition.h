#pragma once
// What the request worker hands to WinInet for one request record: the
// address, host, port and path, the user agent and proxy list, the request
// flags, the header text in its completed form and whether the body goes
// along. Plain logic, so that it is tested without a network.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/request_record.h"

namespace quorvel {

// WinInet request flags (checked against <wininet.h> where the worker is built).
constexpr std::uint32_t kFlagReload = 0x80000000u;
constexpr std::uint32_t kFlagNeedFile = 0x00000010u;
constexpr std::uint32_t kFlagNoCookies = 0x00080000u;
constexpr std::uint32_t kFlagNoAutoRedirect = 0x00200000u;
constexpr std::uint32_t kFlagSecure = 0x00800000u;
constexpr std::uint32_t kFlagIgnoreRedirectToHttps = 0x00004000u;

inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";
inline constexpr std::string_view kProxyListPrefix = "http=";
inline constexpr std::string_view kHttpVersion = "HTTP/1.1";
inline constexpr std::string_view kDefaultAcceptLine =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n";
inline constexpr std::string_view kNoRefererMarker = "RefererNo";
inline constexpr std::string_view kDefaultLanguageLine = "Accept-Language: zh-cn\r\n";
inline constexpr std::string_view kDefaultContentTypeLine =
    "Content-Type: application/x-www-form-urlencoded\r\n";

// A response body beyond this size is cut off and the exchange counts as
// failed: a preview picture is far smaller, and the program must not run
// out of memory on a server that never stops sending.
constexpr std::size_t kMaxResponseBody = 64u * 1024u * 1024u;
// The body is read in pieces of at most this many bytes.
constexpr std::size_t kReadPieceSize = 1024;

enum class SendMode {
    None,      // a verb other than GET or POST: nothing is sent
    Headers,   // the header text alone
    WithBody,  // the header text and the request body as optional data
};

struct RequestPlan {
    std::string address;  // with "http://" put in front when it has no scheme
    std::string verb;
    bool secure = false;
    std::string host;
    std::string path;
    int port = 0;
    bool portValid = true;  // false for a port beyond 65535
    std::string userAgent;
    bool useProxy = false;
    std::string proxyList;  // "http=" + proxy, for the http scheme only
    std::uint32_t flags = 0;
    std::string headers;  // the complete header text that is sent
    SendMode send = SendMode::None;
};

// "http://" in front of an address that begins with neither "http://" nor
// "https://" (in any letter case).
std::string NormalizeAddress(std::string_view address);

// The user agent for a header text: the trimmed text of its "User-Agent:"
// line when it has one (searched ignoring case, cut exactly), else the
// default agent.
std::string ChooseUserAgent(std::string_view headerText);

// Request flags for the given choices.
std::uint32_t RequestFlags(bool secure, bool cookiesGiven, bool followRedirects);

// The header text completed with the default Accept, Referer and
// Accept-Language lines (in that order), and for a POST with a body the
// content type, content length and cookie lines.
std::string CompleteHeaders(std::string_view headerText, std::string_view normalizedAddress,
                            std::string_view verb, std::string_view body,
                            std::string_view cookies);

// Everything the worker needs for a request record (slots as the caller
// wrote them).
RequestPlan PlanRequest(const RequestRecord& request);

struct CookieToStore {
    std::string url;   // "http://" + host
    std::string name;  // empty when the line has no "="
    std::string data;  // the value and every attribute after it
};

// The cookies that the raw response headers set: one for each line that
// begins with "Set-Cookie:" (ignoring case), split at its first "=".
std::vector<CookieToStore> CookiesToStore(std::string_view rawHeaders, std::string_view host);

}  // namespace quorvel
