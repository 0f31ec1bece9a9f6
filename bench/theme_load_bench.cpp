// Times "加载UI" for the largest theme package: the package handed from the
// program's resources to the file writer, written beside the target in a
// temp folder and moved over it. Run under Wine: tools/wine-run theme_load_bench.exe [runs]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/win32_runtime.h"
#include "themes/install_commands.h"
#include "themes/theme_catalog.h"

namespace {

using Clock = std::chrono::steady_clock;

// The real runtime's file writer; the selection and the directory box are
// answered directly, so no window is needed.
class BenchRuntime : public quorvel::Win32Runtime {
public:
    quorvel::PropertyValue ReadProperty(quorvel::Control control, quorvel::Property property) override {
        if (property == quorvel::Property::Selected) return control == selected;
        if (control == quorvel::Control::EditBox1) return folder;
        return Win32Runtime::ReadProperty(control, property);
    }
    void ShowMessage(const std::wstring&, int, const std::wstring&) override { ++messages; }

    quorvel::Control selected = quorvel::Control::Radio1;
    std::wstring folder;
    int messages = 0;
};

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Report(const char* what, std::vector<double> ms, size_t bytes) {
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double m : ms) sum += m;
    const double median = ms[ms.size() / 2];
    std::printf("%-34s runs %3zu  min %7.2f ms  median %7.2f ms  mean %7.2f ms  max %7.2f ms  "
                "(%.0f MB/s at the median)\n",
                what, ms.size(), ms.front(), median, sum / ms.size(), ms.back(),
                bytes / 1e6 / (median / 1e3));
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    const auto catalogStart = Clock::now();
    const quorvel::ThemeList& themes = quorvel::ThemeCatalog();
    const double catalogMs = Milliseconds(Clock::now() - catalogStart);
    const quorvel::Theme* largest = &themes[0];
    for (const quorvel::Theme& theme : themes)
        if (theme.package.size() > largest->package.size()) largest = &theme;
    std::printf("catalogue (7 packages from the resources, first use): %.3f ms\n", catalogMs);
    std::printf("largest package: theme %d, %.*s, %zu bytes\n", largest->number,
                static_cast<int>(largest->packageFileName.size()), largest->packageFileName.data(),
                largest->package.size());

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    BenchRuntime runtime;
    runtime.folder = std::wstring(temp) + L"quorvel-load-bench-" + std::to_wstring(GetCurrentProcessId());
    runtime.selected = largest->radioButton;
    if (!CreateDirectoryW(runtime.folder.c_str(), nullptr)) {
        std::printf("cannot create %ls\n", runtime.folder.c_str());
        return 1;
    }
    quorvel::SetRuntime(&runtime);
    const std::wstring target = runtime.folder + L"\\" +
        std::wstring(largest->packageFileName.begin(), largest->packageFileName.end());

    std::vector<double> firstWrite, replace, direct;
    for (int i = 0; i < runs; ++i) {
        DeleteFileW(target.c_str());
        auto start = Clock::now();
        quorvel::LoadSelectedTheme();  // creates the file
        firstWrite.push_back(Milliseconds(Clock::now() - start));
        start = Clock::now();
        quorvel::LoadSelectedTheme();  // replaces it
        replace.push_back(Milliseconds(Clock::now() - start));
        start = Clock::now();
        runtime.WriteBytesToFile(target, largest->package, nullptr);
        direct.push_back(Milliseconds(Clock::now() - start));
    }
    quorvel::SetRuntime(nullptr);

    WIN32_FILE_ATTRIBUTE_DATA data{};
    const bool written = GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data) &&
                         data.nFileSizeLow == largest->package.size();
    Report("Load, new file", firstWrite, largest->package.size());
    Report("Load, replacing the file", replace, largest->package.size());
    Report("WriteBytesToFile alone", direct, largest->package.size());
    std::printf("messages shown: %d, file complete: %s\n", runtime.messages, written ? "yes" : "NO");
    DeleteFileW(target.c_str());
    RemoveDirectoryW(runtime.folder.c_str());
    return written && runtime.messages == 0 ? 0 : 1;
}
