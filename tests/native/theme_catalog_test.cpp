#include "themes/theme_catalog.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

std::string_view NoPackage(int) { return {}; }

std::string Line(std::string_view text, int number) {
    size_t start = 0;
    for (int i = 1; i < number; ++i) start = text.find("\r\n", start) + 2;
    size_t end = text.find("\r\n", start);
    return std::string(text.substr(start, end == std::string_view::npos ? end : end - start));
}

TEST(ThemeCatalog, ListsNameEachThemesOwnPackageOnLine19) {
    const ThemeList themes = MakeThemeCatalog(NoPackage);
    const size_t sizes[kThemeCount] = {583, 583, 584, 581, 582, 581, 582};
    for (const Theme& theme : themes) {
        SCOPED_TRACE(theme.number);
        const std::string_view list = theme.clientZipsText;
        EXPECT_EQ(list.size(), sizes[theme.number - 1]);
        EXPECT_EQ(list.substr(0, 37), "Aatrox.zip\r\nCharacterAnimations.zip\r\n");
        EXPECT_EQ(list.substr(list.size() - 15), "\r\nPatchData.zip");
        EXPECT_EQ(Line(list, 18), "Datas1.zip");
        EXPECT_EQ(Line(list, 19), theme.packageFileName);
        EXPECT_EQ(Line(list, 20), "Jinx.zip");
        EXPECT_EQ(Line(list, 30), "PatchData.zip");
        size_t lines = 1;
        for (size_t at = list.find("\r\n"); at != std::string_view::npos;
             at = list.find("\r\n", at + 2))
            ++lines;
        EXPECT_EQ(lines, 30u);
        EXPECT_EQ(list.find('\n'), list.find("\r\n") + 1) << "bare LF in the list";
        for (const Theme& other : themes)
            if (other.number != theme.number)
                EXPECT_EQ(list.find(std::string(other.packageFileName) + "\r\n"),
                          std::string_view::npos);
    }
}

TEST(ThemeCatalog, RowsInNumberOrderWithTheirButtonsAndSharedPreview) {
    const ThemeList themes = MakeThemeCatalog(NoPackage);
    const char* names[kThemeCount] = {"_JDDTB2.zip", "_ZdjjUI.zip", "_HKUI5.2.zip", "_MNUI.zip",
                                      "_ZS2UI.zip",  "_ZQUI.zip",   "_ZQ2UI.zip"};
    for (int i = 0; i < kThemeCount; ++i) {
        EXPECT_EQ(themes[i].number, i + 1);
        EXPECT_EQ(themes[i].radioButton, RadioOfTheme(i + 1));
        EXPECT_EQ(themes[i].packageFileName, names[i]);
        EXPECT_EQ(themes[i].previewAddress.substr(0, 7), "http://");
    }
    EXPECT_EQ(themes[5].caption, L"王者UI 2");
    EXPECT_EQ(themes[6].caption, L"王者UI 3");
    EXPECT_EQ(themes[5].previewAddress, themes[6].previewAddress);
    for (int i = 0; i < 6; ++i)
        for (int j = i + 1; j < 6; ++j)
            EXPECT_NE(themes[i].previewAddress, themes[j].previewAddress);
}

}  // namespace
}  // namespace quorvel
