// Tables of the text and address helpers: 1-based searches that step over
// two-byte characters, case folding of ASCII letters only, trimming, and
// host, path and port of addresses.

#include <gtest/gtest.h>

#include <string>

#include "net/text_helpers.h"

namespace quorvel {
namespace {

struct FindCase {
    const char* name;
    std::string text;
    std::string what;
    int start;
    Case mode;
    int expected;
};

TEST(NetTextHelpers, FindTextTable) {
    const FindCase cases[] = {
        {"first byte is position 1", "abc", "a", 1, Case::Exact, 1},
        {"later match", "abcabc", "ca", 1, Case::Exact, 3},
        {"not found", "abc", "d", 1, Case::Exact, -1},
        {"start skips earlier match", "abcabc", "a", 2, Case::Exact, 4},
        {"start below 1 counts as 1", "abc", "a", -5, Case::Exact, 1},
        {"start past the end", "abc", "a", 9, Case::Exact, -1},
        {"empty what in text", "abc", "", 1, Case::Exact, 1},
        {"empty what in empty text", "", "", 1, Case::Exact, -1},
        {"empty text", "", "a", 1, Case::Exact, -1},
        {"longer what than text", "ab", "abc", 1, Case::Exact, -1},
        {"case differs exactly", "ABC", "b", 1, Case::Exact, -1},
        {"case ignored", "ABC", "b", 1, Case::Ignore, 2},
        {"case ignored in what", "abc", "BC", 1, Case::Ignore, 2},
        // "中" is D6 D0; its second byte is never a match start.
        {"no match on second byte", "\xD6\xD0\xD0\xD6", "\xD0\xD0", 1, Case::Exact, -1},
        {"match after a pair", "\xD6\xD0\xD0\xD6", "\xD0\xD6", 1, Case::Exact, 3},
        {"pair found whole", "a\xD6\xD0", "\xD6\xD0", 1, Case::Exact, 2},
        // A1 A1 A1: the pair A1 A1, then a lone lead byte that ends the text.
        {"lone lead byte ends the search", "\xA1\xA1\xA1", "\xA1", 3, Case::Exact, -1},
        {"search may start inside a pair", "\xA1\xA1\xA1", "\xA1\xA1", 2, Case::Exact, 2},
        {"lead byte at end is no match", "ab\x81", "\x81", 1, Case::Exact, -1},
        // Second bytes of pairs may lie in A-Z (GBK 81 41); they are not letters.
        {"second byte A is not folded", "\x81\x41", "\x81\x61", 1, Case::Ignore, -1},
        {"single A after pair is folded", "\x81\x41\x41", "a", 1, Case::Ignore, 3},
        {"bytes beyond ASCII are not folded", "\xC0", "\xE0", 1, Case::Ignore, -1},
        {"no folding of non-letters", "[", "{", 1, Case::Ignore, -1},
    };
    for (const FindCase& c : cases) {
        EXPECT_EQ(FindText(c.text, c.what, c.start, c.mode), c.expected) << c.name;
    }
}

TEST(NetTextHelpers, LowerAsciiKeepsPairs) {
    EXPECT_EQ(LowerAscii("HeLLo-Z@[`"), "hello-z@[`");
    EXPECT_EQ(LowerAscii("\x81\x41Q"), "\x81\x41q");
    EXPECT_EQ(LowerAscii("A\x81"), "a\x81");
}

TEST(NetTextHelpers, TrimSpacesTable) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"   ", ""},
        {"  a b  ", "a b"},
        {"\xA1\xA1 x\xA1\xA1", "x"},                        // full-width spaces at both ends
        {"\xA1\xA1\xA1\xA1", ""},
        {"\tx\t", "\tx\t"},                                   // tabs are not spaces here
        {"\xB0\xA1\xA1\xA1", "\xB0\xA1"},                     // B0A1 then a full-width space
        {"x\xA1", "x\xA1"},                                   // lone lead byte is kept
        {"\xA1\xA1\xA1", "\xA1"},                             // pair, then a lone A1
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(TrimSpaces(text), expected) << '"' << text << '"';
    }
}

