#pragma once
// Shared by the HTTP tests under Wine: the loopback test server and a hidden
// window whose events the timed request has to keep dispatching.

#include <windows.h>

#include <functional>
#include <string>

namespace quorvel::testing {

// Port of the loopback server (tests/http_server/server.py) that main()
// started, or that QUORVEL_HTTP_SERVER_PORT names.
int ServerPort();
// "http://127.0.0.1:<port>" + path.
std::string ServerUrl(const std::string& path);

// Bytes of the server's fixed pattern (byte i is i % 251).
std::string Pattern(std::size_t length);

// True when running under Wine (ntdll exports wine_get_version).
bool RunningUnderWine();

// A real top-level window, never shown, whose messages reach `onMessage`
// when they are dispatched (through the window runtime's ProcessEvents).
class HiddenWindow {
public:
    using Handler = std::function<void(HWND, UINT, WPARAM, LPARAM)>;
    explicit HiddenWindow(Handler onMessage);
    ~HiddenWindow();
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;
    HWND Handle() const { return window_; }

private:
    static LRESULT CALLBACK Procedure(HWND, UINT, WPARAM, LPARAM);
    HWND window_ = nullptr;
    Handler onMessage_;
};

// Milliseconds on the uptime counter.
inline ULONGLONG NowMs() { return GetTickCount64(); }

}  // namespace quorvel::testing
