// The timed web request against the loopback server: the exact request the
// program's own preview request sends, addresses, redirects, cookies, error
// pages, broken and oversized bodies, the time limit, nested requests and
// the window events dispatched while it waits.

#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "app/window_runtime.h"
#include "net/request_composition.h"
#include "net/web_request.h"
#include "net_test_support.h"

namespace quorvel {
namespace {

using testing::HiddenWindow;
using testing::NowMs;
using testing::Pattern;
using testing::ServerPort;
using testing::ServerUrl;

// Header lines of an echoed request, without the request line.
std::vector<std::string> HeaderLines(const std::string& echoed) {
    std::vector<std::string> lines;
    const std::size_t end = echoed.find("\r\n\r\n");
    std::size_t at = echoed.find("\r\n") + 2;
    while (at < end) {
        const std::size_t next = echoed.find("\r\n", at);
        lines.push_back(echoed.substr(at, next - at));
        at = next + 2;
    }
    return lines;
}

int IndexOfHeader(const std::vector<std::string>& lines, const std::string& name) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].compare(0, name.size() + 1, name + ":") == 0) return static_cast<int>(i);
    }
    return -1;
}

TEST(WebRequest, ProgramsOwnPreviewRequestIsSentExactly) {
    const std::string address = ServerUrl("/echo/themes/pic.jpg?v=2");
    std::string headers = "old";
    const std::string echoed = WebRequest(address, 0, {}, {}, {}, {}, std::nullopt, &headers);

    ASSERT_EQ(echoed.rfind("GET /echo/themes/pic.jpg?v=2 HTTP/1.1\r\n", 0), 0u) << echoed;
    const auto lines = HeaderLines(echoed);
    const std::string expected[] = {
        "User-Agent: " + std::string(kDefaultUserAgent),
        std::string(kDefaultAcceptLine.substr(0, kDefaultAcceptLine.size() - 2)),
        "Referer: " + address,
        "Accept-Language: zh-cn",
    };
    int previous = -1;
    for (const std::string& line : expected) {
        const std::string name = line.substr(0, line.find(':'));
        const int index = IndexOfHeader(lines, name);
        ASSERT_GE(index, 0) << name << " missing in\n" << echoed;
        EXPECT_EQ(lines[static_cast<std::size_t>(index)], line);
        EXPECT_GT(index, previous) << name << " out of order in\n" << echoed;
        previous = index;
    }
    EXPECT_EQ(lines[static_cast<std::size_t>(IndexOfHeader(lines, "Host"))],
              "Host: 127.0.0.1:" + std::to_string(ServerPort()));
    // The raw response headers: status line, header lines, empty line.
    EXPECT_EQ(headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << headers;
    EXPECT_NE(headers.find("Content-Length: " + std::to_string(echoed.size()) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(headers.substr(headers.size() - 4), "\r\n\r\n");
}

TEST(WebRequest, PortAndPathComeFromTheAddress) {
    const std::string port = std::to_string(ServerPort());
    // No scheme: requested as http, and the Referer carries the "http://".
    std::string echoed = WebRequest("127.0.0.1:" + port + "/echo/a%20b?x=1&y=/z");
    EXPECT_EQ(echoed.rfind("GET /echo/a%20b?x=1&y=/z HTTP/1.1\r\n", 0), 0u) << echoed;
    EXPECT_NE(echoed.find("Referer: http://127.0.0.1:" + port + "/echo/a%20b?x=1&y=/z\r\n"),
              std::string::npos);
    // An upper-case scheme is a scheme.
    echoed = WebRequest("HTTP://127.0.0.1:" + port + "/echo/upper");
    EXPECT_EQ(echoed.rfind("GET /echo/upper HTTP/1.1\r\n", 0), 0u) << echoed;
}

TEST(WebRequest, CallersHeadersAndPostBody) {
    const std::string echoed =
        WebRequest(ServerUrl("/echo/post"), 1, {}, "User-Agent: Probe/1\r\nRefererNo\r\n",
                   "a=1&b=2", "sid=9");
    EXPECT_EQ(echoed.rfind("POST /echo/post HTTP/1.1\r\n", 0), 0u) << echoed;
    const auto lines = HeaderLines(echoed);
    EXPECT_EQ(IndexOfHeader(lines, "Referer"), -1) << echoed;
    EXPECT_NE(IndexOfHeader(lines, "User-Agent"), -1);
    for (const char* line : {"User-Agent: Probe/1", "Content-Length: 7", "Cookie: sid=9",
                             "Content-Type: application/x-www-form-urlencoded"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n"
                                                                           << echoed;
    }
    EXPECT_EQ(echoed.substr(echoed.size() - 7), "a=1&b=2");
}

TEST(WebRequest, RedirectsAreFollowed) {
    std::string headers;
    const std::string echoed = WebRequest(ServerUrl("/redirect?to=/echo/after%3Ffrom=302"), 0,
                                          {}, {}, {}, {}, 10, &headers);
    EXPECT_EQ(echoed.rfind("GET /echo/after?from=302 HTTP/1.1\r\n", 0), 0u) << echoed;
    EXPECT_EQ(headers.rfind("HTTP/1.1 200", 0), 0u) << headers;
}

std::string StoredCookie(const char* name) {
    char buffer[4096];
    DWORD size = sizeof buffer;
    if (!InternetGetCookieA("http://127.0.0.1/", name, buffer, &size)) return {};
    return std::string(buffer, size);
}

TEST(WebRequest, CookiesFromResponsesAreStoredAndSentLater) {
    const std::string value = "v" + std::to_string(GetTickCount64());
    // With a cookie text WinInet's own cookie handling is off, so what is
    // stored here was stored by the worker from the raw headers.
    EXPECT_EQ(WebRequest(ServerUrl("/cookie?name=qv_probe&value=" + value +
                                   "&attributes=path%3D%2F"),
                         0, {}, {}, {}, "given=1"),
              "cookie set");
    EXPECT_NE(StoredCookie("qv_probe").find("qv_probe=" + value), std::string::npos)
        << StoredCookie("qv_probe");
    const std::string echoed = WebRequest(ServerUrl("/echo/with-cookie"));
    EXPECT_NE(echoed.find("qv_probe=" + value), std::string::npos) << echoed;
}

TEST(WebRequest, ErrorPagesBrokenBodiesAndLongHeaders) {
    std::string headers;
    EXPECT_EQ(WebRequest(ServerUrl("/error?status=404"), 0, {}, {}, {}, {}, 10, &headers),
              "<html><body>error page 404</body></html>");
    EXPECT_EQ(headers.rfind("HTTP/1.1 404", 0), 0u) << headers;

    // The connection breaks after 300 of 1000 bytes: what came is kept.
    EXPECT_EQ(WebRequest(ServerUrl("/close-mid?n=1000&sent=300"), 0, {}, {}, {}, {}, 10),
              Pattern(300));
    EXPECT_EQ(WebRequest(ServerUrl("/drip?n=12&ms=20"), 0, {}, {}, {}, {}, 10), Pattern(12));
    EXPECT_EQ(WebRequest(ServerUrl("/bytes?n=102400"), 0, {}, {}, {}, {}, 10), Pattern(102400));

    // Response headers of any length come whole.
    EXPECT_EQ(WebRequest(ServerUrl("/long-headers?n=20000"), 0, {}, {}, {}, {}, 10, &headers),
              "long headers");
    EXPECT_GT(headers.size(), 20000u);
    EXPECT_NE(headers.find("X-Long-0000: 0000-"), std::string::npos);
    EXPECT_NE(headers.find("\r\nX-Last: end\r\n"), std::string::npos);
    EXPECT_EQ(headers.find(std::string(64, ' ')), std::string::npos);
}

TEST(WebRequest, BodyBeyondTheCapIsDropped) {
    std::string headers = "before";
    EXPECT_EQ(WebRequest(ServerUrl("/stream?n=" + std::to_string(kMaxResponseBody + 1)), 0, {},
                         {}, {}, {}, 60, &headers),
              "");
    EXPECT_EQ(headers.rfind("HTTP/1.1 200", 0), 0u);
}

TEST(WebRequest, FailuresGiveEmptyResults) {
    std::string headers = "untouched";
    EXPECT_EQ(WebRequest("  \xA1\xA1 ", 0, {}, {}, {}, {}, 5, &headers), "");
    EXPECT_EQ(headers, "untouched");
    EXPECT_EQ(WebRequest("", 0, {}, {}, {}, {}, 5, &headers), "");
    EXPECT_EQ(headers, "untouched");
    // A port beyond 65535 cannot be connected: the cookie text comes back.
    EXPECT_EQ(WebRequest("http://127.0.0.1:70000/", 0, {}, {}, {}, "sid=1", 5, &headers), "");
    EXPECT_EQ(headers, "sid=1");
}

TEST(WebRequest, DecodingOfTheBody) {
    // "中文" in UTF-8, then a zero byte and more.
    EXPECT_EQ(WebRequest(ServerUrl("/body?hex=e4b8ade69687007878"), 0, {}, {}, {}, {}, 10, nullptr,
                         kDecodingUtf8),
              "\xD6\xD0\xCE\xC4");
    // "中文" in Big5.
    EXPECT_EQ(WebRequest(ServerUrl("/body?hex=a4a4a4e5"), 0, {}, {}, {}, {}, 10, nullptr,
                         kDecodingBig5),
              "\xD6\xD0\xCE\xC4");
    // Any other value: the bytes unchanged, zero bytes included.
    EXPECT_EQ(WebRequest(ServerUrl("/body?hex=e4b800ff"), 0, {}, {}, {}, {}, 10, nullptr, 7),
              std::string("\xE4\xB8\x00\xFF", 4));
}

TEST(WebRequest, TimeoutTextWhenTheServerNeverAnswers) {
    std::string headers = "untouched";
    const ULONGLONG start = NowMs();
    const std::string result = WebRequest(ServerUrl("/never"), 0, {}, {}, {}, {}, 1, &headers);
    const ULONGLONG elapsed = NowMs() - start;
    EXPECT_EQ(result, kTimeoutText);
    EXPECT_EQ(headers, "untouched");
    EXPECT_GE(elapsed, 950u);
    EXPECT_LT(elapsed, 3000u);

    // A limit of 0 or below has passed at the first wake.
    EXPECT_EQ(WebRequest(ServerUrl("/bytes?n=10"), 0, {}, {}, {}, {}, 0), kTimeoutText);
    EXPECT_EQ(WebRequest(ServerUrl("/bytes?n=10"), 0, {}, {}, {}, {}, -5), kTimeoutText);
}

TEST(WebRequest, TheLimitHoldsWhenAnEventArrivesJustBeforeIt) {
    // One window event at 900 ms of a 1 s limit must not start a new wait
    // of the whole limit.
    HiddenWindow window([](HWND hwnd, UINT message, WPARAM id, LPARAM) {
        if (message == WM_TIMER) KillTimer(hwnd, id);
    });
    SetTimer(window.Handle(), 1, 900, nullptr);
    const ULONGLONG start = NowMs();
    EXPECT_EQ(WebRequest(ServerUrl("/never"), 0, {}, {}, {}, {}, 1), kTimeoutText);
    EXPECT_LT(NowMs() - start, 1700u);
}

TEST(WebRequest, WindowEventsAreDispatchedDuringTheWait) {
    int ticks = 0;
    HiddenWindow window([&](HWND, UINT message, WPARAM, LPARAM) {
        if (message == WM_TIMER) ++ticks;
    });
    SetTimer(window.Handle(), 1, 100, nullptr);
    EXPECT_EQ(WebRequest(ServerUrl("/slow?ms=1200"), 0, {}, {}, {}, {}, 10), "slow");
    KillTimer(window.Handle(), 1);
    EXPECT_GE(ticks, 6);  // about 12 in 1.2 s
}

TEST(WebRequest, NestedRequestFinishesBeforeTheOuterOne) {
    std::vector<std::string> events;
    HiddenWindow window([&](HWND hwnd, UINT message, WPARAM id, LPARAM) {
        if (message != WM_TIMER) return;
        KillTimer(hwnd, id);
        events.push_back("inner start");
        events.push_back("inner " + WebRequest(ServerUrl("/slow?ms=300"), 0, {}, {}, {}, {}, 10));
    });
    SetTimer(window.Handle(), 1, 100, nullptr);
    events.push_back("outer " + WebRequest(ServerUrl("/slow?ms=800"), 0, {}, {}, {}, {}, 10));
    const std::vector<std::string> expected = {"inner start", "inner slow", "outer slow"};
    EXPECT_EQ(events, expected);
}

TEST(WebRequest, OuterLimitPassedDuringANestedRequestGivesTheTimeoutText) {
    std::string inner;
    HiddenWindow window([&](HWND hwnd, UINT message, WPARAM id, LPARAM) {
        if (message != WM_TIMER) return;
        KillTimer(hwnd, id);
        inner = WebRequest(ServerUrl("/slow?ms=1500"), 0, {}, {}, {}, {}, 10);
    });
    SetTimer(window.Handle(), 1, 50, nullptr);
    // The outer worker ends at once, but the outer limit passes inside the
    // nested request.
    EXPECT_EQ(WebRequest(ServerUrl("/slow?ms=200"), 0, {}, {}, {}, {}, 1), kTimeoutText);
    EXPECT_EQ(inner, "slow");
}

TEST(WebRequest, ClosingTheWindowEndsTheWaitAtOnce) {
    HiddenWindow window([](HWND hwnd, UINT message, WPARAM id, LPARAM) {
        if (message == WM_TIMER) {
            KillTimer(hwnd, id);
            PostQuitMessage(0);  // what closing the main window does
        }
    });
    SetTimer(window.Handle(), 1, 200, nullptr);
    std::string headers = "untouched";
    const ULONGLONG start = NowMs();
    EXPECT_EQ(WebRequest(ServerUrl("/never"), 0, {}, {}, {}, {}, 30, &headers), kTimeoutText);
    EXPECT_LT(NowMs() - start, 3000u);
    EXPECT_EQ(headers, "untouched");
    EXPECT_TRUE(Runtime().QuitPending());  // the quit request stays for the event loop
    // A request made while the quit request is pending ends at once too.
    EXPECT_EQ(WebRequest(ServerUrl("/bytes?n=10"), 0, {}, {}, {}, {}, 30), kTimeoutText);
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    EXPECT_EQ(WebRequest(ServerUrl("/bytes?n=10"), 0, {}, {}, {}, {}, 30), Pattern(10));
}

TEST(WebRequest, TimeoutTextBytes) {
    const wchar_t* text = L"超时返回，你可以把参数中的超时值设置长一些。";
    char bytes[128];
    const int length = WideCharToMultiByte(936, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
    ASSERT_GT(length, 1);
    EXPECT_EQ(std::string(bytes, static_cast<std::size_t>(length - 1)), kTimeoutText);
}

}  // namespace
}  // namespace quorvel
