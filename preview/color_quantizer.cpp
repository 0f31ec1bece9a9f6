#include "preview/color_quantizer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace quorvel {
namespace {

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
};

inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

inline std::uint32_t OpaqueArgb(const Rgb& c) {
    return 0xFF000000u | (static_cast<std::uint32_t>(c.r) << 16) |
           (static_cast<std::uint32_t>(c.g) << 8) | static_cast<std::uint32_t>(c.b);
}

// ---------------------------------------------------------------------------
// Exact colours: a small open-addressing set of at most `limit` RGB values.
class SmallColorSet {
public:
    explicit SmallColorSet(int limit) : limit_(limit) { slots_.fill(kEmpty); }

    // Adds `rgb` (0xRRGGBB); false once more than `limit` colours were seen.
    bool Add(std::uint32_t rgb) {
        std::uint32_t slot = Hash(rgb);
        while (slots_[slot] != kEmpty) {
            if (slots_[slot] == rgb) return true;
            slot = (slot + 1) & (kSlots - 1);
        }
        if (static_cast<int>(colors_.size()) >= limit_) return false;
        slots_[slot] = rgb;
        indexOf_[slot] = static_cast<std::uint8_t>(colors_.size());
        colors_.push_back(rgb);
        return true;
    }

    std::uint8_t IndexOf(std::uint32_t rgb) const {
        std::uint32_t slot = Hash(rgb);
        while (slots_[slot] != rgb) slot = (slot + 1) & (kSlots - 1);
        return indexOf_[slot];
    }

    const std::vector<std::uint32_t>& Colors() const { return colors_; }

private:
    static constexpr std::uint32_t kSlots = 1024;  // >= 4 x 256: short probe runs
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;  // never a 24-bit colour
    static std::uint32_t Hash(std::uint32_t rgb) { return (rgb * 2654435761u) >> 22; }

    int limit_;
    std::array<std::uint32_t, kSlots> slots_{};
    std::array<std::uint8_t, kSlots> indexOf_{};
    std::vector<std::uint32_t> colors_;
};

// ---------------------------------------------------------------------------
// Nearest palette entry by squared RGB distance, exact. The colour cube is
// split into cells; for each cell that is asked about, the entries that can
// be nearest to some point of the cell are listed once, so a lookup compares
// only a handful of entries. An entry whose smallest distance to the cell
// exceeds the largest distance of some other entry to the cell can never
// win. Lists are made in two levels: 8^3 coarse cells from the whole
// palette, and 32^3 fine cells from their coarse cell's list (every point of
// a fine cell lies in its coarse cell, so its nearest entry is on that list).
class NearestColorFinder {
public:
    explicit NearestColorFinder(const std::vector<Rgb>& palette)
        : palette_(palette) {
        for (int level = 0; level < kLevels; ++level) {
            const std::size_t cells = static_cast<std::size_t>(256 >> kShift[level]);
            lists_[level].resize(cells * cells * cells);
        }
        pool_.reserve(16384);
    }

    int Find(int r, int g, int b) {
        const List& list = ListFor(kLevels - 1, r, g, b);
        const Candidate* candidate = pool_.data() + list.start;
        const Candidate* const end = candidate + list.count;
        int best = candidate->index;
        int bestDistance = std::numeric_limits<int>::max();
        // Candidates come in order of their smallest possible distance to
        // the cell; once that exceeds the best distance, none can win.
        for (; candidate != end && candidate->minDistance < bestDistance; ++candidate) {
            const Rgb& p = palette_[candidate->index];
            const int dr = r - p.r;
            const int dg = g - p.g;
            const int db = b - p.b;
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) {
                bestDistance = d;
                best = candidate->index;
            }
        }
        return best;
    }

