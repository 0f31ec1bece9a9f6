// TranscodeImage and GbkToUtf16 through the real GDI+, OLE streams and file
// system (under Wine in the test run).

#include "preview/image_transcoder.h"

#include "preview/color_quantizer.h"

#include <windows.h>
// OLE streams; also declares PROPID, which the GDI+ headers use and
// WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objbase.h>
#include <objidl.h>

#include "preview/gdiplus_api.h"  // the GDI+ flat API and owners for its objects
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace quorvel {
namespace {

namespace gp = Gdiplus;
namespace flat = Gdiplus::DllExports;

CLSID EncoderFor(int format) {
    static const wchar_t* const ids[] = {
        L"{557CF400-1A04-11D3-9A73-0000F81EF32E}", L"{557CF401-1A04-11D3-9A73-0000F81EF32E}",
        L"{557CF402-1A04-11D3-9A73-0000F81EF32E}", L"{557CF405-1A04-11D3-9A73-0000F81EF32E}",
        L"{557CF406-1A04-11D3-9A73-0000F81EF32E}"};
    CLSID id{};
    CLSIDFromString(ids[format - 1], &id);
    return id;
}

// Bytes of an IStream over an HGLOBAL.
std::string StreamBytes(IStream* stream) {
    HGLOBAL block = nullptr;
    if (FAILED(GetHGlobalFromStream(stream, &block))) return {};
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    const void* p = GlobalLock(block);
    std::string bytes;
    if (p) bytes.assign(static_cast<const char*>(p), static_cast<std::size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(block);
    return bytes;
}

std::string Encode(gp::GpImage* image, int format) {
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    const CLSID encoder = EncoderFor(format);
    std::string bytes;
    if (flat::GdipSaveImageToStream(image, stream, &encoder, nullptr) == gp::Ok) bytes = StreamBytes(stream);
    stream->Release();
    return bytes;
}

constexpr int kWidth = 37;
constexpr int kHeight = 23;
constexpr std::uint32_t kRed = 0xFFE01010u;

// A 37 x 23 picture: a colour gradient with a solid red block at (4..11, 4..11)
// and, when `transparent`, a fully transparent block at (20..29, 10..19).
std::vector<std::uint32_t> FixturePixels(bool transparent) {
    std::vector<std::uint32_t> pixels(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            std::uint32_t c = 0xFF000000u | static_cast<std::uint32_t>(x * 7) << 16 |
                              static_cast<std::uint32_t>(y * 11) << 8 | static_cast<std::uint32_t>(255 - x * 3);
            if (x >= 4 && x < 12 && y >= 4 && y < 12) c = kRed;
            if (transparent && x >= 20 && x < 30 && y >= 10 && y < 20) c = 0x00FFFFFFu;
            pixels[y * kWidth + x] = c;
        }
    }
    return pixels;
}

// The fixture encoded with GDI+'s own encoders. GIF input is made from an
// 8-bit palette bitmap, the only kind Wine's GIF encoder writes correctly.
std::string FixtureBytes(int format, bool transparent = false) {
    GdiplusSession gdiplus;
    std::vector<std::uint32_t> pixels = FixturePixels(transparent);
    GdipImage bitmap;
    std::vector<BYTE> indices;
    if (format == kImageFormatGif) {
        const int stride = (kWidth + 3) & ~3;
        indices.assign(stride * kHeight, 0);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) indices[y * stride + x] = pixels[y * kWidth + x] == kRed ? 1 : (x + y) % 4 + 2;
        }
        flat::GdipCreateBitmapFromScan0(kWidth, kHeight, stride, PixelFormat8bppIndexed, indices.data(),
                                        bitmap.putBitmap());
        std::vector<UINT> buffer(2 + 6);
        auto* palette = reinterpret_cast<gp::ColorPalette*>(buffer.data());
        palette->Flags = 0;
        palette->Count = 6;
        const gp::ARGB entries[] = {0xFF000000u, kRed, 0xFF2040FFu, 0xFF20C040u, 0xFFFFFF00u, 0xFF808080u};
        std::memcpy(palette->Entries, entries, sizeof entries);
        flat::GdipSetImagePalette(bitmap.get(), palette);
    } else {
        flat::GdipCreateBitmapFromScan0(kWidth, kHeight, kWidth * 4, PixelFormat32bppARGB,
                                        reinterpret_cast<BYTE*>(pixels.data()), bitmap.putBitmap());
    }
    return Encode(bitmap.get(), format);
}

