// Conversions of response bodies into code page 936.

#include <gtest/gtest.h>

#include <string>

#include "net/code_pages.h"
#include "net_test_support.h"

namespace quorvel {
namespace {

TEST(CodePages, Utf8ToGbkTable) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"plain ASCII", "plain ASCII"},
        {"\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},                  // 中文
        {std::string("\xE4\xB8\xAD\0\xE6\x96\x87", 7), "\xD6\xD0"},        // ends at zero
        {"\xEF\xBC\x8C", "\xA3\xAC"},                                       // full-width comma
        {"\xE0\xB8\x81", "?"},                                              // Thai, not in 936
    };
    for (const auto& [utf8, gbk] : cases) {
        EXPECT_EQ(Utf8ToGbk(utf8), gbk) << utf8;
    }
}

TEST(CodePages, Big5ToGbkKeepsTheWholeText) {
    EXPECT_EQ(Big5ToGbkSimplified(""), "");
    EXPECT_EQ(Big5ToGbkSimplified("abc"), "abc");
    // 中文 in Big5, then a zero byte.
    EXPECT_EQ(Big5ToGbkSimplified(std::string("\xA4\xA4\xA4\xE5\0\xA4\xA4", 7)), "\xD6\xD0\xCE\xC4");
    // Big5 A1 5A is a box-drawing stroke (U+2574) that code page 936 lacks:
    // it becomes "?" and the rest of the text stays.
    EXPECT_EQ(Big5ToGbkSimplified("\xA4\xA4\xA1\x5A\xA4\xE5"), "\xD6\xD0?\xCE\xC4");
}

TEST(CodePages, Big5TraditionalBecomesSimplified) {
    if (testing::RunningUnderWine()) {
        // Wine 8's LCMapString ignores LCMAP_SIMPLIFIED_CHINESE and returns
        // the text unchanged; Windows maps traditional to simplified.
        GTEST_SKIP() << "Wine does not map LCMAP_SIMPLIFIED_CHINESE";
    }
    // 體 (Big5 C5 E9) becomes 体 (GBK CC E5); 中 stays.
    EXPECT_EQ(Big5ToGbkSimplified("\xC5\xE9\xA4\xA4"), "\xCC\xE5\xD6\xD0");
}

TEST(CodePages, UnderWineTraditionalStaysTraditional) {
    if (!testing::RunningUnderWine()) {
        GTEST_SKIP() << "checks the known Wine behaviour only";
    }
    // 體 (Big5 C5 E9) comes out as the code page 936 form of 體 itself (F3 77).
    EXPECT_EQ(Big5ToGbkSimplified("\xC5\xE9"), "\xF3\x77");
}

}  // namespace
}  // namespace quorvel