private:
    static constexpr int kLevels = 3;
    static constexpr int kShift[kLevels] = {5, 4, 3};  // cell sides 32, 16 and 8

    struct Candidate {
        std::int32_t minDistance;  // to the cell the list belongs to
        std::int32_t index;
    };
    struct List {
        std::int32_t start = -1;  // offset into pool_, -1 until made
        std::int32_t count = 0;
    };

    static int AxisMin(int p, int lo, int hi) {
        const int d = p < lo ? lo - p : (p > hi ? p - hi : 0);
        return d * d;
    }
    static int AxisMax(int p, int lo, int hi) {
        const int d = std::max(std::abs(p - lo), std::abs(p - hi));
        return d * d;
    }

    // Lists into pool_ those of `from` that may be nearest within the box
    // whose low corner is (r, g, b) and whose side is 2^shift, nearest first.
    List MakeList(const std::uint8_t* from, int n, int r, int g, int b, int shift) {
        const int span = (1 << shift) - 1;
        int threshold = std::numeric_limits<int>::max();
        for (int i = 0; i < n; ++i) {
            const Rgb& p = palette_[from[i]];
            const int far = AxisMax(p.r, r, r + span) + AxisMax(p.g, g, g + span) +
                            AxisMax(p.b, b, b + span);
            threshold = std::min(threshold, far);
        }
        List list;
        list.start = static_cast<std::int32_t>(pool_.size());
        for (int i = 0; i < n; ++i) {
            const Rgb& p = palette_[from[i]];
            const int near = AxisMin(p.r, r, r + span) + AxisMin(p.g, g, g + span) +
                             AxisMin(p.b, b, b + span);
            if (near <= threshold) pool_.push_back(Candidate{near, from[i]});
        }
        list.count = static_cast<std::int32_t>(pool_.size()) - list.start;
        std::stable_sort(pool_.begin() + list.start, pool_.end(),
                         [](const Candidate& a, const Candidate& b) {
                             return a.minDistance < b.minDistance;
                         });
        return list;
    }

    // The list of the level-`level` cell holding (r, g, b), made on first use
    // from the list of the cell one level up (or the whole palette).
    const List& ListFor(int level, int r, int g, int b) {
        const int shift = kShift[level];
        const int cells = 256 >> shift;
        const int index = ((r >> shift) * cells + (g >> shift)) * cells + (b >> shift);
        List& list = lists_[level][index];
        if (list.start >= 0) return list;
        std::array<std::uint8_t, 256> from;
        int n = 0;
        if (level == 0) {
            n = static_cast<int>(palette_.size());
            for (int i = 0; i < n; ++i) from[i] = static_cast<std::uint8_t>(i);
        } else {
            // Copied out: making the new list may grow the pool.
            const List& up = ListFor(level - 1, r, g, b);
            n = up.count;
            for (int i = 0; i < n; ++i) from[i] = static_cast<std::uint8_t>(pool_[up.start + i].index);
        }
        const int mask = ~((1 << shift) - 1);
        list = MakeList(from.data(), n, r & mask, g & mask, b & mask, shift);
        return list;
    }

    const std::vector<Rgb>& palette_;
    std::array<std::vector<List>, kLevels> lists_;
    std::vector<Candidate> pool_;
};

// ---------------------------------------------------------------------------
// Colour histogram at 6 bits per channel with exact sums, so each occupied
// bin knows the mean of the colours that fell into it.
struct ColorSample {
    double r, g, b;  // mean colour of the bin
    double weight;   // number of pixels
};

// ---------------------------------------------------------------------------
// Wu's colour quantiser (variance-minimising cuts of the RGB cube) on a
// 32^3 grid of cumulative moments.
class WuQuantizer {
public:
    explicit WuQuantizer(const std::vector<ColorSample>& samples)
        : wt_(kSize, 0.0), mr_(kSize, 0.0), mg_(kSize, 0.0), mb_(kSize, 0.0), m2_(kSize, 0.0) {
        for (const ColorSample& s : samples) {
            const int ir = (Clamp255(static_cast<int>(s.r)) >> 3) + 1;
            const int ig = (Clamp255(static_cast<int>(s.g)) >> 3) + 1;
            const int ib = (Clamp255(static_cast<int>(s.b)) >> 3) + 1;
            const int i = Index(ir, ig, ib);
            wt_[i] += s.weight;
            mr_[i] += s.weight * s.r;
            mg_[i] += s.weight * s.g;
            mb_[i] += s.weight * s.b;
            m2_[i] += s.weight * (s.r * s.r + s.g * s.g + s.b * s.b);
        }
        Accumulate();
    }

