#include "preview/image_probe.h"

#include <algorithm>
#include <cstddef>

namespace quorvel {
namespace {

// Bounds-checked little/big-endian readers over the picture bytes; a read
// past the end reports failure instead of touching memory.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }

    bool U8(std::size_t at, std::uint32_t* v) const {
        if (at >= bytes_.size()) return false;
        *v = static_cast<unsigned char>(bytes_[at]);
        return true;
    }
    bool U16(std::size_t at, bool bigEndian, std::uint32_t* v) const {
        if (bytes_.size() < 2 || at > bytes_.size() - 2) return false;
        const std::uint32_t a = Byte(at), b = Byte(at + 1);
        *v = bigEndian ? (a << 8 | b) : (b << 8 | a);
        return true;
    }
    bool U32(std::size_t at, bool bigEndian, std::uint32_t* v) const {
        if (bytes_.size() < 4 || at > bytes_.size() - 4) return false;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            value |= Byte(at + i) << (8 * (bigEndian ? 3 - i : i));
        }
        *v = value;
        return true;
    }
    bool StartsWith(std::size_t at, std::string_view text) const {
        return at <= bytes_.size() && bytes_.substr(at, text.size()) == text;
    }

private:
    std::uint32_t Byte(std::size_t at) const { return static_cast<unsigned char>(bytes_[at]); }

    std::string_view bytes_;
};

ImageHeader Unreadable(ImageKind kind) { return ImageHeader{kind, 0, 0}; }

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);

ImageHeader ProbePng(const ByteReader& in, std::size_t at) {
    ImageHeader h{ImageKind::kPng, 0, 0};
    if (!in.StartsWith(at + 12, "IHDR")) return h;
    std::uint32_t w = 0, ht = 0;
    if (!in.U32(at + 16, true, &w) || !in.U32(at + 20, true, &ht)) return h;
    h.width = w;
    h.height = ht;
    return h;
}

ImageHeader ProbeJpeg(const ByteReader& in) {
    std::size_t at = 2;
    std::uint32_t byte = 0;
    while (in.U8(at, &byte)) {
        if (byte != 0xFF) return Unreadable(ImageKind::kJpeg);
        std::uint32_t marker = 0xFF;
        while (marker == 0xFF) {  // fill bytes
            if (!in.U8(++at, &marker)) return Unreadable(ImageKind::kJpeg);
        }
        ++at;
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (marker == 0xD9 || marker == 0xDA) break;  // end of image or scan before any frame
        std::uint32_t length = 0;
        if (!in.U16(at, true, &length) || length < 2) return Unreadable(ImageKind::kJpeg);
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 &&
                           marker != 0xC8 && marker != 0xCC;
        if (frame) {
            std::uint32_t w = 0, h = 0;
            if (!in.U16(at + 3, true, &h) || !in.U16(at + 5, true, &w)) {
                return Unreadable(ImageKind::kJpeg);
            }
            return ImageHeader{ImageKind::kJpeg, w, h};
        }
        at += length;
    }
    return Unreadable(ImageKind::kJpeg);
}

ImageHeader ProbeGif(const ByteReader& in) {
    std::uint32_t w = 0, h = 0, flags = 0;
    if (!in.U16(6, false, &w) || !in.U16(8, false, &h) || !in.U8(10, &flags)) {
        return Unreadable(ImageKind::kGif);
    }
    ImageHeader result{ImageKind::kGif, w, h};
    std::size_t at = 13;
    if (flags & 0x80) at += 3u << ((flags & 7) + 1);
    // Walk the blocks up to the first image descriptor; a frame that reaches
    // beyond the logical screen makes the picture that much bigger.
    std::uint32_t block = 0;
    while (in.U8(at, &block)) {
        if (block == 0x21) {  // extension: label, then sub-blocks up to a zero length
            at += 2;
            std::uint32_t length = 0;
            while (in.U8(at, &length) && length != 0) at += length + 1;
            if (at >= in.size()) break;
            ++at;
        } else if (block == 0x2C) {
            std::uint32_t left = 0, top = 0, fw = 0, fh = 0;
            if (in.U16(at + 1, false, &left) && in.U16(at + 3, false, &top) &&
                in.U16(at + 5, false, &fw) && in.U16(at + 7, false, &fh)) {
                result.width = std::max(result.width, left + fw);
                result.height = std::max(result.height, top + fh);
            }
            break;
        } else {
            break;  // trailer or garbage
        }
    }
    return result;
}