struct Decoded {
    bool ok = false;
    UINT width = 0;
    UINT height = 0;
    GUID rawFormat{};
    std::vector<gp::ARGB> pixels;
    gp::ARGB at(int x, int y) const { return pixels[y * width + x]; }
};

Decoded Decode(const std::string& bytes) {
    Decoded d;
    GdiplusSession gdiplus;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(block, TRUE, &stream);
    {
        GdipImage image;
        if (flat::GdipCreateBitmapFromStream(stream, image.putBitmap()) == gp::Ok && image) {
            flat::GdipGetImageWidth(image.get(), &d.width);
            flat::GdipGetImageHeight(image.get(), &d.height);
            flat::GdipGetImageRawFormat(image.get(), &d.rawFormat);
            for (UINT y = 0; y < d.height; ++y) {
                for (UINT x = 0; x < d.width; ++x) {
                    gp::ARGB c = 0;
                    flat::GdipBitmapGetPixel(image.bitmap(), x, y, &c);
                    d.pixels.push_back(c);
                }
            }
            d.ok = true;
        }
    }
    stream->Release();
    return d;
}

bool Near(gp::ARGB a, gp::ARGB b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance) {
            return false;
        }
    }
    return true;
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

// A fresh folder for the files of one test, removed (with its files) at the end.
class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        path_ = std::wstring(base) + L"quorvel-transcode-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter_++);
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        for (const std::wstring& name : Names()) DeleteFileW((path_ + L"\\" + name).c_str());
        RemoveDirectoryW(path_.c_str());
    }
    const std::wstring& path() const { return path_; }
    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((path_ + L"\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") names.push_back(name);
        } while (FindNextFileW(find, &data));
        FindClose(find);
        return names;
    }
    // The folder as a code page 936 text, for TranscodeImage's target file.
    std::string Gbk() const {
        const int n = WideCharToMultiByte(936, 0, path_.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string text(n, '\0');
        WideCharToMultiByte(936, 0, path_.c_str(), -1, &text[0], n, nullptr, nullptr);
        text.resize(n - 1);
        return text;
    }

private:
    static inline int counter_ = 0;
    std::wstring path_;
};

const char* FormatName(int format) {
    static const char* const names[] = {"?", "BMP", "JPEG", "GIF", "TIFF", "PNG"};
    return format >= 1 && format <= 5 ? names[format] : names[0];
}

bool HasSignatureOf(const std::string& bytes, int format) {
    switch (format) {
        case kImageFormatBmp: return bytes.rfind("BM", 0) == 0;
        case kImageFormatJpeg: return bytes.rfind("\xFF\xD8", 0) == 0;
        case kImageFormatGif: return bytes.rfind("GIF8", 0) == 0;
        case kImageFormatTiff: return bytes.rfind(std::string("II*\0", 4), 0) == 0 || bytes.rfind(std::string("MM\0*", 4), 0) == 0;
        case kImageFormatPng: return bytes.rfind("\x89PNG", 0) == 0;
        default: return false;
    }
}

TEST(TranscodeImage, EveryInputFormatToEveryCode) {
    for (int input = kImageFormatBmp; input <= kImageFormatPng; ++input) {
        const std::string source = FixtureBytes(input);
        ASSERT_TRUE(HasSignatureOf(source, input)) << "fixture " << FormatName(input);
        for (int format = kImageFormatBmp; format <= kImageFormatPng; ++format) {
            SCOPED_TRACE(std::string(FormatName(input)) + " -> " + FormatName(format));
            std::string output = "previous";
            ASSERT_TRUE(TranscodeImage(source, format, {}, &output));
            EXPECT_TRUE(HasSignatureOf(output, format));
            const Decoded d = Decode(output);
            ASSERT_TRUE(d.ok);
            EXPECT_EQ(d.width, static_cast<UINT>(kWidth));
            EXPECT_EQ(d.height, static_cast<UINT>(kHeight));
            // The solid red block survives every encoder (JPEG within its loss).
            EXPECT_TRUE(Near(d.at(7, 7), kRed, format == kImageFormatJpeg || input == kImageFormatJpeg ? 40 : 0))
                << std::hex << d.at(7, 7);
        }
    }
}

bool RunningUnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// The quantiser run on the same pixels the transcoder sees (a PNG decodes
// to exactly these), as 0xAARRGGBB per pixel.
std::vector<std::uint32_t> QuantisedDirectly(const std::vector<std::uint32_t>& pixels, int w, int h) {
    const QuantizedImage q =
        QuantizeImage(reinterpret_cast<const std::uint8_t*>(pixels.data()), w, h, w * 4);
    std::vector<std::uint32_t> colours;
    for (std::uint8_t index : q.indices) colours.push_back(q.palette[index]);
    return colours;
}

