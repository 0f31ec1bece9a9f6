#include "preview/theme_preview.h"
namespace quorvel {
std::string FetchPreviewGif(std::string_view, std::string_view, std::string*) { return {}; }
void ShowThemePreview(std::string_view) {}
}  // namespace quorvel
