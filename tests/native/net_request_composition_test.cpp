// What the request worker hands to WinInet: flags, user agent, proxy list,
// port and path, and the completed header text, for the program's own
// request and for the edge cases of callers' header texts.

#include <gtest/gtest.h>

#include <string>

#include "net/request_composition.h"

namespace quorvel {
namespace {

using namespace std::string_literals;

RequestRecord Request(std::string address, std::string verb = "GET", std::string headers = {},
                      std::string body = {}, std::string cookies = {},
                      std::string redirect = std::string(kFollowRedirects)) {
    RequestRecord record;
    record.Slot(1) = std::move(address);
    record.Slot(2) = std::move(verb);
    record.Slot(4) = std::move(headers);
    record.Slot(5) = std::move(body);
    record.Slot(6) = std::move(cookies);
    record.Slot(7) = std::move(redirect);
    return record;
}

const std::string kAccept(kDefaultAcceptLine);
const std::string kLanguage(kDefaultLanguageLine);

TEST(NetRequestComposition, ProgramsOwnPreviewRequest) {
    const RequestPlan plan = PlanRequest(Request("http://previews.example/themes/a.jpg"));
    EXPECT_EQ(plan.address, "http://previews.example/themes/a.jpg");
    EXPECT_FALSE(plan.secure);
    EXPECT_EQ(plan.host, "previews.example");
    EXPECT_EQ(plan.path, "/themes/a.jpg");
    EXPECT_EQ(plan.port, 80);
    EXPECT_TRUE(plan.portValid);
    EXPECT_EQ(plan.userAgent, kDefaultUserAgent);
    EXPECT_FALSE(plan.useProxy);
    EXPECT_EQ(plan.flags, 0x80004010u);
    EXPECT_EQ(plan.headers,
              kAccept + "Referer: http://previews.example/themes/a.jpg\r\n" + kLanguage);
    EXPECT_EQ(plan.send, SendMode::Headers);
}

TEST(NetRequestComposition, AddressNormalisation) {
    EXPECT_EQ(NormalizeAddress("host/p"), "http://host/p");
    EXPECT_EQ(NormalizeAddress(" host/p"), "http:// host/p");
    EXPECT_EQ(NormalizeAddress("HTTP://host/p"), "HTTP://host/p");
    EXPECT_EQ(NormalizeAddress("https://host/p"), "https://host/p");
    EXPECT_EQ(NormalizeAddress("ftp://host/p"), "http://ftp://host/p");

    const RequestPlan plan = PlanRequest(Request("host:8081/p?q"));
    EXPECT_EQ(plan.port, 8081);
    EXPECT_EQ(plan.path, "/p?q");
    EXPECT_NE(plan.headers.find("Referer: http://host:8081/p?q\r\n"), std::string::npos);
}

TEST(NetRequestComposition, FlagsTable) {
    struct Case {
        bool secure, cookies, follow;
        std::uint32_t flags;
    } cases[] = {
        {false, false, true, 0x80004010u},
        {false, true, true, 0x80084010u},
        {false, false, false, 0x80204010u},
        {false, true, false, 0x80284010u},
        {true, true, false, 0x00800000u},  // secure replaces everything
        {true, false, true, 0x00800000u},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RequestFlags(c.secure, c.cookies, c.follow), c.flags)
            << c.secure << c.cookies << c.follow;
    }
    // Cookie text of spaces only counts as none; a redirect flag other than
    // the exact marker forbids redirects.
    EXPECT_EQ(PlanRequest(Request("http://h/", "GET", "", "", " \xA1\xA1 ")).flags, 0x80004010u);
    EXPECT_EQ(PlanRequest(Request("http://h/", "GET", "", "", "a=b")).flags, 0x80084010u);
    EXPECT_EQ(PlanRequest(Request("http://h/", "GET", "", "", "", "yes")).flags, 0x80204010u);
    EXPECT_EQ(PlanRequest(Request("http://h/", "GET", "", "", "", "")).flags, 0x80204010u);
}

TEST(NetRequestComposition, SecureOnlyByScheme) {
    const RequestPlan https = PlanRequest(Request("HTTPS://h:8443/x", "GET", "", "", "", "no"));
    EXPECT_TRUE(https.secure);
    EXPECT_EQ(https.port, 8443);
    EXPECT_EQ(https.flags, kFlagSecure);
    EXPECT_EQ(PlanRequest(Request("https://h/x")).port, 443);
    // "https://" inside the query of an http address does not make it secure.
    const RequestPlan http = PlanRequest(Request("http://h:81/?next=https://o/"));
    EXPECT_FALSE(http.secure);
    EXPECT_EQ(http.port, 81);
    EXPECT_FALSE(PlanRequest(Request("http://h:70000/")).portValid);
}

TEST(NetRequestComposition, HeaderCompletionTable) {
    const std::string referer = "Referer: http://h/\r\n";
    struct Case {
        const char* name;
        std::string given;
        std::string sent;
    } cases[] = {
        {"defaults in order", "", kAccept + referer + kLanguage},
        {"Accept found inside Accept-Language", "Accept-Language: en\r\n",
         "Accept-Language: en\r\n" + referer},
        {"own Accept kept", "accept: */*\r\n", "accept: */*\r\n" + referer + kLanguage},
        {"marker removed, CRLF stays", "RefererNo\r\n", "\r\n" + kAccept + kLanguage},
        {"marker removal is exact", "refererno\r\nRefererNo\r\n",
         "refererno\r\n\r\n" + kAccept + kLanguage},
        {"own Referer kept", "Referer: x\r\n", "Referer: x\r\n" + kAccept + kLanguage},
        {"no CRLF runs into the next line", "X-A: 1", "X-A: 1" + kAccept + referer + kLanguage},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PlanRequest(Request("http://h/", "GET", c.given)).headers, c.sent) << c.name;
    }
}