double PsnrOfOpaque(const std::vector<std::uint32_t>& want, const Decoded& got) {
    double sum = 0;
    int samples = 0;
    for (std::size_t i = 0; i < want.size(); ++i) {
        if ((want[i] >> 24) < 128) continue;
        for (int shift = 0; shift < 24; shift += 8) {
            const double diff = static_cast<double>((want[i] >> shift) & 0xFF) - ((got.pixels[i] >> shift) & 0xFF);
            sum += diff * diff;
            ++samples;
        }
    }
    return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / (sum / samples));
}

TEST(TranscodeImage, GifFromTrueColourPicturesDecodesToOurQuantisedPicture) {
    // Wine's GIF encoder writes a 24-byte file with no picture when it is
    // given a 32-bit bitmap; our palette bitmap must give a real GIF, and
    // the GIF must hold exactly the palette and indices our quantiser chose.
    const std::vector<std::uint32_t> source = FixturePixels(/*transparent=*/true);
    const std::string png = FixtureBytes(kImageFormatPng, /*transparent=*/true);
    std::string gif;
    ASSERT_TRUE(TranscodeImage(png, kImageFormatGif, {}, &gif));
    EXPECT_GT(gif.size(), 100u);
    const Decoded d = Decode(gif);
    ASSERT_TRUE(d.ok);
    ASSERT_EQ(d.width, static_cast<UINT>(kWidth));
    ASSERT_EQ(d.height, static_cast<UINT>(kHeight));
    const std::vector<std::uint32_t> quantised = QuantisedDirectly(source, kWidth, kHeight);
    int transparentSeen = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const std::uint32_t want = quantised[y * kWidth + x];
            const gp::ARGB got = d.at(x, y);
            if ((source[y * kWidth + x] >> 24) == 0) {
                ++transparentSeen;
                // Windows' GIF encoder marks the palette entry with alpha 0 as
                // the transparent colour. Wine 8's writes no graphic control
                // extension, so there the pixels come back as the transparent
                // entry's colour, opaque black.
                if (RunningUnderWine()) {
                    EXPECT_EQ(got & 0xFFFFFFu, 0u) << x << "," << y;
                } else {
                    EXPECT_EQ(got >> 24, 0u) << x << "," << y;
                }
                continue;
            }
            ASSERT_EQ(got, want) << "at " << x << "," << y;
        }
    }
    EXPECT_EQ(transparentSeen, 100);
    EXPECT_EQ(d.at(7, 7), kRed);
    EXPECT_GT(PsnrOfOpaque(source, d), 30.0);
}

TEST(TranscodeImage, GifOfAManyColouredPictureIsCloseToIt) {
    // 200 x 120 with about 24000 colours: quantised and dithered.
    constexpr int w = 200, h = 120;
    std::vector<std::uint32_t> pixels(w * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            pixels[y * w + x] = 0xFF000000u | (x * 255 / (w - 1)) << 16 | (y * 255 / (h - 1)) << 8 |
                                ((x + y) * 255 / (w + h - 2));
        }
    }
    std::string png;
    {
        GdiplusSession gdiplus;
        GdipImage bitmap;
        flat::GdipCreateBitmapFromScan0(w, h, w * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(pixels.data()),
                                        bitmap.putBitmap());
        png = Encode(bitmap.get(), kImageFormatPng);
    }
    std::string gif;
    ASSERT_TRUE(TranscodeImage(png, kImageFormatGif, {}, &gif));
    const Decoded d = Decode(gif);
    ASSERT_TRUE(d.ok);
    ASSERT_EQ(d.width, static_cast<UINT>(w));
    ASSERT_EQ(d.height, static_cast<UINT>(h));
    const std::vector<std::uint32_t> expected = QuantisedDirectly(pixels, w, h);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), d.pixels.begin(), d.pixels.end()));
    EXPECT_GT(PsnrOfOpaque(pixels, d), 32.0);
}

TEST(TranscodeImage, NothingEncodedLeavesOutputAndFilesAlone) {
    const std::string png = FixtureBytes(kImageFormatPng);
    const struct {
        const char* name;
        std::string image;
        int format;
    } cases[] = {
        {"empty input", "", kImageFormatGif},
        {"HTML page", "<html><body>502 Bad Gateway</body></html>", kImageFormatGif},
        {"timeout text", "\xB3\xAC\xCA\xB1", kImageFormatPng},
        {"code 0", png, 0},
        {"code 6", png, 6},
        {"code -1", png, -1},
        {"truncated PNG header", png.substr(0, 20), kImageFormatGif},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        std::string output = "previous bytes";
        EXPECT_FALSE(TranscodeImage(c.image, c.format, folder.Gbk() + "\\out.bin", &output));
        EXPECT_EQ(output, "previous bytes");
        EXPECT_TRUE(folder.Names().empty());
        EXPECT_FALSE(TranscodeImage(c.image, c.format));  // no output given
    }
}

