#include "app/picture_box.h"

#include <shlwapi.h>
#include <wrl/client.h>

#include <memory>
#include <vector>

#include "preview/gdiplus_api.h"

namespace quorvel {

const wchar_t kPictureBoxClass[] = L"QuorvelPictureBox";

namespace {

using Microsoft::WRL::ComPtr;

constexpr UINT_PTR kAnimationTimer = 1;
constexpr UINT kMinFrameDelayMs = 20;
constexpr UINT kDefaultFrameDelayMs = 100;
constexpr UINT kMaxFrames = 512;
constexpr UINT kMaxSide = 8192;
// The frame dimension of animated GIF pictures.
constexpr GUID kFrameDimensionTime = {
    0x6aedbd6d, 0x3fb5, 0x418a, {0x83, 0xa6, 0x7f, 0x45, 0x22, 0x9d, 0xc8, 0x72}};
constexpr PROPID kFrameDelayTag = 0x5100;

struct Frame {
    HBITMAP bitmap;
    UINT delayMs;
};

// The picture of one box: the file's bytes and its frames as device-
// independent bitmaps, so that nothing of GDI+ stays open between events.
struct Picture {
    std::string bytes;
    std::vector<Frame> frames;
    size_t current = 0;
    int width = 0;
    int height = 0;

    Picture() = default;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    ~Picture() {
        for (Frame& frame : frames) DeleteObject(frame.bitmap);
    }
};

// The formats the box shows: GIF, JPEG, BMP, ICO and CUR.
bool IsShownFormat(std::string_view bytes) {
    auto starts = [&](std::string_view magic) { return bytes.substr(0, magic.size()) == magic; };
    return starts("GIF87a") || starts("GIF89a") || starts("\xFF\xD8\xFF") || starts("BM") ||
           starts(std::string_view("\0\0\1\0", 4)) || starts(std::string_view("\0\0\2\0", 4));
}

std::vector<UINT> FrameDelays(Gdiplus::GpImage* image, UINT frameCount) {
    std::vector<UINT> delays(frameCount, kDefaultFrameDelayMs);
    UINT size = 0;
    if (Gdiplus::DllExports::GdipGetPropertyItemSize(image, kFrameDelayTag, &size) !=
            Gdiplus::Ok ||
        size < sizeof(Gdiplus::PropertyItem))
        return delays;
    std::vector<unsigned char> buffer(size);
    auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
    if (Gdiplus::DllExports::GdipGetPropertyItem(image, kFrameDelayTag, size, item) !=
        Gdiplus::Ok)
        return delays;
    const UINT count = std::min<UINT>(frameCount, item->length / sizeof(LONG));
    const LONG* values = static_cast<const LONG*>(item->value);
    for (UINT i = 0; i < count; ++i)
        delays[i] = std::max<UINT>(kMinFrameDelayMs, static_cast<UINT>(values[i]) * 10);
    return delays;
}

std::unique_ptr<Picture> DecodePicture(std::string_view bytes) {
    if (!IsShownFormat(bytes)) return nullptr;
    GdiplusSession gdiplus;
    if (!gdiplus.ok()) return nullptr;
    ComPtr<IStream> stream;
    stream.Attach(SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()),
                                    static_cast<UINT>(bytes.size())));
    if (!stream) return nullptr;
    GdipImage image;
    if (Gdiplus::DllExports::GdipCreateBitmapFromStream(stream.Get(), image.putBitmap()) !=
            Gdiplus::Ok ||
        !image)
        return nullptr;
    UINT width = 0, height = 0;
    Gdiplus::DllExports::GdipGetImageWidth(image.get(), &width);
    Gdiplus::DllExports::GdipGetImageHeight(image.get(), &height);
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return nullptr;

