// Round-trip time of WebRequest under Wine against the loopback test server,
// and how long the window goes without dispatching an event while a slow
// request runs. Started by bench/net_roundtrip.py, which also times curl on
// the same address:
//
//   net_roundtrip_bench.exe PORT [ROUNDS]
//
// Prints "name value unit" lines.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "net/web_request.h"

namespace {

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

constexpr UINT kProbe = WM_APP + 1;

struct Responsiveness {
    double lastTimer = 0;
    double longestTimerGap = 0;
    double longestProbeDelay = 0;
    int timers = 0;
    int probes = 0;
};
Responsiveness* g_measure = nullptr;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_measure && message == WM_TIMER) {
        const double now = NowMs();
        if (g_measure->lastTimer > 0) {
            g_measure->longestTimerGap = std::max(g_measure->longestTimerGap, now - g_measure->lastTimer);
        }
        g_measure->lastTimer = now;
        ++g_measure->timers;
        return 0;
    }
    if (g_measure && message == kProbe) {
        // lParam carries the time of posting in microseconds.
        const double delay = NowMs() - static_cast<double>(lParam) / 1000.0;
        g_measure->longestProbeDelay = std::max(g_measure->longestProbeDelay, delay);
        ++g_measure->probes;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: net_roundtrip_bench PORT [ROUNDS]\n");
        return 2;
    }
    const std::string base = std::string("http://127.0.0.1:") + argv[1];
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 50;
    const std::string address = base + "/bytes?n=102400";

    // Round trips of a 100 KB GET, one warm-up first.
    std::string body = quorvel::WebRequest(address);
    if (body.size() != 102400) {
        std::fprintf(stderr, "unexpected body of %zu bytes\n", body.size());
        return 1;
    }
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const double start = NowMs();
        body = quorvel::WebRequest(address);
        times.push_back(NowMs() - start);
        if (body.size() != 102400) return 1;
    }
    std::printf("webrequest_100k_median %.2f ms\n", Percentile(times, 0.5));
    std::printf("webrequest_100k_p90 %.2f ms\n", Percentile(times, 0.9));
    std::printf("webrequest_100k_min %.2f ms\n", Percentile(times, 0.0));

    // A 2 s request while a 10 ms timer runs and another thread posts a
    // probe message every 5 ms: the longest gap between timer dispatches
    // and the longest delay from posting a probe to its dispatch.
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuorvelNetBench";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"bench", WS_OVERLAPPEDWINDOW,
                                  0, 0, 100, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
    Responsiveness measure;
    g_measure = &measure;
    std::atomic<bool> stop{false};
    std::thread poster([&] {
        while (!stop) {
            PostMessageW(window, kProbe, 0, static_cast<LPARAM>(NowMs() * 1000.0));
            Sleep(5);
        }
    });
    SetTimer(window, 1, 10, nullptr);
    const double start = NowMs();
    const std::string slow = quorvel::WebRequest(base + "/slow?ms=2000", 0, {}, {}, {}, {}, 10);
    const double elapsed = NowMs() - start;
    stop = true;
    poster.join();
    KillTimer(window, 1);
    g_measure = nullptr;
    DestroyWindow(window);
    std::printf("slow_request_total %.0f ms (result \"%s\")\n", elapsed, slow.c_str());
    std::printf("slow_request_timer_dispatches %d\n", measure.timers);
    std::printf("slow_request_longest_timer_gap %.2f ms (timer period 10 ms)\n",
                measure.longestTimerGap);
    std::printf("slow_request_probe_messages %d\n", measure.probes);
    std::printf("slow_request_longest_post_to_dispatch %.2f ms\n", measure.longestProbeDelay);
    return 0;
}