TEST(TranscodeImage, TargetFiles) {
    const std::string png = FixtureBytes(kImageFormatPng);
    std::string expected;
    ASSERT_TRUE(TranscodeImage(png, kImageFormatGif, {}, &expected));

    // Blank names write nothing.
    for (const std::string blank : {std::string(), std::string("   "), std::string("\xA1\xA1"),
                                    std::string(" \xA1\xA1 \xA1\xA1  ")}) {
        TempFolder folder;
        wchar_t previous[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, previous);
        SetCurrentDirectoryW(folder.path().c_str());
        std::string output;
        EXPECT_TRUE(TranscodeImage(png, kImageFormatGif, blank, &output));
        SetCurrentDirectoryW(previous);
        EXPECT_EQ(output, expected);
        EXPECT_TRUE(folder.Names().empty()) << "name of " << blank.size() << " bytes";
    }

    // A name with Chinese characters and leading spaces is used as given,
    // untrimmed; an existing longer file is truncated.
    {
        TempFolder folder;
        const std::wstring wideName = L"  \x9884\x89C8\x56FE.gif";  // "  预览图.gif"
        WriteFileBytes(folder.path() + L"\\" + wideName, std::string(100000, 'x'));
        const std::string gbkName = "  \xD4\xA4\xC0\xC0\xCD\xBC.gif";
        std::string output;
        EXPECT_TRUE(TranscodeImage(png, kImageFormatGif, folder.Gbk() + "\\" + gbkName, &output));
        EXPECT_EQ(output, expected);
        EXPECT_EQ(ReadFileBytes(folder.path() + L"\\" + wideName), expected);
        EXPECT_EQ(folder.Names().size(), 1u);
    }

    // An unwritable target: the result and output are as without it.
    {
        TempFolder folder;
        std::string output;
        EXPECT_TRUE(TranscodeImage(png, kImageFormatGif, folder.Gbk() + "\\no such folder\\out.gif", &output));
        EXPECT_EQ(output, expected);
        EXPECT_TRUE(folder.Names().empty());
        output.clear();
        EXPECT_TRUE(TranscodeImage(png, kImageFormatGif, folder.Gbk() + "\\bad|name?.gif", &output));
        EXPECT_EQ(output, expected);
        // No output asked for: the file is still written.
        EXPECT_TRUE(TranscodeImage(png, kImageFormatPng, folder.Gbk() + "\\only-file.png"));
        EXPECT_TRUE(HasSignatureOf(ReadFileBytes(folder.path() + L"\\only-file.png"), kImageFormatPng));
    }
}

