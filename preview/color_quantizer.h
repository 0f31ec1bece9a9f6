#pragma once
// Colour quantisation: turns a 32-bit BGRA picture into at most 256 palette
// colours and one 8-bit index per pixel, for the GIF encoder.
//
// The palette is chosen from the picture itself (Wu's variance-minimising
// box cut on a 5-bit-per-channel histogram, refined by weighted k-means on a
// 6-bit histogram), and pixels are mapped with serpentine Floyd-Steinberg
// error diffusion. A picture with no more distinct opaque colours than the
// palette can hold keeps its exact colours and is not dithered.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel {

struct QuantizerOptions {
    // Palette size limit, 2 to 256 (values outside are clamped).
    int maxColors = 256;
    // Pixels whose alpha is below this value map to the transparent entry.
    std::uint8_t alphaThreshold = 128;
    // Error diffusion on or off (off: nearest palette colour).
    bool dither = true;
};

struct QuantizedImage {
    int width = 0;
    int height = 0;
    // Palette entries as 0xAARRGGBB (the GDI+ ARGB value; in memory on a
    // little-endian machine the bytes are B, G, R, A). Opaque entries have
    // alpha 255; the transparent entry, when present, is 0x00000000.
    std::vector<std::uint32_t> palette;
    // Index of the transparent entry, or -1 when every pixel is opaque enough.
    int transparentIndex = -1;
    // One index per pixel, rows top to bottom, `width` bytes per row.
    std::vector<std::uint8_t> indices;
};

// Quantises the picture at `pixels` (`height` rows of `width` pixels, rows
// `stride` bytes apart; stride may be negative for bottom-up rows; each pixel
// is 4 bytes B, G, R, A). A picture with no pixels yields an empty palette
// and no indices.
QuantizedImage QuantizeImage(const std::uint8_t* pixels, int width, int height,
                             std::ptrdiff_t stride, const QuantizerOptions& options = {});

}  // namespace quorvel
