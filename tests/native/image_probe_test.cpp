#include "preview/image_probe.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace quorvel {
namespace {

std::string Le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)}; }
std::string Le32(unsigned v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }
std::string Be16(unsigned v) { return {static_cast<char>(v >> 8 & 0xFF), static_cast<char>(v & 0xFF)}; }
std::string Be32(unsigned v) { return Be16(v >> 16) + Be16(v & 0xFFFF); }

std::string Png(unsigned w, unsigned h) {
    return std::string("\x89PNG\r\n\x1a\n", 8) + Be32(13) + "IHDR" + Be32(w) + Be32(h) +
           std::string("\x08\x06\0\0\0", 5) + Be32(0);
}
std::string Bmp(unsigned w, unsigned h, unsigned pixelsAt = 54) {
    const unsigned rows = (h & 0x80000000u) ? 0u - h : h;
    const std::size_t pixels = (w & 0x80000000u) || rows > 100000 ? 64 : ((w * 24 + 31) / 32) * 4 * rows;
    return "BM" + Le32(0) + Le32(0) + Le32(pixelsAt) + Le32(40) + Le32(w) + Le32(h) + Le16(1) + Le16(24) +
           std::string(24, '\0') + std::string(pixels, '\x7F');
}
std::string Gif(unsigned w, unsigned h, unsigned frameW, unsigned frameH) {
    // Global colour table of 2 entries, a graphic control extension, then the frame.
    return "GIF89a" + Le16(w) + Le16(h) + std::string("\x80\0\0", 3) + std::string(6, '\0') +
           std::string("\x21\xF9\x04\0\0\0\0\0", 8) + "\x2C" + Le16(1) + Le16(2) + Le16(frameW) +
           Le16(frameH) + std::string(1, '\0');
}
std::string Jpeg(unsigned w, unsigned h) {
    return std::string("\xFF\xD8\xFF\xE0", 4) + Be16(16) + std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14) +
           std::string("\xFF\xFF\xC2", 3) + Be16(17) + "\x08" + Be16(h) + Be16(w) + std::string(12, '\0');
}
std::string TiffLe(unsigned w, unsigned h) {
    return std::string("II*\0", 4) + Le32(8) + Le16(2) + Le16(256) + Le16(4) + Le32(1) + Le32(w) +
           Le16(257) + Le16(3) + Le32(1) + Le16(h) + Le16(0) + Le32(0);
}
std::string TiffBe(unsigned w, unsigned h) {
    return std::string("MM\0*", 4) + Be32(8) + Be16(2) + Be16(256) + Be16(3) + Be32(1) + Be16(w) +
           Be16(0) + Be16(257) + Be16(4) + Be32(1) + Be32(h) + Be32(0);
}
std::string Icon(unsigned dirW, unsigned dirH, const std::string& image) {
    return Le16(0) + Le16(1) + Le16(1) + std::string{static_cast<char>(dirW), static_cast<char>(dirH)} +
           std::string(2, '\0') + Le16(1) + Le16(32) + Le32(static_cast<unsigned>(image.size())) + Le32(22) +
           image;
}
std::string IconDib(unsigned w, unsigned h2) {
    return Le32(40) + Le32(w) + Le32(h2) + Le16(1) + Le16(32) + std::string(24, '\0') +
           std::string(static_cast<std::size_t>(w) * (h2 / 2) * 4 + 64, '\0');
}

TEST(ImageProbe, ReadsTheDimensionsOfEachFormat) {
    struct Case {
        const char* name;
        std::string bytes;
        ImageKind kind;
        unsigned width, height;
    };
    const Case cases[] = {
        {"png", Png(640, 480), ImageKind::kPng, 640, 480},
        {"bmp", Bmp(3, 2), ImageKind::kBmp, 3, 2},
        {"bmp top-down", Bmp(3, 0u - 2u), ImageKind::kBmp, 3, 2},
        {"bmp core", "BM" + Le32(0) + Le32(0) + Le32(26) + Le32(12) + Le16(7) + Le16(9) + Le16(1) + Le16(24) +
                         std::string(24 * 9, '\0'), ImageKind::kBmp, 7, 9},
        {"gif", Gif(100, 50, 10, 10), ImageKind::kGif, 100, 50},
        {"gif frame beyond the screen", Gif(10, 10, 60000, 20), ImageKind::kGif, 60001, 22},
        {"jpeg progressive after fill bytes", Jpeg(1920, 1080), ImageKind::kJpeg, 1920, 1080},
        {"tiff little-endian", TiffLe(300, 200), ImageKind::kTiff, 300, 200},
        {"tiff big-endian", TiffBe(300, 70000), ImageKind::kTiff, 300, 70000},
        {"icon with 0 meaning 256", Icon(0, 0, IconDib(256, 512)), ImageKind::kIcon, 256, 256},
        {"icon whose PNG claims more", Icon(16, 16, Png(40000, 16)), ImageKind::kIcon, 40000, 16},
    };
    for (const Case& c : cases) {
        const ImageHeader h = ProbeImageHeader(c.bytes);
        EXPECT_EQ(h.kind, c.kind) << c.name;
        EXPECT_EQ(h.width, c.width) << c.name;
        EXPECT_EQ(h.height, c.height) << c.name;
    }
}