    UINT frameCount = 0;
    if (Gdiplus::DllExports::GdipImageGetFrameCount(image.get(), &kFrameDimensionTime,
                                                    &frameCount) != Gdiplus::Ok ||
        frameCount == 0)
        frameCount = 1;
    frameCount = std::min(frameCount, kMaxFrames);
    const std::vector<UINT> delays = FrameDelays(image.get(), frameCount);

    auto picture = std::make_unique<Picture>();
    picture->bytes.assign(bytes.data(), bytes.size());
    picture->width = static_cast<int>(width);
    picture->height = static_cast<int>(height);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const Gdiplus::ARGB background = 0xFF000000u | (GetRValue(face) << 16) |
                                     (GetGValue(face) << 8) | GetBValue(face);
    for (UINT i = 0; i < frameCount; ++i) {
        if (frameCount > 1 && Gdiplus::DllExports::GdipImageSelectActiveFrame(
                                  image.get(), &kFrameDimensionTime, i) != Gdiplus::Ok)
            break;
        HBITMAP bitmap = nullptr;
        if (Gdiplus::DllExports::GdipCreateHBITMAPFromBitmap(image.bitmap(), &bitmap,
                                                             background) != Gdiplus::Ok ||
            !bitmap)
            break;
        picture->frames.push_back(Frame{bitmap, delays[i]});
    }
    if (picture->frames.empty()) return nullptr;
    return picture;
}

Picture* PictureOf(HWND box) { return reinterpret_cast<Picture*>(GetWindowLongPtrW(box, 0)); }

void ReplacePicture(HWND box, std::unique_ptr<Picture> picture) {
    KillTimer(box, kAnimationTimer);
    delete PictureOf(box);
    SetWindowLongPtrW(box, 0, reinterpret_cast<LONG_PTR>(picture.release()));
    Picture* now = PictureOf(box);
    if (now && now->frames.size() > 1) SetTimer(box, kAnimationTimer, now->frames[0].delayMs, nullptr);
    InvalidateRect(box, nullptr, TRUE);
}

void Paint(HWND box) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(box, &paint);
    RECT client;
    GetClientRect(box, &client);
    Picture* picture = PictureOf(box);
    if (!picture) {
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    } else {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, picture->frames[picture->current].bitmap);
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        // Stretched over the whole box, proportions not kept.
        StretchBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, picture->width,
                   picture->height, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
    }
    EndPaint(box, &paint);
}

LRESULT CALLBACK PictureBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers the whole box
        case WM_PAINT:
            Paint(box);
            return 0;
        case WM_TIMER:
            if (wParam == kAnimationTimer) {
                if (Picture* picture = PictureOf(box); picture && picture->frames.size() > 1) {
                    picture->current = (picture->current + 1) % picture->frames.size();
                    SetTimer(box, kAnimationTimer, picture->frames[picture->current].delayMs,
                             nullptr);
                    InvalidateRect(box, nullptr, FALSE);
                }
                return 0;
            }
            break;
        case WM_NCDESTROY:
            ReplacePicture(box, nullptr);
            break;
    }
    return DefWindowProcW(box, message, wParam, lParam);
}

}  // namespace

bool RegisterPictureBoxClass(HINSTANCE instance) {
    WNDCLASSEXW existing{};
    if (GetClassInfoExW(instance, kPictureBoxClass, &existing)) return true;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = PictureBoxProc;
    windowClass.cbWndExtra = sizeof(Picture*);
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kPictureBoxClass;
    return RegisterClassExW(&windowClass) != 0;
}

void SetPictureBoxImage(HWND box, std::string_view bytes) {
    if (!box) return;
    ReplacePicture(box, bytes.empty() ? nullptr : DecodePicture(bytes));
}

std::string PictureBoxImage(HWND box) {
    Picture* picture = box ? PictureOf(box) : nullptr;
    return picture ? picture->bytes : std::string();
}

int PictureBoxFrameCount(HWND box) {
    Picture* picture = box ? PictureOf(box) : nullptr;
    return picture ? static_cast<int>(picture->frames.size()) : 0;
}

}  // namespace quorvel
