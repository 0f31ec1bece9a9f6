#include "preview/color_quantizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

namespace quorvel {
namespace {

// A BGRA picture with a row stride that may be larger than 4 x width.
struct Picture {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<std::uint8_t> bytes;

    Picture(int w, int h, int padding = 0) : width(w), height(h), stride(w * 4 + padding) {
        bytes.assign(static_cast<std::size_t>(stride) * (h > 0 ? h : 0) + 1, 0xCD);
    }
    void Set(int x, int y, std::uint32_t argb) {
        std::uint8_t* p = &bytes[static_cast<std::size_t>(y) * stride + x * 4];
        p[0] = static_cast<std::uint8_t>(argb);
        p[1] = static_cast<std::uint8_t>(argb >> 8);
        p[2] = static_cast<std::uint8_t>(argb >> 16);
        p[3] = static_cast<std::uint8_t>(argb >> 24);
    }
    std::uint32_t Get(int x, int y) const {
        const std::uint8_t* p = &bytes[static_cast<std::size_t>(y) * stride + x * 4];
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    QuantizedImage Quantize(const QuantizerOptions& options = {}) const {
        return QuantizeImage(bytes.data(), width, height, stride, options);
    }
};

// A smooth diagonal gradient over all three channels: far more than 256
// colours, and the kind of picture where banding shows without dithering.
Picture Gradient(int w, int h) {
    Picture p(w, h, 8);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t r = static_cast<std::uint32_t>(x * 255 / (w - 1));
            const std::uint32_t g = static_cast<std::uint32_t>(y * 255 / (h - 1));
            const std::uint32_t b = static_cast<std::uint32_t>((x + y) * 255 / (w + h - 2));
            p.Set(x, y, 0xFF000000u | r << 16 | g << 8 | b);
        }
    }
    return p;
}

double Psnr(const Picture& source, const QuantizedImage& q) {
    double sum = 0;
    for (int y = 0; y < source.height; ++y) {
        for (int x = 0; x < source.width; ++x) {
            const std::uint32_t a = source.Get(x, y);
            const std::uint32_t b = q.palette[q.indices[static_cast<std::size_t>(y) * q.width + x]];
            for (int shift = 0; shift < 24; shift += 8) {
                const double d = static_cast<double>((a >> shift) & 0xFF) - ((b >> shift) & 0xFF);
                sum += d * d;
            }
        }
    }
    const double mse = sum / (3.0 * source.width * source.height);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

void ExpectWellFormed(const QuantizedImage& q, int width, int height) {
    ASSERT_EQ(q.width, width);
    ASSERT_EQ(q.height, height);
    ASSERT_EQ(q.indices.size(), static_cast<std::size_t>(width) * height);
    ASSERT_GE(q.palette.size(), 1u);
    ASSERT_LE(q.palette.size(), 256u);
    for (std::uint8_t index : q.indices) ASSERT_LT(index, q.palette.size());
}

TEST(ColorQuantizer, PicturesWithFewColoursKeepTheirExactColours) {
    // 256 distinct colours spread over the cube (one per pixel, some repeated),
    // in a picture with padded rows.
    Picture p(40, 13, 12);
    std::vector<std::uint32_t> colours;
    for (std::uint32_t i = 0; i < 256; ++i) {
        colours.push_back(0xFF000000u | ((i * 97u) & 0xFF) << 16 | ((i * 31u + 7u) & 0xFF) << 8 |
                          (i ^ 0x5Au));
    }
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) p.Set(x, y, colours[(y * p.width + x) % 256]);
    }
    const QuantizedImage q = p.Quantize();
    ExpectWellFormed(q, p.width, p.height);
    EXPECT_EQ(q.transparentIndex, -1);
    EXPECT_EQ(q.palette.size(), 256u);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            ASSERT_EQ(q.palette[q.indices[static_cast<std::size_t>(y) * p.width + x]], p.Get(x, y))
                << "at " << x << "," << y;
        }
    }
}

TEST(ColorQuantizer, TransparentPixelsMapToTheOneTransparentEntry) {
    Picture p = Gradient(64, 48);
    // A block of fully and partly transparent pixels; alpha 200 stays opaque.
    for (int y = 10; y < 20; ++y) {
        for (int x = 5; x < 30; ++x) p.Set(x, y, (x % 2 ? 0x00FFFFFFu : 0x7F102030u));
    }
    p.Set(40, 40, 0xC8112233u);
    const QuantizedImage q = p.Quantize();
    ExpectWellFormed(q, p.width, p.height);
    ASSERT_GE(q.transparentIndex, 0);
    EXPECT_EQ(q.palette[q.transparentIndex] >> 24, 0u);
    int opaqueEntriesWithAlpha = 0;
    for (std::size_t i = 0; i < q.palette.size(); ++i) {
        if (static_cast<int>(i) != q.transparentIndex && (q.palette[i] >> 24) != 0xFF) ++opaqueEntriesWithAlpha;
    }
    EXPECT_EQ(opaqueEntriesWithAlpha, 0);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const bool transparent = (p.Get(x, y) >> 24) < 128;
            EXPECT_EQ(q.indices[static_cast<std::size_t>(y) * p.width + x] == q.transparentIndex, transparent)
                << "at " << x << "," << y;
        }
    }
}

