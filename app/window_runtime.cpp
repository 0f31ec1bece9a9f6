#include "app/window_runtime.h"

#include "app/win32_runtime.h"

namespace quorvel {
namespace {

Win32Runtime& RealRuntime() {
    static Win32Runtime runtime;
    return runtime;
}

WindowRuntime* g_installed = nullptr;

}  // namespace

WindowRuntime& Runtime() { return g_installed ? *g_installed : RealRuntime(); }

void SetRuntime(WindowRuntime* runtime) { g_installed = runtime; }

}  // namespace quorvel
