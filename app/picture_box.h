#pragma once
// "图片框1": a borderless picture box that draws its picture stretched over
// the whole box and animates multi-frame GIF pictures.

#include <windows.h>

#include <string>
#include <string_view>

namespace quorvel {

extern const wchar_t kPictureBoxClass[];

bool RegisterPictureBoxClass(HINSTANCE instance);

// Replaces the box's picture with the image file in `bytes` (GIF, JPEG,
// BMP, ICO or CUR). An empty block, or bytes the box cannot read, leave the
// box without a picture.
void SetPictureBoxImage(HWND box, std::string_view bytes);
// The bytes of the picture last set (empty when the box has none).
std::string PictureBoxImage(HWND box);
// Number of frames of the current picture (0 without a picture).
int PictureBoxFrameCount(HWND box);

}  // namespace quorvel
