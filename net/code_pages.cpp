#include "net/code_pages.h"

#include <windows.h>

#include <climits>

#include "net/text_helpers.h"

namespace quorvel {
namespace {

constexpr UINT kCodePageGbk = 936;
constexpr UINT kCodePageBig5 = 950;
constexpr LCID kLocaleChinaSimplified = 0x0804;

// Asks for the length first, then converts; empty on any failure.
std::wstring ToWide(UINT codePage, std::string_view text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (needed <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    if (MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), needed) != needed) {
        return {};
    }
    return wide;
}

std::string FromWide(UINT codePage, std::wstring_view wide, const char* defaultChar) {
    if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) {
        return {};
    }
    const int length = static_cast<int>(wide.size());
    const int needed = WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0,
                                           defaultChar, nullptr);
    if (needed <= 0) {
        return {};
    }
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    if (WideCharToMultiByte(codePage, 0, wide.data(), length, bytes.data(), needed, defaultChar,
                            nullptr) != needed) {
        return {};
    }
    return bytes;
}

}  // namespace

std::string Utf8ToGbk(std::string_view text) {
    return FromWide(kCodePageGbk, ToWide(CP_UTF8, AsText(text)), nullptr);
}

std::string Big5ToGbkSimplified(std::string_view text) {
    std::wstring wide = ToWide(kCodePageBig5, AsText(text));
    if (wide.empty()) {
        return {};
    }
    // The mapping is done on the UTF-16 text, where it keeps the length, so
    // that neither the ANSI code page nor a character missing from code
    // page 936 can cut the text short. Characters that code page 936 lacks
    // become "?" afterwards instead of ending the text.
    //
    // Wine 8 ignores LCMAP_SIMPLIFIED_CHINESE and hands the text back
    // unchanged, so there traditional characters stay traditional; Windows
    // maps them to simplified ones.
    const int length = static_cast<int>(wide.size());
    std::wstring mapped(wide.size(), L'\0');
    const int written = LCMapStringW(kLocaleChinaSimplified, LCMAP_SIMPLIFIED_CHINESE,
                                     wide.data(), length, mapped.data(), length);
    if (written == length) {
        wide.swap(mapped);
    }
    // When the mapping fails the text is converted as it stands: traditional
    // characters are in code page 936 too.
    return FromWide(kCodePageGbk, wide, "?");
}

}  // namespace quorvel
