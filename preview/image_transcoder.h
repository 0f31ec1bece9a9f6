#pragma once
// Re-encoding of pictures held in memory through GDI+.

#include <string>
#include <string_view>

namespace quorvel {

// Codes of the output formats of TranscodeImage.
enum ImageFormat : int {
    kImageFormatBmp = 1,
    kImageFormatJpeg = 2,
    kImageFormatGif = 3,
    kImageFormatTiff = 4,
    kImageFormatPng = 5,
};

// Decodes `image` (BMP, GIF, JPEG, PNG, TIFF or ICO; of a multi-frame
// picture the first frame) and encodes it anew in `format`. True when bytes
// were encoded: `output` (when given) then holds exactly those bytes and,
// unless `targetFile` is blank, they have also been written to the file of
// that name (a code page 936 text; a failed write is not reported). False
// when nothing was encoded (no picture, an unknown format code, a picture
// larger than 8192 pixels on a side, GDI+ unavailable): `output` is left as
// it was and no file is touched.
//
// GIF output is quantised by our own colour quantiser to an 8-bit palette
// picture (with a transparent entry for transparent pixels) before the
// GIF encoder sees it.
bool TranscodeImage(std::string_view image, int format, std::string_view targetFile = {},
                    std::string* output = nullptr);

// The UTF-16 little-endian bytes of a code page 936 text (which ends at its
// first zero byte), with the terminating zero unit unless `dropTerminator`.
// An empty text gives an empty result.
std::string GbkToUtf16(std::string_view text, bool dropTerminator = false);

// True when `text` holds nothing but ASCII spaces and ideographic spaces
// (the code page 936 pair A1 A1): such a target file name writes no file.
bool IsBlankFileName(std::string_view text);

}  // namespace quorvel
