#pragma once
// The theme preview shown in "图片框1".

#include <string>
#include <string_view>

namespace quorvel {

// Downloads the picture at `address` and returns it re-encoded as GIF, or
// an empty block when no picture could be made. `responseHeaders`, when
// given, receives the raw response headers.
std::string FetchPreviewGif(std::string_view address, std::string_view proxy = {},
                            std::string* responseHeaders = nullptr);

// Fetches the picture at `address` and makes it the picture of "图片框1"
// (an empty picture when the fetch failed).
void ShowThemePreview(std::string_view address);

}  // namespace quorvel
