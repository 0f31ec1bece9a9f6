#include "themes/theme_catalog.h"

#include <string>

namespace quorvel {
namespace {

struct ThemeRow {
    const wchar_t* caption;
    const char* packageFileName;
    const char* previewPicture;  // file name under the preview base address
};

// Captions, package file names and preview pictures of themes 1..7.
// Themes 6 and 7 share one preview picture.
constexpr ThemeRow kRows[kThemeCount] = {
    {L"大图标UI", "_JDDTB2.zip", "jddtb2.jpg"},
    {L"战斗机甲UI", "_ZdjjUI.zip", "zdjjui.png"},
    {L"锐雯透明紫框界面UI", "_HKUI5.2.zip", "hkui52.jpg"},
    {L"马年UI", "_MNUI.zip", "mnui.png"},
    {L"最强王者UI", "_ZS2UI.zip", "zs2ui.jpg"},
    {L"王者UI 2", "_ZQUI.zip", "zqui.jpg"},
    {L"王者UI 3", "_ZQ2UI.zip", "zqui.jpg"},
};

// The client's own packages around the theme's package in ClientZips.txt.
constexpr const char* kListBeforeTheme[] = {
    "Aatrox.zip",           "CharacterAnimations.zip", "CharacterAnimations1.zip",
    "CharacterAnimations2.zip", "CharacterAnimations3.zip", "CharacterAnimations4.zip",
    "Characters.zip",       "CharacterSkins.zip",      "CharacterSkins1.zip",
    "CharacterTextures.zip", "CharacterTextures1.zip", "CharacterTextures2.zip",
    "CharacterTextures3.zip", "CharacterTextures4.zip", "CharacterTextures5.zip",
    "CharacterTextures6.zip", "Datas.zip",             "Datas1.zip",
};
constexpr const char* kListAfterTheme[] = {
    "Jinx.zip",              "Loading.zip",           "Lucian.zip",
    "Particles.zip",         "ParticleTextrues.zip",  "ParticleTextrues1.zip",
    "ParticleTextrues2.zip", "ParticleTextrues3.zip", "StagingData.zip",
    "Yasuo.zip",             "PatchData.zip",
};

// 30 lines, CR LF between them and none after the last; line 19 is the
// theme's package.
std::string ClientZipsList(const char* packageFileName) {
    std::string text;
    for (const char* line : kListBeforeTheme) {
        text += line;
        text += "\r\n";
    }
    text += packageFileName;
    for (const char* line : kListAfterTheme) {
        text += "\r\n";
        text += line;
    }
    return text;
}

}  // namespace

ThemeList MakeThemeCatalog(PackageSource source) {
    // The texts live as long as the program: the lists and addresses are
    // made once and kept in these arrays.
    static const std::string lists[kThemeCount] = {
        ClientZipsList(kRows[0].packageFileName), ClientZipsList(kRows[1].packageFileName),
        ClientZipsList(kRows[2].packageFileName), ClientZipsList(kRows[3].packageFileName),
        ClientZipsList(kRows[4].packageFileName), ClientZipsList(kRows[5].packageFileName),
        ClientZipsList(kRows[6].packageFileName),
    };
    static const std::string addresses[kThemeCount] = {
        std::string(QUORVEL_PREVIEW_BASE) + kRows[0].previewPicture,
        std::string(QUORVEL_PREVIEW_BASE) + kRows[1].previewPicture,
        std::string(QUORVEL_PREVIEW_BASE) + kRows[2].previewPicture,
        std::string(QUORVEL_PREVIEW_BASE) + kRows[3].previewPicture,
        std::string(QUORVEL_PREVIEW_BASE) + kRows[4].previewPicture,
        std::string(QUORVEL_PREVIEW_BASE) + kRows[5].previewPicture,
        std::string(QUORVEL_PREVIEW_BASE) + kRows[6].previewPicture,
    };

    ThemeList list{};
    for (int i = 0; i < kThemeCount; ++i) {
        const int number = i + 1;
        list[i] = Theme{number,
                        RadioOfTheme(number),
                        kRows[i].caption,
                        kRows[i].packageFileName,
                        source ? source(number) : std::string_view(),
                        lists[i],
                        addresses[i]};
    }
    return list;
}

}  // namespace quorvel
