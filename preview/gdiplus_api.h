#pragma once
// The GDI+ flat API with owners for its objects. Include this instead of
// <gdiplus.h>: the GDI+ headers need min and max, which NOMINMAX hides.

#include <windows.h>
#include <objidl.h>  // IStream and PROPID, also under WIN32_LEAN_AND_MEAN

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

namespace quorvel {

// One GDI+ start-up, shut down again when the session ends.
class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;  // version 1, default options
        ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (ok_) Gdiplus::GdiplusShutdown(token_);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool ok() const { return ok_; }

private:
    ULONG_PTR token_ = 0;
    bool ok_ = false;
};

// Owns a GDI+ image (bitmaps included) and disposes of it.
class GdipImage {
public:
    GdipImage() = default;
    explicit GdipImage(Gdiplus::GpImage* image) : image_(image) {}
    ~GdipImage() { reset(); }
    GdipImage(const GdipImage&) = delete;
    GdipImage& operator=(const GdipImage&) = delete;
    GdipImage(GdipImage&& other) noexcept : image_(other.image_) { other.image_ = nullptr; }
    GdipImage& operator=(GdipImage&& other) noexcept {
        if (this != &other) {
            reset();
            image_ = other.image_;
            other.image_ = nullptr;
        }
        return *this;
    }
    void reset() {
        if (image_) Gdiplus::DllExports::GdipDisposeImage(image_);
        image_ = nullptr;
    }
    Gdiplus::GpImage* get() const { return image_; }
    Gdiplus::GpBitmap* bitmap() const { return static_cast<Gdiplus::GpBitmap*>(image_); }
    // For the flat API's out-parameters; disposes of any image held first.
    Gdiplus::GpImage** put() {
        reset();
        return &image_;
    }
    Gdiplus::GpBitmap** putBitmap() {
        reset();
        return reinterpret_cast<Gdiplus::GpBitmap**>(&image_);
    }
    explicit operator bool() const { return image_ != nullptr; }

private:
    Gdiplus::GpImage* image_ = nullptr;
};

}  // namespace quorvel