    std::vector<ColorSample> Palette(int maxColors) {
        std::vector<Box> cubes(static_cast<std::size_t>(maxColors));
        std::vector<double> vv(static_cast<std::size_t>(maxColors), 0.0);
        cubes[0] = Box{0, kSide - 1, 0, kSide - 1, 0, kSide - 1};
        int count = 1;
        int next = 0;
        while (count < maxColors) {
            if (Cut(cubes[next], cubes[count])) {
                vv[next] = cubes[next].volume > 1 ? Variance(cubes[next]) : 0.0;
                vv[count] = cubes[count].volume > 1 ? Variance(cubes[count]) : 0.0;
                ++count;
            } else {
                vv[next] = 0.0;
            }
            next = 0;
            double best = vv[0];
            for (int k = 1; k < count; ++k) {
                if (vv[k] > best) {
                    best = vv[k];
                    next = k;
                }
            }
            if (best <= 0.0) break;
        }
        std::vector<ColorSample> palette;
        for (int k = 0; k < count; ++k) {
            const double w = Volume(cubes[k], wt_);
            if (w <= 0.0) continue;
            palette.push_back(ColorSample{Volume(cubes[k], mr_) / w, Volume(cubes[k], mg_) / w,
                                          Volume(cubes[k], mb_) / w, w});
        }
        return palette;
    }

private:
    static constexpr int kSide = 33;
    static constexpr int kSize = kSide * kSide * kSide;
    enum Axis { kRed, kGreen, kBlue };

    struct Box {
        int r0, r1, g0, g1, b0, b1;  // lower bounds exclusive, upper inclusive
        int volume = 0;
    };

    static int Index(int r, int g, int b) { return (r * kSide + g) * kSide + b; }

    void Accumulate() {
        std::array<double, kSide> areaW{}, areaR{}, areaG{}, areaB{}, area2{};
        for (int r = 1; r < kSide; ++r) {
            areaW.fill(0);
            areaR.fill(0);
            areaG.fill(0);
            areaB.fill(0);
            area2.fill(0);
            for (int g = 1; g < kSide; ++g) {
                double lineW = 0, lineR = 0, lineG = 0, lineB = 0, line2 = 0;
                for (int b = 1; b < kSide; ++b) {
                    const int i = Index(r, g, b);
                    lineW += wt_[i];
                    lineR += mr_[i];
                    lineG += mg_[i];
                    lineB += mb_[i];
                    line2 += m2_[i];
                    areaW[b] += lineW;
                    areaR[b] += lineR;
                    areaG[b] += lineG;
                    areaB[b] += lineB;
                    area2[b] += line2;
                    const int up = Index(r - 1, g, b);
                    wt_[i] = wt_[up] + areaW[b];
                    mr_[i] = mr_[up] + areaR[b];
                    mg_[i] = mg_[up] + areaG[b];
                    mb_[i] = mb_[up] + areaB[b];
                    m2_[i] = m2_[up] + area2[b];
                }
            }
        }
    }

    static double Volume(const Box& c, const std::vector<double>& m) {
        return m[Index(c.r1, c.g1, c.b1)] - m[Index(c.r1, c.g1, c.b0)] -
               m[Index(c.r1, c.g0, c.b1)] + m[Index(c.r1, c.g0, c.b0)] -
               m[Index(c.r0, c.g1, c.b1)] + m[Index(c.r0, c.g1, c.b0)] +
               m[Index(c.r0, c.g0, c.b1)] - m[Index(c.r0, c.g0, c.b0)];
    }

    // Part of Volume that does not depend on the cut position along `axis`.
    static double Bottom(const Box& c, Axis axis, const std::vector<double>& m) {
        switch (axis) {
            case kRed:
                return -m[Index(c.r0, c.g1, c.b1)] + m[Index(c.r0, c.g1, c.b0)] +
                       m[Index(c.r0, c.g0, c.b1)] - m[Index(c.r0, c.g0, c.b0)];
            case kGreen:
                return -m[Index(c.r1, c.g0, c.b1)] + m[Index(c.r1, c.g0, c.b0)] +
                       m[Index(c.r0, c.g0, c.b1)] - m[Index(c.r0, c.g0, c.b0)];
            case kBlue:
            default:
                return -m[Index(c.r1, c.g1, c.b0)] + m[Index(c.r1, c.g0, c.b0)] +
                       m[Index(c.r0, c.g1, c.b0)] - m[Index(c.r0, c.g0, c.b0)];
        }
    }

    static double Top(const Box& c, Axis axis, int pos, const std::vector<double>& m) {
        switch (axis) {
            case kRed:
                return m[Index(pos, c.g1, c.b1)] - m[Index(pos, c.g1, c.b0)] -
                       m[Index(pos, c.g0, c.b1)] + m[Index(pos, c.g0, c.b0)];
            case kGreen:
                return m[Index(c.r1, pos, c.b1)] - m[Index(c.r1, pos, c.b0)] -
                       m[Index(c.r0, pos, c.b1)] + m[Index(c.r0, pos, c.b0)];
            case kBlue:
            default:
                return m[Index(c.r1, c.g1, pos)] - m[Index(c.r1, c.g0, pos)] -
                       m[Index(c.r0, c.g1, pos)] + m[Index(c.r0, c.g0, pos)];
        }
    }

