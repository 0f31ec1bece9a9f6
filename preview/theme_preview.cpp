#include "preview/theme_preview.h"

#include "app/window_runtime.h"
#include "net/web_request.h"
#include "preview/image_transcoder.h"

namespace quorvel {

namespace {
constexpr int kGifFormat = 3;
}

std::string FetchPreviewGif(std::string_view address, std::string_view proxy,
                            std::string* responseHeaders) {
    // A GET with the default headers and time limit; whatever comes back
    // (a picture, an error page, the timeout text, nothing) goes to the
    // transcoder, and only a picture comes out of it.
    const std::string downloaded = WebRequest(address, 0, proxy, {}, {}, {}, std::nullopt,
                                              responseHeaders, kDecodingNone);
    std::string gif;
    TranscodeImage(downloaded, kGifFormat, {}, &gif);
    return gif;
}

void ShowThemePreview(std::string_view address) {
    std::string responseHeaders;
    std::string gif = FetchPreviewGif(address, {}, &responseHeaders);
    // An empty result clears the box. When the window was closed during the
    // download the runtime writes nothing.
    Runtime().WriteProperty(Control::PictureBox1, Property::Picture, std::move(gif));
}

}  // namespace quorvel
