// Fuzzes the picture header probe with arbitrary bytes, and the colour
// quantiser with the same bytes read as a small BGRA picture.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "preview/color_quantizer.h"
#include "preview/image_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const quorvel::ImageHeader header = quorvel::ProbeImageHeader(bytes);
    if (quorvel::IsAcceptableImage(bytes) &&
        (header.width == 0 || header.height == 0 || header.width > quorvel::kMaxImageSide ||
         header.height > quorvel::kMaxImageSide)) {
        __builtin_trap();
    }
    if (size >= 2) {
        const int width = 1 + data[0] % 32;
        const std::size_t pixels = (size - 2) / 4;
        const int height = static_cast<int>(pixels / static_cast<std::size_t>(width));
        quorvel::QuantizerOptions options;
        options.maxColors = 2 + data[1];
        options.dither = (data[1] & 1) == 0;
        const quorvel::QuantizedImage q =
            quorvel::QuantizeImage(data + 2, width, height, width * 4, options);
        for (std::uint8_t index : q.indices) {
            if (index >= q.palette.size()) __builtin_trap();
        }
    }
    return 0;
}