TEST(ColorQuantizer, FewColoursWithTransparencyStillFitExactly) {
    // 255 opaque colours plus transparency need all 256 entries.
    Picture p(256, 1);
    for (int x = 0; x < 255; ++x) p.Set(x, 0, 0xFF000000u | static_cast<std::uint32_t>(x) << 8);
    p.Set(255, 0, 0);
    const QuantizedImage q = p.Quantize();
    ASSERT_EQ(q.palette.size(), 256u);
    EXPECT_EQ(q.transparentIndex, 255);
    for (int x = 0; x < 255; ++x) EXPECT_EQ(q.palette[q.indices[x]], p.Get(x, 0));
    // One more opaque colour no longer fits: the picture is quantised, the
    // transparent entry is kept.
    Picture wider(257, 1);
    for (int x = 0; x < 256; ++x) wider.Set(x, 0, 0xFF000000u | static_cast<std::uint32_t>(x) << 8);
    wider.Set(256, 0, 0);
    const QuantizedImage w = wider.Quantize();
    ExpectWellFormed(w, 257, 1);
    EXPECT_EQ(w.indices[256], w.transparentIndex);
    EXPECT_GT(Psnr(wider, w) , 40.0);  // only the transparent pixel's colour is lost
}

TEST(ColorQuantizer, GradientIsDitheredWithinAnErrorBound) {
    const Picture p = Gradient(257, 131);
    const QuantizedImage dithered = p.Quantize();
    ExpectWellFormed(dithered, p.width, p.height);
    EXPECT_EQ(dithered.palette.size(), 256u);
    const std::set<std::uint32_t> distinct(dithered.palette.begin(), dithered.palette.end());
    EXPECT_GT(distinct.size(), 200u);  // the palette is put to use
    // 256 colours spread over this 2-D surface of the cube leave cells of
    // about 16 x 16 levels: PSNR near 33 dB dithered, 35 dB undithered.
    EXPECT_GT(Psnr(p, dithered), 32.0);

    QuantizerOptions plain;
    plain.dither = false;
    const QuantizedImage nearest = p.Quantize(plain);
    EXPECT_GT(Psnr(p, nearest), 34.5);

    // Dithering keeps each region's average colour: over 8x8 blocks the mean
    // of the dithered result stays close to the source, much closer than the
    // banded nearest-colour mapping.
    auto meanBlockError = [&](const QuantizedImage& q) {
        double total = 0;
        int blocks = 0;
        for (int by = 0; by + 8 <= p.height; by += 8) {
            for (int bx = 0; bx + 8 <= p.width; bx += 8) {
                for (int shift = 0; shift < 24; shift += 8) {
                    double diff = 0;
                    for (int y = by; y < by + 8; ++y) {
                        for (int x = bx; x < bx + 8; ++x) {
                            diff += static_cast<double>((p.Get(x, y) >> shift) & 0xFF) -
                                    ((q.palette[q.indices[static_cast<std::size_t>(y) * p.width + x]] >> shift) & 0xFF);
                        }
                    }
                    total += std::fabs(diff / 64);
                    ++blocks;
                }
            }
        }
        return total / blocks;
    };
    const double ditheredError = meanBlockError(dithered);
    const double nearestError = meanBlockError(nearest);
    EXPECT_LT(ditheredError, 1.0);
    EXPECT_LT(ditheredError * 2, nearestError);
}

TEST(ColorQuantizer, OddSizesAndBottomUpRows) {
    for (const auto& size : {std::pair<int, int>{1, 1}, {1, 300}, {300, 1}, {3, 7}}) {
        const Picture p = Gradient(std::max(size.first, 2), std::max(size.second, 2));
        Picture cut(size.first, size.second);
        for (int y = 0; y < size.second; ++y) {
            for (int x = 0; x < size.first; ++x) cut.Set(x, y, p.Get(x, y));
        }
        const QuantizedImage q = cut.Quantize();
        ExpectWellFormed(q, size.first, size.second);
        EXPECT_GT(Psnr(cut, q), 40.0) << size.first << "x" << size.second;
    }
    // A negative stride walks the rows bottom-up: row 0 of the result is the
    // last row in memory.
    Picture p(2, 2);
    p.Set(0, 0, 0xFFFF0000u);
    p.Set(1, 0, 0xFFFF0000u);
    p.Set(0, 1, 0xFF0000FFu);
    p.Set(1, 1, 0xFF0000FFu);
    const QuantizedImage q = QuantizeImage(p.bytes.data() + p.stride, 2, 2, -p.stride);
    ASSERT_EQ(q.indices.size(), 4u);
    EXPECT_EQ(q.palette[q.indices[0]], 0xFF0000FFu);
    EXPECT_EQ(q.palette[q.indices[3]], 0xFFFF0000u);
}

TEST(ColorQuantizer, EmptyPicturesYieldNothing) {
    const std::uint8_t pixel[4] = {1, 2, 3, 255};
    for (const auto& size : {std::pair<int, int>{0, 0}, {0, 5}, {5, 0}, {-1, 3}}) {
        const QuantizedImage q = QuantizeImage(pixel, size.first, size.second, 4);
        EXPECT_TRUE(q.palette.empty());
        EXPECT_TRUE(q.indices.empty());
    }
    EXPECT_TRUE(QuantizeImage(nullptr, 3, 3, 12).indices.empty());
}

TEST(ColorQuantizer, AFullyTransparentPictureHasOnlyTheTransparentEntry) {
    Picture p(5, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) p.Set(x, y, 0x10FF00FFu);
    }
    const QuantizedImage q = p.Quantize();
    ASSERT_EQ(q.palette.size(), 1u);
    EXPECT_EQ(q.transparentIndex, 0);
    for (std::uint8_t index : q.indices) EXPECT_EQ(index, 0);
}

TEST(ColorQuantizer, SmallerPaletteLimitsAreKept) {
    const Picture p = Gradient(100, 60);
    QuantizerOptions options;
    options.maxColors = 16;
    const QuantizedImage q = p.Quantize(options);
    ExpectWellFormed(q, 100, 60);
    EXPECT_LE(q.palette.size(), 16u);
    EXPECT_GT(Psnr(p, q), 20.0);
}

}  // namespace
}  // namespace quorvel