TEST(ImageProbe, AcceptsOnlyKnownPicturesOfSaneSize) {
    EXPECT_TRUE(IsAcceptableImage(Png(1, 1)));
    EXPECT_TRUE(IsAcceptableImage(Png(kMaxImageSide, kMaxImageSide)));
    EXPECT_FALSE(IsAcceptableImage(Png(kMaxImageSide + 1, 10)));
    EXPECT_FALSE(IsAcceptableImage(Png(10, 0xFFFFFFFFu)));
    EXPECT_FALSE(IsAcceptableImage(Png(0, 10)));
    EXPECT_FALSE(IsAcceptableImage(Bmp(0x80000000u, 10)));  // negative width
    EXPECT_FALSE(IsAcceptableImage(Bmp(10, 0x80000000u)));  // INT_MIN height
    EXPECT_FALSE(IsAcceptableImage(Gif(10, 10, 9000, 1)));
    // Pixel arrays that do not lie within the file.
    EXPECT_FALSE(IsAcceptableImage(Bmp(8, 8, 0x7FFFFFF0u)));
    EXPECT_FALSE(IsAcceptableImage(Bmp(8, 8).substr(0, 54 + 24 * 7)));
    EXPECT_FALSE(IsAcceptableImage(Bmp(8, 8, 20)));  // inside the header
    EXPECT_FALSE(IsAcceptableImage(Icon(16, 16, IconDib(16, 32)).substr(0, 200)));
    EXPECT_FALSE(IsAcceptableImage(Jpeg(20000, 20000)));
    EXPECT_FALSE(IsAcceptableImage(Jpeg(100, 0)));  // height left to a DNL marker
    EXPECT_FALSE(IsAcceptableImage(Icon(16, 16, Png(16, 9000))));
    EXPECT_FALSE(IsAcceptableImage(""));
    EXPECT_FALSE(IsAcceptableImage("<html><body>Not found</body></html>"));
    EXPECT_FALSE(IsAcceptableImage(std::string("\x01\0\0\0", 4) + std::string(80, '\0')));  // a metafile
}

TEST(ImageProbe, TruncatedHeadersAreUnreadableAtEveryLength) {
    const std::string samples[] = {Png(64, 64), Bmp(64, 64), Gif(64, 64, 64, 64), Jpeg(64, 64),
                                   TiffLe(64, 64), TiffBe(64, 64), Icon(16, 16, IconDib(16, 32)),
                                   Icon(16, 16, Png(16, 16))};
    for (const std::string& full : samples) {
        ASSERT_TRUE(IsAcceptableImage(full));
        const ImageHeader whole = ProbeImageHeader(full);
        for (std::size_t n = 0; n < full.size(); ++n) {
            // Either unreadable, or no more than the whole header states.
            const ImageHeader h = ProbeImageHeader(full.substr(0, n));
            EXPECT_LE(h.width, whole.width) << n;
            EXPECT_LE(h.height, whole.height) << n;
        }
    }
}

TEST(ImageProbe, HostileCorpusFilesAreRefusedOrSane) {
    // Every file of the corpus is either refused or within the size limit;
    // the probe itself must get through all of them (run under sanitizers).
    const std::string dir = std::string(QUORVEL_SOURCE_DIR) + "/tests/data/hostile/";
    std::ifstream list(dir + "MANIFEST");
    ASSERT_TRUE(list) << "missing " << dir << "MANIFEST";
    std::string name, expected;
    int files = 0;
    while (list >> name >> expected) {
        std::ifstream in(dir + name, std::ios::binary);
        ASSERT_TRUE(in) << name;
        std::ostringstream bytes;
        bytes << in.rdbuf();
        const bool acceptable = IsAcceptableImage(bytes.str());
        if (expected == "refused") EXPECT_FALSE(acceptable) << name;
        if (acceptable) {
            const ImageHeader h = ProbeImageHeader(bytes.str());
            EXPECT_LE(h.width, kMaxImageSide) << name;
            EXPECT_LE(h.height, kMaxImageSide) << name;
        }
        ++files;
    }
    EXPECT_GT(files, 10);
}

}  // namespace
}  // namespace quorvel