    double Variance(const Box& c) const {
        const double dr = Volume(c, mr_);
        const double dg = Volume(c, mg_);
        const double db = Volume(c, mb_);
        const double w = Volume(c, wt_);
        if (w <= 0.0) return 0.0;
        return Volume(c, m2_) - (dr * dr + dg * dg + db * db) / w;
    }

    // Best cut of `c` along `axis` between `first` and `last`; returns the
    // score (larger is better) and the position in `cut` (-1 when none).
    double Maximize(const Box& c, Axis axis, int first, int last, int* cut, double wholeR,
                    double wholeG, double wholeB, double wholeW) const {
        const double baseR = Bottom(c, axis, mr_);
        const double baseG = Bottom(c, axis, mg_);
        const double baseB = Bottom(c, axis, mb_);
        const double baseW = Bottom(c, axis, wt_);
        double best = 0.0;
        *cut = -1;
        for (int i = first; i < last; ++i) {
            double halfR = baseR + Top(c, axis, i, mr_);
            double halfG = baseG + Top(c, axis, i, mg_);
            double halfB = baseB + Top(c, axis, i, mb_);
            double halfW = baseW + Top(c, axis, i, wt_);
            if (halfW <= 0.0) continue;
            double score = (halfR * halfR + halfG * halfG + halfB * halfB) / halfW;
            halfR = wholeR - halfR;
            halfG = wholeG - halfG;
            halfB = wholeB - halfB;
            halfW = wholeW - halfW;
            if (halfW <= 0.0) continue;
            score += (halfR * halfR + halfG * halfG + halfB * halfB) / halfW;
            if (score > best) {
                best = score;
                *cut = i;
            }
        }
        return best;
    }

    bool Cut(Box& a, Box& b) const {
        const double wholeR = Volume(a, mr_);
        const double wholeG = Volume(a, mg_);
        const double wholeB = Volume(a, mb_);
        const double wholeW = Volume(a, wt_);
        int cutR = -1, cutG = -1, cutB = -1;
        const double maxR = Maximize(a, kRed, a.r0 + 1, a.r1, &cutR, wholeR, wholeG, wholeB, wholeW);
        const double maxG =
            Maximize(a, kGreen, a.g0 + 1, a.g1, &cutG, wholeR, wholeG, wholeB, wholeW);
        const double maxB = Maximize(a, kBlue, a.b0 + 1, a.b1, &cutB, wholeR, wholeG, wholeB, wholeW);
        Axis axis;
        if (maxR >= maxG && maxR >= maxB) {
            if (cutR < 0) return false;
            axis = kRed;
        } else if (maxG >= maxR && maxG >= maxB) {
            if (cutG < 0) return false;
            axis = kGreen;
        } else {
            if (cutB < 0) return false;
            axis = kBlue;
        }
        b.r1 = a.r1;
        b.g1 = a.g1;
        b.b1 = a.b1;
        switch (axis) {
            case kRed:
                b.r0 = a.r1 = cutR;
                b.g0 = a.g0;
                b.b0 = a.b0;
                break;
            case kGreen:
                b.g0 = a.g1 = cutG;
                b.r0 = a.r0;
                b.b0 = a.b0;
                break;
            case kBlue:
                b.b0 = a.b1 = cutB;
                b.r0 = a.r0;
                b.g0 = a.g0;
                break;
        }
        a.volume = (a.r1 - a.r0) * (a.g1 - a.g0) * (a.b1 - a.b0);
        b.volume = (b.r1 - b.r0) * (b.g1 - b.g0) * (b.b1 - b.b0);
        return true;
    }

    std::vector<double> wt_, mr_, mg_, mb_, m2_;
};

// ---------------------------------------------------------------------------

inline const std::uint8_t* RowAt(const std::uint8_t* pixels, std::ptrdiff_t stride, int y) {
    return pixels + stride * static_cast<std::ptrdiff_t>(y);
}

