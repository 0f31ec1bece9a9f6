#pragma once
// The seven HUD themes the program installs. Plain data: no Windows header.

#include <array>
#include <string>
#include <string_view>

#include "app/controls.h"

namespace quorvel {

struct Theme {
    int number;                        // 1..7, the place in the catalogue
    Control radioButton;               // "单选框1" .. "单选框7"
    std::wstring_view caption;         // the radio button's caption
    std::string_view packageFileName;  // ASCII, e.g. "_JDDTB2.zip"
    std::string_view package;          // the zip archive, borrowed from where it is stored
    std::string_view clientZipsText;   // whole content of ClientZips.txt for this theme
    std::string_view previewAddress;   // http:// address of the preview picture
};

constexpr int kThemeCount = 7;
using ThemeList = std::array<Theme, kThemeCount>;

// Supplies the package bytes of theme 1..7; the bytes must outlive the list.
using PackageSource = std::string_view (*)(int themeNumber);

// Builds the seven rows in number order, taking each package from `source`.
ThemeList MakeThemeCatalog(PackageSource source);

// The program's catalogue, with the packages embedded in the program.
// (Windows build: the packages come from the program's resources.)
const ThemeList& ThemeCatalog();

// The row of theme 1..7 of the program's catalogue.
inline const Theme& ThemeByNumber(int number) { return ThemeCatalog().at(number - 1); }

}  // namespace quorvel
