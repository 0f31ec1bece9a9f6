// The whole theme preview under Wine, per picture: download from a loopback
// server (WebRequest), re-encode as GIF (TranscodeImage) and show it in a
// real picture box (decode into frames and paint). Prints median times.
//
//   preview_bench.exe BASE_ADDRESS ROUNDS NAME...     (see bench/preview.py)

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/picture_box.h"
#include "net/web_request.h"
#include "preview/image_transcoder.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: preview_bench BASE_ADDRESS ROUNDS NAME...\n");
        return 2;
    }
    const std::string base = argv[1];
    const int rounds = std::max(1, std::atoi(argv[2]));
    HINSTANCE instance = GetModuleHandleW(nullptr);
    quorvel::RegisterPictureBoxClass(instance);
    HWND box = CreateWindowExW(0, quorvel::kPictureBoxClass, L"", WS_POPUP | WS_VISIBLE, 0, 0, 288,
                               208, nullptr, nullptr, instance, nullptr);
    if (!box) return 1;

    std::printf("%-12s %9s %9s %12s %9s %9s %9s\n", "picture", "bytes", "gif", "download ms",
                "gif ms", "show ms", "total ms");
    for (int i = 3; i < argc; ++i) {
        const std::string address = base + argv[i];
        std::vector<double> download, transcode, show, total;
        size_t bytes = 0, gifBytes = 0;
        for (int round = 0; round <= rounds; ++round) {  // round 0 warms up
            const auto t0 = Clock::now();
            const std::string body = quorvel::WebRequest(address);
            const auto t1 = Clock::now();
            std::string gif;
            quorvel::TranscodeImage(body, 3, {}, &gif);
            const auto t2 = Clock::now();
            quorvel::SetPictureBoxImage(box, gif);
            UpdateWindow(box);
            const auto t3 = Clock::now();
            if (gif.empty() || quorvel::PictureBoxFrameCount(box) == 0) {
                std::fprintf(stderr, "%s: no picture\n", address.c_str());
                return 1;
            }
            if (round == 0) continue;
            bytes = body.size();
            gifBytes = gif.size();
            download.push_back(Ms(t1 - t0));
            transcode.push_back(Ms(t2 - t1));
            show.push_back(Ms(t3 - t2));
            total.push_back(Ms(t3 - t0));
        }
        std::printf("%-12s %9zu %9zu %12.1f %9.1f %9.1f %9.1f\n", argv[i], bytes, gifBytes,
                    Median(download), Median(transcode), Median(show), Median(total));
    }
    DestroyWindow(box);
    return 0;
}
