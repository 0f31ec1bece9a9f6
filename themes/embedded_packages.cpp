// The program's catalogue: the packages are RCDATA resources of the module
// that holds this code, handed out in place.
#include <windows.h>

#include "app/resource_ids.h"
#include "themes/theme_catalog.h"

namespace quorvel {
namespace {

HMODULE ThisModule() {
    HMODULE module = nullptr;
    // The module that contains this function; no reference is taken, so
    // there is nothing to release.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ThisModule), &module))
        return GetModuleHandleW(nullptr);
    return module;
}

// The bytes of theme `themeNumber`'s package, straight from the loaded
// image. Resource memory stays mapped for the life of the module and is
// never freed (LoadResource's handle needs no release), so the view stays
// valid for the whole run.
std::string_view PackageResource(int themeNumber) {
    const HMODULE module = ThisModule();
    const HRSRC info =
        FindResourceW(module, MAKEINTRESOURCEW(IDR_THEME_PACKAGE_BASE + themeNumber),
                      RT_RCDATA);
    if (!info) return {};
    const HGLOBAL loaded = LoadResource(module, info);
    if (!loaded) return {};
    const void* data = LockResource(loaded);
    const DWORD size = SizeofResource(module, info);
    if (!data || size == 0) return {};
    return std::string_view(static_cast<const char*>(data), size);
}

}  // namespace

const ThemeList& ThemeCatalog() {
    static const ThemeList catalog = MakeThemeCatalog(PackageResource);
    return catalog;
}

}  // namespace quorvel