std::vector<ColorSample> CollectSamples(const std::uint8_t* pixels, int width, int height,
                                        std::ptrdiff_t stride, std::uint8_t alphaThreshold) {
    constexpr int kBins = 64 * 64 * 64;
    struct Bin {
        std::uint64_t n, r, g, b;
    };
    std::vector<Bin> bins(kBins, Bin{0, 0, 0, 0});
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = RowAt(pixels, stride, y);
        for (int x = 0; x < width; ++x, p += 4) {
            if (p[3] < alphaThreshold) continue;
            Bin& bin = bins[((p[2] >> 2) << 12) | ((p[1] >> 2) << 6) | (p[0] >> 2)];
            ++bin.n;
            bin.r += p[2];
            bin.g += p[1];
            bin.b += p[0];
        }
    }
    std::vector<ColorSample> samples;
    for (const Bin& bin : bins) {
        if (bin.n == 0) continue;
        const double n = static_cast<double>(bin.n);
        samples.push_back(ColorSample{static_cast<double>(bin.r) / n,
                                      static_cast<double>(bin.g) / n,
                                      static_cast<double>(bin.b) / n, n});
    }
    return samples;
}

std::vector<Rgb> RoundPalette(const std::vector<ColorSample>& centres) {
    std::vector<Rgb> palette;
    palette.reserve(centres.size());
    for (const ColorSample& c : centres) {
        palette.push_back(Rgb{Clamp255(static_cast<int>(std::lround(c.r))),
                              Clamp255(static_cast<int>(std::lround(c.g))),
                              Clamp255(static_cast<int>(std::lround(c.b)))});
    }
    return palette;
}

// Weighted k-means (Lloyd) passes over the histogram samples, starting from
// Wu's centres. Each pass cannot increase the total squared error.
void RefineCentres(const std::vector<ColorSample>& samples, std::vector<ColorSample>& centres) {
    constexpr int kMaxPasses = 6;
    const std::size_t k = centres.size();
    std::vector<double> sumR(k), sumG(k), sumB(k), sumW(k);
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        const std::vector<Rgb> palette = RoundPalette(centres);
        NearestColorFinder finder(palette);
        std::fill(sumR.begin(), sumR.end(), 0.0);
        std::fill(sumG.begin(), sumG.end(), 0.0);
        std::fill(sumB.begin(), sumB.end(), 0.0);
        std::fill(sumW.begin(), sumW.end(), 0.0);
        for (const ColorSample& s : samples) {
            const int i = finder.Find(Clamp255(static_cast<int>(std::lround(s.r))),
                                      Clamp255(static_cast<int>(std::lround(s.g))),
                                      Clamp255(static_cast<int>(std::lround(s.b))));
            sumR[i] += s.weight * s.r;
            sumG[i] += s.weight * s.g;
            sumB[i] += s.weight * s.b;
            sumW[i] += s.weight;
        }
        double moved = 0.0;
        for (std::size_t i = 0; i < k; ++i) {
            if (sumW[i] <= 0.0) continue;
            const ColorSample next{sumR[i] / sumW[i], sumG[i] / sumW[i], sumB[i] / sumW[i],
                                   sumW[i]};
            moved = std::max(moved, std::fabs(next.r - centres[i].r) +
                                        std::fabs(next.g - centres[i].g) +
                                        std::fabs(next.b - centres[i].b));
            centres[i] = next;
        }
        if (moved < 0.5) break;
    }
}

// Serpentine Floyd-Steinberg: the error of each pixel (in 1/16 units) goes
// 7/16 ahead, 3/16 behind-below, 5/16 below and 1/16 ahead-below.
void MapDithered(const std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride,
                 std::uint8_t alphaThreshold, const std::vector<Rgb>& palette,
                 int transparentIndex, std::uint8_t* out) {
    NearestColorFinder finder(palette);
    const std::size_t rowLength = (static_cast<std::size_t>(width) + 2) * 3;
    std::vector<int> current(rowLength, 0), next(rowLength, 0);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = RowAt(pixels, stride, y);
        std::uint8_t* outRow = out + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        std::fill(next.begin(), next.end(), 0);
        const bool forward = (y & 1) == 0;
        const int dir = forward ? 1 : -1;
        for (int step = 0; step < width; ++step) {
            const int x = forward ? step : width - 1 - step;
            const std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;
            if (p[3] < alphaThreshold) {
                outRow[x] = static_cast<std::uint8_t>(transparentIndex);
                continue;
            }
            int* e = &current[static_cast<std::size_t>(x + 1) * 3];
            const int r = Clamp255(p[2] + ((e[0] + 8) >> 4));
            const int g = Clamp255(p[1] + ((e[1] + 8) >> 4));
            const int b = Clamp255(p[0] + ((e[2] + 8) >> 4));
            const int index = finder.Find(r, g, b);
            outRow[x] = static_cast<std::uint8_t>(index);
            const int err[3] = {r - palette[index].r, g - palette[index].g, b - palette[index].b};
            int* ahead = &current[static_cast<std::size_t>(x + 1 + dir) * 3];
            int* behindBelow = &next[static_cast<std::size_t>(x + 1 - dir) * 3];
            int* below = &next[static_cast<std::size_t>(x + 1) * 3];
            int* aheadBelow = &next[static_cast<std::size_t>(x + 1 + dir) * 3];
            for (int c = 0; c < 3; ++c) {
                ahead[c] += err[c] * 7;
                behindBelow[c] += err[c] * 3;
                below[c] += err[c] * 5;
                aheadBelow[c] += err[c];
            }
        }
        current.swap(next);
    }
}

