#include "net_test_support.h"

namespace quorvel::testing {

std::string ServerUrl(const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(ServerPort()) + path;
}

std::string Pattern(std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<char>(i % 251);
    }
    return bytes;
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

HiddenWindow::HiddenWindow(Handler onMessage) : onMessage_(std::move(onMessage)) {
    static const wchar_t* kClass = L"QuorvelNetTestWindow";
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClass;
    RegisterClassW(&windowClass);  // fails harmlessly when already registered
    window_ = CreateWindowExW(0, kClass, L"net test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                              nullptr, nullptr, GetModuleHandleW(nullptr), this);
}

HiddenWindow::~HiddenWindow() {
    if (window_) {
        DestroyWindow(window_);
    }
}

LRESULT CALLBACK HiddenWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<HiddenWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->onMessage_) {
        self->onMessage_(window, message, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace quorvel::testing
