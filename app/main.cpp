// Quorvel: installs one of seven HUD themes into a game client's folder.

#include <windows.h>

#include "app/main_window.h"
#include "app/win32_runtime.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (!quorvel::InitializeRuntime()) {
        MessageBoxW(nullptr, L"程序初始化失败。", quorvel::kMainWindowCaption, MB_OK | MB_ICONERROR);
        return 1;
    }
    if (!quorvel::LoadStartWindow()) {
        MessageBoxW(nullptr, L"无法创建主窗口，程序将退出。", quorvel::kMainWindowCaption,
                    MB_OK | MB_ICONERROR);
        quorvel::ShutdownRuntime();
        return 1;
    }
    const int exitCode = quorvel::RunEventLoop();
    quorvel::ShutdownRuntime();
    return exitCode;
}