TEST(TranscodeImage, BlankNamesAreSpacesAndIdeographicSpacesOnly) {
    const struct {
        std::string text;
        bool blank;
    } cases[] = {
        {"", true},
        {" ", true},
        {"\xA1\xA1", true},
        {"  \xA1\xA1 \xA1\xA1 ", true},
        {std::string("  \0abc", 6), true},  // a text ends at its first zero byte
        {"\t", false},
        {" \r\n ", false},
        {"a", false},
        {"\xA1", false},
        {"\xB0\xA1\xA1", false},  // a character B0 A1 and a lone A1
        {" \xB0\xA1 ", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsBlankFileName(c.text), c.blank) << c.text;
}

TEST(GbkToUtf16, Conversions) {
    const struct {
        std::string text;
        bool dropTerminator;
        std::string expected;
    } cases[] = {
        {"", false, ""},
        {"", true, ""},
        {"A", false, std::string("A\0\0\0", 4)},
        {"A", true, std::string("A\0", 2)},
        {"\xD6\xD0", false, std::string("\x2D\x4E\0\0", 4)},  // 中
        {"\xD6\xD0", true, std::string("\x2D\x4E", 2)},
        {"a\xD6\xD0z", true, std::string("a\0\x2D\x4Ez\0", 6)},
        {std::string("A\0B", 3), false, std::string("A\0\0\0", 4)},
        {"{557CF402-1A04-11D3-9A73-0000F81EF32E}", true,
         [] {
             std::string s;
             for (char c : std::string("{557CF402-1A04-11D3-9A73-0000F81EF32E}")) s += std::string{c, '\0'};
             return s;
         }()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GbkToUtf16(c.text, c.dropTerminator), c.expected) << c.text << " drop=" << c.dropTerminator;
    }
}

std::string ReadSourceFile(const std::string& relative) {
    std::ifstream in(std::string(QUORVEL_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(TranscodeImage, HostileCorpusNeitherCrashesNorHangs) {
    std::istringstream manifest(ReadSourceFile("tests/data/hostile/MANIFEST"));
    std::string name, expected;
    int files = 0;
    while (manifest >> name >> expected) {
        SCOPED_TRACE(name);
        const std::string bytes = ReadSourceFile("tests/data/hostile/" + name);
        for (int format : {kImageFormatGif, kImageFormatPng}) {
            std::string output = "untouched";
            const bool encoded = TranscodeImage(bytes, format, {}, &output);
            if (expected == "refused") EXPECT_FALSE(encoded);
            if (encoded) {
                const Decoded d = Decode(output);
                EXPECT_TRUE(d.ok);
                EXPECT_LE(d.width, 8192u);
                EXPECT_LE(d.height, 8192u);
            } else {
                EXPECT_EQ(output, "untouched");
            }
        }
        ++files;
    }
    EXPECT_GT(files, 30);
}

TEST(TranscodeImage, DamagedPicturesNeverCrash) {
    // Seeded byte damage to valid pictures of every input kind.
    std::mt19937 random(20261211);
    for (int format = kImageFormatBmp; format <= kImageFormatPng; ++format) {
        const std::string good = FixtureBytes(format);
        for (int round = 0; round < 40; ++round) {
            std::string bad = good;
            const int flips = 1 + static_cast<int>(random() % 8);
            for (int i = 0; i < flips; ++i) bad[random() % bad.size()] = static_cast<char>(random());
            if (round % 5 == 0) bad.resize(random() % bad.size());
            std::string output;
            if (TranscodeImage(bad, kImageFormatGif, {}, &output)) {
                EXPECT_TRUE(Decode(output).ok) << FormatName(format) << " round " << round;
            }
        }
    }
}

TEST(TranscodeImage, PicturesBeyondTheSizeLimitAreRefused) {
    GdiplusSession gdiplus;
    for (const auto& size : {std::pair<int, int>{8192, 2}, {8193, 2}, {2, 8193}}) {
        GdipImage bitmap;
        ASSERT_EQ(flat::GdipCreateBitmapFromScan0(size.first, size.second, 0, PixelFormat24bppRGB, nullptr,
                                                  bitmap.putBitmap()),
                  gp::Ok);
        const std::string png = Encode(bitmap.get(), kImageFormatPng);
        ASSERT_FALSE(png.empty());
        std::string output;
        EXPECT_EQ(TranscodeImage(png, kImageFormatGif, {}, &output), size.first <= 8192 && size.second <= 8192)
            << size.first << "x" << size.second;
    }
}

TEST(TranscodeImage, RepeatedCallsDoNotLeak) {
    // Each call makes GDI+ objects, two streams and their blocks; a leak of
    // any of them grows the process by at least the picture's size per call.
    constexpr int w = 256, h = 256;
    std::vector<std::uint32_t> pixels(w * h);
    for (int i = 0; i < w * h; ++i) pixels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    std::string bmp;
    {
        GdiplusSession gdiplus;
        GdipImage bitmap;
        flat::GdipCreateBitmapFromScan0(w, h, w * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(pixels.data()),
                                        bitmap.putBitmap());
        bmp = Encode(bitmap.get(), kImageFormatBmp);
    }
    auto usage = [] {
        PROCESS_MEMORY_COUNTERS counters{};
        GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
        return counters.PagefileUsage;
    };
    std::string output;
    for (int i = 0; i < 5; ++i) TranscodeImage(bmp, kImageFormatGif, {}, &output);  // warm up
    const SIZE_T before = usage();
    const DWORD handlesBefore = [] { DWORD n = 0; GetProcessHandleCount(GetCurrentProcess(), &n); return n; }();
    for (int i = 0; i < 60; ++i) {
        ASSERT_TRUE(TranscodeImage(bmp, i % 2 ? kImageFormatGif : kImageFormatPng, {}, &output));
    }
    const SIZE_T after = usage();
    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    // 60 leaked input copies alone would be 60 x 256 KiB = 15 MiB.
    EXPECT_LT(after > before ? after - before : 0, 4u << 20);
    EXPECT_LE(handlesAfter, handlesBefore + 2);
}

}  // namespace
}  // namespace quorvel
