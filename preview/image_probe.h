#pragma once
// Reads the kind and pixel dimensions of a raster picture from its header
// bytes, without decoding it, so that a picture whose header claims huge
// dimensions can be refused before any decoder allocates memory for it.

#include <cstdint>
#include <string_view>

namespace quorvel {

enum class ImageKind { kUnknown, kPng, kJpeg, kGif, kBmp, kTiff, kIcon };

struct ImageHeader {
    ImageKind kind = ImageKind::kUnknown;
    // The largest width and height the decoder may have to allocate for;
    // 0 when the header is truncated or does not state them.
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Pictures larger than this on either side are refused.
constexpr std::uint32_t kMaxImageSide = 8192;

// Kind and dimensions of the picture in `bytes`: PNG (IHDR), JPEG (first
// SOFn marker), GIF (logical screen and the first frame's rectangle), BMP
// (core and info headers), TIFF (first IFD, either byte order) and ICO
// (every directory entry, including embedded PNG and DIB images). A BMP or
// icon image whose pixel array does not lie within `bytes` is unreadable
// (width and height 0).
ImageHeader ProbeImageHeader(std::string_view bytes);

// True when `bytes` hold a picture of a known kind whose width and height
// are both between 1 and kMaxImageSide.
bool IsAcceptableImage(std::string_view bytes);

}  // namespace quorvel
