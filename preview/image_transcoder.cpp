#include "preview/image_transcoder.h"

#include <windows.h>
// OLE streams; also declares PROPID, which the GDI+ headers use and
// WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objbase.h>
#include <objidl.h>
#include <wrl/client.h>

#include "preview/gdiplus_api.h"  // the GDI+ flat API and owners for its objects

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/file_handle.h"
#include "net/text_helpers.h"
#include "preview/color_quantizer.h"
#include "preview/image_probe.h"

namespace quorvel {
namespace {

namespace gp = Gdiplus;
namespace flat = Gdiplus::DllExports;

constexpr UINT kCodePageGbk = 936;

// Class identifiers of GDI+'s built-in encoders, by format code.
const char* EncoderClassId(int format) {
    switch (format) {
        case kImageFormatBmp: return "{557CF400-1A04-11D3-9A73-0000F81EF32E}";
        case kImageFormatJpeg: return "{557CF401-1A04-11D3-9A73-0000F81EF32E}";
        case kImageFormatGif: return "{557CF402-1A04-11D3-9A73-0000F81EF32E}";
        case kImageFormatTiff: return "{557CF405-1A04-11D3-9A73-0000F81EF32E}";
        case kImageFormatPng: return "{557CF406-1A04-11D3-9A73-0000F81EF32E}";
        default: return "";
    }
}

// UTF-16 bytes (from GbkToUtf16) as a wide string for the W functions.
std::wstring WideFromUtf16Bytes(const std::string& bytes) {
    std::wstring wide(bytes.size() / 2, L'\0');
    if (!wide.empty()) std::memcpy(&wide[0], bytes.data(), wide.size() * sizeof(wchar_t));
    return wide;
}

// Owns a global memory block until a stream takes it over.
class GlobalBlock {
public:
    explicit GlobalBlock(HGLOBAL block) : block_(block) {}
    ~GlobalBlock() {
        if (block_) GlobalFree(block_);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    HGLOBAL get() const { return block_; }
    HGLOBAL release() {
        HGLOBAL block = block_;
        block_ = nullptr;
        return block;
    }

private:
    HGLOBAL block_;
};

// Holds a lock on a global memory block.
class GlobalLockGuard {
public:
    GlobalLockGuard() = default;
    ~GlobalLockGuard() { reset(); }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    void* lock(HGLOBAL block) {
        reset();
        if (block == nullptr) return nullptr;
        block_ = block;
        address_ = GlobalLock(block);
        return address_;
    }
    void reset() {
        if (address_) GlobalUnlock(block_);
        address_ = nullptr;
        block_ = nullptr;
    }

private:
    HGLOBAL block_ = nullptr;
    void* address_ = nullptr;
};

// Holds GdipBitmapLockBits until destroyed.
class BitmapBitsLock {
public:
    BitmapBitsLock(gp::GpBitmap* bitmap, UINT width, UINT height, gp::PixelFormat format)
        : bitmap_(bitmap) {
        gp::GpRect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
        locked_ = flat::GdipBitmapLockBits(bitmap, &rect, gp::ImageLockModeRead, format, &data_) ==
                  gp::Ok;
    }
    ~BitmapBitsLock() {
        if (locked_) flat::GdipBitmapUnlockBits(bitmap_, &data_);
    }
    BitmapBitsLock(const BitmapBitsLock&) = delete;
    BitmapBitsLock& operator=(const BitmapBitsLock&) = delete;
    bool locked() const { return locked_; }
    const gp::BitmapData& data() const { return data_; }

private:
    gp::GpBitmap* bitmap_;
    gp::BitmapData data_{};
    bool locked_ = false;
};

// Creates or truncates the file named by the code page 936 text `name` and
// writes `bytes` into it. Failures are not reported.
void WriteWholeFile(std::string_view name, const std::string& bytes) {
    const std::wstring wideName = WideFromUtf16Bytes(GbkToUtf16(name));
    if (wideName.empty()) return;
    FileHandle file(CreateFileW(wideName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 30));
        DWORD done = 0;
        if (!WriteFile(file.get(), bytes.data() + written, chunk, &done, nullptr) || done == 0) return;
        written += done;
    }
}

// Builds, from `source`, the 8-bit palette bitmap that the GIF encoder is
// given. The GIF encoder's own handling of 24- and 32-bit bitmaps is not
// used: Windows' encoder maps them onto a fixed halftone palette, which
// bands and blotches photographs, and Wine's (as of Wine 8) returns Ok but
// writes a 24-byte GIF with no picture in it. Our quantiser chooses the
// palette from the picture, dithers, and gives transparent pixels (alpha
// below 128) a transparent palette entry. `pixels` receives the index rows
// that the bitmap uses, and must outlive it.
bool MakePaletteBitmap(gp::GpBitmap* source, UINT width, UINT height,
                       std::vector<BYTE>* pixels, GdipImage* indexed) {
    QuantizedImage quantized;
    {
        BitmapBitsLock bits(source, width, height, PixelFormat32bppARGB);
        if (!bits.locked() || bits.data().Scan0 == nullptr) return false;
        quantized = QuantizeImage(static_cast<const std::uint8_t*>(bits.data().Scan0),
                                  static_cast<int>(width), static_cast<int>(height),
                                  bits.data().Stride);
    }
    if (quantized.palette.empty()) return false;

    const std::size_t stride = (static_cast<std::size_t>(width) + 3) & ~static_cast<std::size_t>(3);
    pixels->assign(stride * height, 0);
    for (UINT y = 0; y < height; ++y) {
        std::memcpy(pixels->data() + stride * y, quantized.indices.data() + static_cast<std::size_t>(width) * y,
                    width);
    }
    if (flat::GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height),
                                        static_cast<INT>(stride), PixelFormat8bppIndexed,
                                        pixels->data(), indexed->putBitmap()) != gp::Ok ||
        !*indexed) {
        return false;
    }
    // ColorPalette is a header followed by a variable number of entries.
    std::vector<UINT> paletteBuffer(2 + quantized.palette.size());
    auto* palette = reinterpret_cast<gp::ColorPalette*>(paletteBuffer.data());
    palette->Flags = quantized.transparentIndex >= 0 ? gp::PaletteFlagsHasAlpha : 0;
    palette->Count = static_cast<UINT>(quantized.palette.size());
    for (std::size_t i = 0; i < quantized.palette.size(); ++i) {
        palette->Entries[i] = quantized.palette[i];
    }
    return flat::GdipSetImagePalette(indexed->get(), palette) == gp::Ok;
}

}  // namespace