// The DIB header at `at` (a BMP file's, or an icon image's). `pixelsAt` is
// where the pixel array starts (0 when it follows the header and palette,
// as in icons); a pixel array that does not fit in the bytes makes the
// header unreadable, because some decoders read past the end of such files
// (Wine 8's BMP decoder faults on a pixel offset beyond the end).
ImageHeader ProbeDib(const ByteReader& in, std::size_t at, std::uint64_t pixelsAt, bool halfHeight,
                     ImageKind kind) {
    std::uint32_t headerSize = 0;
    if (!in.U32(at, false, &headerSize)) return Unreadable(kind);
    std::uint32_t w = 0, h = 0, bitCount = 0, compression = 0, colorsUsed = 0;
    if (headerSize == 12) {
        if (!in.U16(at + 4, false, &w) || !in.U16(at + 6, false, &h) ||
            !in.U16(at + 10, false, &bitCount)) {
            return Unreadable(kind);
        }
    } else if (headerSize >= 40 && headerSize <= 124) {
        std::uint32_t rawW = 0, rawH = 0;
        if (!in.U32(at + 4, false, &rawW) || !in.U32(at + 8, false, &rawH) ||
            !in.U16(at + 14, false, &bitCount) || !in.U32(at + 16, false, &compression) ||
            !in.U32(at + 32, false, &colorsUsed)) {
            return Unreadable(kind);
        }
        if (rawW & 0x80000000u) return Unreadable(kind);  // negative width
        w = rawW;
        // A negative height means rows stored top-down.
        h = (rawH & 0x80000000u) ? static_cast<std::uint32_t>(0u - rawH) : rawH;
    } else {
        return Unreadable(kind);
    }
    if (halfHeight) h /= 2;  // an icon's DIB holds the colour and the mask rows
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    if (uncompressed && bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 &&
        bitCount != 24 && bitCount != 32) {
        return Unreadable(kind);
    }
    if (pixelsAt == 0) {  // after the header, the bit masks and the colour table
        const std::uint64_t masks = compression == 3 && headerSize == 40 ? 12 : 0;
        const std::uint64_t colors = bitCount <= 8 ? (colorsUsed ? colorsUsed : 1u << bitCount) : colorsUsed;
        pixelsAt = at + headerSize + masks + colors * (headerSize == 12 ? 3 : 4);
    }
    if (pixelsAt < at + headerSize || pixelsAt >= in.size()) return Unreadable(kind);
    if (uncompressed) {
        const std::uint64_t stride = ((static_cast<std::uint64_t>(w) * bitCount + 31) / 32) * 4;
        if (pixelsAt + stride * h > in.size()) return Unreadable(kind);
    }
    return ImageHeader{kind, w, h};
}

ImageHeader ProbeTiff(const ByteReader& in, bool bigEndian) {
    std::uint32_t ifd = 0, count = 0;
    if (!in.U32(4, bigEndian, &ifd) || !in.U16(ifd, bigEndian, &count)) {
        return Unreadable(ImageKind::kTiff);
    }
    ImageHeader result{ImageKind::kTiff, 0, 0};
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = static_cast<std::size_t>(ifd) + 2 + 12 * static_cast<std::size_t>(i);
        std::uint32_t tag = 0, type = 0, value = 0;
        if (!in.U16(entry, bigEndian, &tag) || !in.U16(entry + 2, bigEndian, &type)) break;
        if (tag != 256 && tag != 257) continue;
        bool ok = false;
        if (type == 3) ok = in.U16(entry + 8, bigEndian, &value);
        else if (type == 4) ok = in.U32(entry + 8, bigEndian, &value);
        if (!ok) return Unreadable(ImageKind::kTiff);
        (tag == 256 ? result.width : result.height) = value;
    }
    return result;
}

ImageHeader ProbeIcon(const ByteReader& in) {
    std::uint32_t count = 0;
    if (!in.U16(4, false, &count) || count == 0) return Unreadable(ImageKind::kIcon);
    ImageHeader result{ImageKind::kIcon, 0, 0};
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + 16 * static_cast<std::size_t>(i);
        std::uint32_t w = 0, h = 0, offset = 0;
        if (!in.U8(entry, &w) || !in.U8(entry + 1, &h) || !in.U32(entry + 12, false, &offset)) {
            return Unreadable(ImageKind::kIcon);
        }
        if (w == 0) w = 256;
        if (h == 0) h = 256;
        // The image data may state other dimensions than the directory.
        ImageHeader inner;
        std::uint32_t bytes = 0;
        if (!in.U32(entry + 8, false, &bytes) ||
            static_cast<std::uint64_t>(offset) + bytes > in.size()) {
            return Unreadable(ImageKind::kIcon);
        }
        if (in.StartsWith(offset, kPngSignature)) {
            inner = ProbePng(in, offset);
        } else {
            inner = ProbeDib(in, offset, 0, true, ImageKind::kIcon);
        }
        if (inner.width == 0 || inner.height == 0) return Unreadable(ImageKind::kIcon);
        result.width = std::max({result.width, w, inner.width});
        result.height = std::max({result.height, h, inner.height});
    }
    return result;
}

}  // namespace

ImageHeader ProbeImageHeader(std::string_view bytes) {
    const ByteReader in(bytes);
    if (in.StartsWith(0, kPngSignature)) return ProbePng(in, 0);
    if (in.StartsWith(0, "\xFF\xD8")) return ProbeJpeg(in);
    if (in.StartsWith(0, "GIF87a") || in.StartsWith(0, "GIF89a")) return ProbeGif(in);
    if (in.StartsWith(0, "BM")) {
        std::uint32_t pixelsAt = 0;
        if (!in.U32(10, false, &pixelsAt)) return Unreadable(ImageKind::kBmp);
        return ProbeDib(in, 14, pixelsAt, false, ImageKind::kBmp);
    }
    if (in.StartsWith(0, std::string_view("II*\0", 4))) return ProbeTiff(in, false);
    if (in.StartsWith(0, std::string_view("MM\0*", 4))) return ProbeTiff(in, true);
    if (in.StartsWith(0, std::string_view("\0\0\1\0", 4))) return ProbeIcon(in);
    return ImageHeader{};
}

bool IsAcceptableImage(std::string_view bytes) {
    const ImageHeader h = ProbeImageHeader(bytes);
    return h.kind != ImageKind::kUnknown && h.width >= 1 && h.height >= 1 &&
           h.width <= kMaxImageSide && h.height <= kMaxImageSide;
}

}  // namespace quorvel