TEST(NetRequestComposition, PostBodyHeaders) {
    const std::string base = kAccept + "Referer: http://h/\r\n" + kLanguage;
    RequestPlan plan = PlanRequest(Request("http://h/", "POST", "", "a=1&b=2", "sid=9"));
    EXPECT_EQ(plan.send, SendMode::WithBody);
    EXPECT_EQ(plan.headers, base + std::string(kDefaultContentTypeLine) +
                                "Content-Length: 7\r\nCookie: sid=9\r\n\r\n");

    plan = PlanRequest(Request("http://h/", "POST", "content-type: text/plain\r\nCONTENT-LENGTH: 3\r\n",
                               "abc"));
    EXPECT_EQ(plan.headers, "content-type: text/plain\r\nCONTENT-LENGTH: 3\r\n" + base);

    // Spaces-only cookie text: no NO_COOKIES flag, but the Cookie line goes out.
    plan = PlanRequest(Request("http://h/", "POST", "", "x", "  "));
    EXPECT_EQ(plan.flags, 0x80004010u);
    EXPECT_NE(plan.headers.find("Cookie:   \r\n\r\n"), std::string::npos);

    // POST without a body: the headers of a GET; body with zero bytes counts.
    plan = PlanRequest(Request("http://h/", "POST", "", "", "sid=9"));
    EXPECT_EQ(plan.send, SendMode::Headers);
    EXPECT_EQ(plan.headers, base);
    plan = PlanRequest(Request("http://h/", "POST", "", "\0\0"s));
    EXPECT_NE(plan.headers.find("Content-Length: 2\r\n"), std::string::npos);

    // A GET never carries cookies or the body.
    plan = PlanRequest(Request("http://h/", "GET", "", "body", "sid=9"));
    EXPECT_EQ(plan.send, SendMode::Headers);
    EXPECT_EQ(plan.headers, base);
    EXPECT_EQ(PlanRequest(Request("http://h/", "get")).send, SendMode::None);
}

TEST(NetRequestComposition, UserAgentAndProxy) {
    EXPECT_EQ(ChooseUserAgent("User-Agent:  Probe/1 \xA1\xA1\r\nX: y\r\n"), "Probe/1");
    EXPECT_EQ(ChooseUserAgent("user-agent: Probe/1\r\n"), "");  // found, but not cut
    EXPECT_EQ(ChooseUserAgent("User-Agent: Probe/1"), "");
    EXPECT_EQ(ChooseUserAgent("X-User: a\r\n"), kDefaultUserAgent);

    const RequestPlan plan =
        PlanRequest(Request("http://h/", "GET", "User-Agent: Probe/1\r\n"));
    EXPECT_EQ(plan.userAgent, "Probe/1");
    EXPECT_EQ(plan.headers.rfind("User-Agent: Probe/1\r\n", 0), 0u);  // the line stays

    RequestRecord viaProxy = Request("http://h/");
    viaProxy.Slot(3) = "10.0.0.1:3128";
    const RequestPlan proxied = PlanRequest(viaProxy);
    EXPECT_TRUE(proxied.useProxy);
    EXPECT_EQ(proxied.proxyList, "http=10.0.0.1:3128");
}

TEST(NetRequestComposition, CookiesFromRawHeaders) {
    const std::string raw =
        "HTTP/1.1 200 OK\r\n"
        "Set-Cookie: a=b; path=/\r\n"
        "set-cookie:   c=d=e\r\n"
        "Set-Cookie: flag\n"
        "X-Set-Cookie: no=1\r\n"
        "Content-Type: text/plain\r\n\r\n";
    const auto cookies = CookiesToStore(raw, "127.0.0.1");
    ASSERT_EQ(cookies.size(), 3u);
    EXPECT_EQ(cookies[0].url, "http://127.0.0.1");
    EXPECT_EQ(cookies[0].name, "a");
    EXPECT_EQ(cookies[0].data, "b; path=/");
    EXPECT_EQ(cookies[1].name, "c");
    EXPECT_EQ(cookies[1].data, "d=e");
    EXPECT_EQ(cookies[2].name, "");
    EXPECT_EQ(cookies[2].data, "flag");
    EXPECT_TRUE(CookiesToStore("HTTP/1.1 200 OK\r\n\r\n", "h").empty());
}

}  // namespace
}  // namespace quorvel