void MapNearest(const std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride,
                std::uint8_t alphaThreshold, const std::vector<Rgb>& palette,
                int transparentIndex, std::uint8_t* out) {
    NearestColorFinder finder(palette);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = RowAt(pixels, stride, y);
        std::uint8_t* o = out + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x, p += 4) {
            o[x] = p[3] < alphaThreshold ? static_cast<std::uint8_t>(transparentIndex)
                                         : static_cast<std::uint8_t>(finder.Find(p[2], p[1], p[0]));
        }
    }
}

}  // namespace

QuantizedImage QuantizeImage(const std::uint8_t* pixels, int width, int height,
                             std::ptrdiff_t stride, const QuantizerOptions& options) {
    QuantizedImage result;
    if (pixels == nullptr || width <= 0 || height <= 0) return result;
    result.width = width;
    result.height = height;
    const int maxColors = std::clamp(options.maxColors, 2, 256);
    const std::uint8_t threshold = options.alphaThreshold;
    result.indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));

    // One pass: is anything transparent, and how many distinct opaque colours?
    bool anyTransparent = false;
    SmallColorSet exact(maxColors);
    bool fitsExactly = true;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = RowAt(pixels, stride, y);
        for (int x = 0; x < width; ++x, p += 4) {
            if (p[3] < threshold) {
                anyTransparent = true;
            } else if (fitsExactly) {
                fitsExactly = exact.Add((static_cast<std::uint32_t>(p[2]) << 16) |
                                        (static_cast<std::uint32_t>(p[1]) << 8) | p[0]);
            }
        }
    }
    const int opaqueLimit = anyTransparent ? maxColors - 1 : maxColors;
    if (fitsExactly && static_cast<int>(exact.Colors().size()) <= opaqueLimit) {
        for (std::uint32_t rgb : exact.Colors()) result.palette.push_back(0xFF000000u | rgb);
        if (anyTransparent) {
            result.transparentIndex = static_cast<int>(result.palette.size());
            result.palette.push_back(0);
        }
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* p = RowAt(pixels, stride, y);
            std::uint8_t* o = result.indices.data() + static_cast<std::size_t>(y) * width;
            for (int x = 0; x < width; ++x, p += 4) {
                o[x] = p[3] < threshold
                           ? static_cast<std::uint8_t>(result.transparentIndex)
                           : exact.IndexOf((static_cast<std::uint32_t>(p[2]) << 16) |
                                           (static_cast<std::uint32_t>(p[1]) << 8) | p[0]);
            }
        }
        return result;
    }

    const std::vector<ColorSample> samples = CollectSamples(pixels, width, height, stride, threshold);
    std::vector<ColorSample> centres = WuQuantizer(samples).Palette(opaqueLimit);
    RefineCentres(samples, centres);
    const std::vector<Rgb> palette = RoundPalette(centres);
    for (const Rgb& c : palette) result.palette.push_back(OpaqueArgb(c));
    if (anyTransparent) {
        result.transparentIndex = static_cast<int>(result.palette.size());
        result.palette.push_back(0);
    }
    if (options.dither) {
        MapDithered(pixels, width, height, stride, threshold, palette, result.transparentIndex,
                    result.indices.data());
    } else {
        MapNearest(pixels, width, height, stride, threshold, palette, result.transparentIndex,
                   result.indices.data());
    }
    return result;
}

}  // namespace quorvel