std::string GbkToUtf16(std::string_view text, bool dropTerminator) {
    const std::string narrow(AsText(text));
    if (narrow.empty()) return {};
    const int units = MultiByteToWideChar(kCodePageGbk, 0, narrow.c_str(), -1, nullptr, 0);
    if (units <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(kCodePageGbk, 0, narrow.c_str(), -1, &wide[0], units);
    std::string bytes(wide.size() * 2, '\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {  // little-endian whatever the host
        bytes[2 * i] = static_cast<char>(wide[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>((wide[i] >> 8) & 0xFF);
    }
    if (dropTerminator) bytes.resize(bytes.size() - 2);
    return bytes;
}

bool IsBlankFileName(std::string_view text) {
    // Walks the text character by character, so that the second byte of a
    // two-byte character is never taken for the start of an A1 A1 pair.
    const std::string_view name = AsText(text);
    std::size_t i = 0;
    while (i < name.size()) {
        const auto lead = static_cast<unsigned char>(name[i]);
        if (lead == ' ') {
            ++i;
        } else if (lead == 0xA1 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) == 0xA1) {
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

bool TranscodeImage(std::string_view image, int format, std::string_view targetFile,
                    std::string* output) {
    // Pictures are looked at before GDI+ sees them: only known raster kinds
    // of at most 8192 x 8192 pixels are decoded. Wine's GDI+ decodes every
    // pixel as soon as the bitmap is made, so a forged header of, say,
    // 60000 x 60000 would otherwise cost gigabytes before any check could
    // run. Refused outright are also metafiles, which GDI+ would render.
    if (!IsAcceptableImage(image)) return false;

    const std::string classIdText = GbkToUtf16(EncoderClassId(format));
    if (classIdText.empty()) return false;  // no encoder for this code
    CLSID encoder{};
    if (FAILED(CLSIDFromString(WideFromUtf16Bytes(classIdText).c_str(), &encoder))) return false;

    // Declared in the reverse order of their release: the lock on the
    // output block, the images, GDI+, then the input and output streams.
    Microsoft::WRL::ComPtr<IStream> outputStream;
    Microsoft::WRL::ComPtr<IStream> inputStream;
    GdiplusSession gdiplus;
    if (!gdiplus.ok()) return false;

    {
        GlobalBlock inputBlock(GlobalAlloc(GMEM_FIXED, image.size()));
        if (inputBlock.get() == nullptr) return false;  // nothing copied anywhere
        GlobalLockGuard inputLock;
        void* address = inputLock.lock(inputBlock.get());
        if (address == nullptr) return false;
        std::memcpy(address, image.data(), image.size());
        inputLock.reset();
        if (FAILED(CreateStreamOnHGlobal(inputBlock.get(), TRUE, inputStream.ReleaseAndGetAddressOf()))) return false;
        inputBlock.release();  // the stream frees it now
    }

    std::vector<BYTE> indexedPixels;  // outlives the bitmap made over it
    GdipImage decoded;
    GdipImage indexed;
    GlobalLockGuard outputLock;

    if (flat::GdipCreateBitmapFromStream(inputStream.Get(), decoded.putBitmap()) != gp::Ok ||
        !decoded) {
        return false;
    }
    UINT width = 0, height = 0;
    if (flat::GdipGetImageWidth(decoded.get(), &width) != gp::Ok ||
        flat::GdipGetImageHeight(decoded.get(), &height) != gp::Ok || width == 0 || height == 0 ||
        width > kMaxImageSide || height > kMaxImageSide) {
        return false;
    }
    gp::GpImage* toSave = decoded.get();
    if (format == kImageFormatGif) {
        if (!MakePaletteBitmap(decoded.bitmap(), width, height, &indexedPixels, &indexed)) return false;
        toSave = indexed.get();
    }

    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, outputStream.ReleaseAndGetAddressOf()))) return false;
    if (flat::GdipSaveImageToStream(toSave, outputStream.Get(), &encoder, nullptr) != gp::Ok) {
        return false;
    }
    HGLOBAL outputBlock = nullptr;
    if (FAILED(GetHGlobalFromStream(outputStream.Get(), &outputBlock))) return false;
    const void* encoded = outputLock.lock(outputBlock);
    if (encoded == nullptr) return false;  // nothing was encoded
    // The block may be larger than what the stream holds; the stream's own
    // size is the length of the picture.
    std::size_t size = GlobalSize(outputBlock);
    STATSTG stat{};
    if (SUCCEEDED(outputStream.Get()->Stat(&stat, STATFLAG_NONAME)) && stat.cbSize.QuadPart < size) {
        size = static_cast<std::size_t>(stat.cbSize.QuadPart);
    }
    if (size == 0) return false;
    std::string bytes(static_cast<const char*>(encoded), size);

    if (!IsBlankFileName(targetFile)) WriteWholeFile(targetFile, bytes);
    if (output) output->swap(bytes);
    return true;
}

}  // namespace quorvel