TEST(NetTextHelpers, RemoveAllIsExactAndStepsOverPairs) {
    EXPECT_EQ(RemoveAll("aXbXXc", "X"), "abc");
    EXPECT_EQ(RemoveAll("RefererNo\r\nrefererno\r\n", "RefererNo"), "\r\nrefererno\r\n");
    EXPECT_EQ(RemoveAll("\xD6\xD0\xD0\xD6", "\xD0\xD0"), "\xD6\xD0\xD0\xD6");
    EXPECT_EQ(RemoveAll("x\xD0\xD6y\xD0\xD6", "\xD0\xD6"), "xy");
    EXPECT_EQ(RemoveAll("abc", ""), "abc");
}

TEST(NetTextHelpers, AsTextEndsAtFirstZero) {
    EXPECT_EQ(AsText(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(AsText("abc"), "abc");
    EXPECT_EQ(AsText(std::string("\0x", 2)), "");
}

struct AddressCase {
    std::string address;
    std::string host;
    std::string path;
    int port;
};

TEST(NetTextHelpers, AddressTable) {
    const AddressCase cases[] = {
        {"http://Server:8080/a/b?x=1", "server", "/a/b?x=1", 8080},
        {"Server", "server", "/", 80},
        {"", "", "/", 80},
        {"http://server", "server", "/", 80},
        {"http://server/x/y?z=1#f", "server", "/x/y?z=1#f", 80},
        {"http://SERVER/x", "server", "/x", 80},
        {"http://server/?next=http://other/", "server", "/?next=http://other/", 80},
        {"HTTP://server:81", "server", "/", 81},
        {"server:8080/x", "server", "/x", 8080},
        {"http://server:/x", "server", "/x", 0},
        {"http://server:12ab/x", "server", "/x", 12},
        {"http://server:99999999/", "server", "/", 999999},
        // An upper-case scheme is a scheme, not a host.
        {"HTTP://SERVER/x", "server", "/x", 80},
        {"Https://Server/x", "server", "/x", 443},
        // A host that also occurs inside the scheme does not move the path.
        {"http://t/x", "t", "/x", 80},
        {"http://h/http", "h", "/http", 80},
        {"https://server:8443/x", "server", "/x", 8443},
        {"https://server/x", "server", "/x", 443},
        {"http://127.0.0.1:5000/p%20q", "127.0.0.1", "/p%20q", 5000},
        {"http://\xD6\xD0.example/\xCE\xC4", "\xD6\xD0.example", "/\xCE\xC4", 80},
    };
    for (const AddressCase& c : cases) {
        EXPECT_EQ(UrlHost(c.address), c.host) << c.address;
        EXPECT_EQ(UrlPath(c.address), c.path) << c.address;
        EXPECT_EQ(UrlPort(c.address), c.port) << c.address;
    }
}

TEST(NetTextHelpers, SchemeAndSecurity) {
    EXPECT_TRUE(IsSecureAddress("https://a/"));
    EXPECT_TRUE(IsSecureAddress("HTTPS://a/"));
    EXPECT_FALSE(IsSecureAddress("http://a/?next=https://b/"));
    EXPECT_FALSE(IsSecureAddress("a/https://"));
    EXPECT_EQ(SchemePrefix("hTtP://x"), "hTtP://");
    EXPECT_EQ(SchemePrefix("ftp://x"), "");
    EXPECT_EQ(SchemePrefix("http:/x"), "");
}

TEST(NetTextHelpers, TextBetweenTable) {
    const char* kStart = "User-Agent:";
    const char* kEnd = "\r\n";
    EXPECT_EQ(TextBetween("User-Agent: X\r\nAccept: */*\r\n", kStart, kEnd), " X");
    EXPECT_EQ(TextBetween("User-Agent: X", kStart, kEnd), "");
    EXPECT_EQ(TextBetween("user-agent: X\r\n", kStart, kEnd), "");
    EXPECT_EQ(TextBetween("User-Agent:\r\n", kStart, kEnd), "");
    EXPECT_EQ(TextBetween("a[b]c[d]", "[", "]"), "b");
    // The end marker is searched for after the start marker only.
    EXPECT_EQ(TextBetween("]a[b]", "[", "]"), "b");
    EXPECT_EQ(TextBetween("", "", ""), "");
}

}  // namespace
}  // namespace quorvel
