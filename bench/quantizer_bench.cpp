// Colour quantiser benchmark: for every picture in a folder, the time our
// quantiser takes and the PSNR of the resulting GIF against the source,
// beside ImageMagick quantising the same pixels to 256 colours with
// Floyd-Steinberg dithering.
//
//   quantizer_bench FOLDER [--convert PATH] [--runs N] [--batch K]
//
// Every input is first flattened by ImageMagick into an 8-bit PPM, so both
// quantisers see exactly the same pixels. Both results are written as GIF by
// ImageMagick (ours has at most 256 colours, so that is lossless) and decoded
// back by ImageMagick, and the PSNR is computed here over R, G and B.
//
// ImageMagick's time per picture is taken from batches: one process that
// quantises 1 + K copies of the picture minus one that quantises a single
// copy, divided by K, so process start-up is not counted. "IM net" further
// subtracts the same batch difference for merely reading the PPM and writing
// it back, which leaves the quantising, dithering and the GIF writing.
// Our time is the median of N runs of QuantizeImage in this process.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "preview/color_quantizer.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Rgb8Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

bool Run(const std::string& command) {
    const int rc = std::system((command + " >/dev/null 2>&1").c_str());
    return rc == 0;
}

double TimeCommandMs(const std::string& command) {
    const auto start = Clock::now();
    if (!Run(command)) {
        std::cerr << "command failed: " << command << "\n";
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool ReadPpm(const fs::path& path, Rgb8Image* image) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> image->width >> image->height >> maxValue;
    if (magic != "P6" || maxValue != 255 || image->width <= 0 || image->height <= 0) return false;
    in.get();
    image->rgb.resize(static_cast<std::size_t>(image->width) * image->height * 3);
    in.read(reinterpret_cast<char*>(image->rgb.data()), static_cast<std::streamsize>(image->rgb.size()));
    return static_cast<std::size_t>(in.gcount()) == image->rgb.size();
}

void WritePpm(const fs::path& path, const Rgb8Image& image) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << image.width << ' ' << image.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
}

double Psnr(const Rgb8Image& a, const Rgb8Image& b) {
    if (a.width != b.width || a.height != b.height) return -1.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) {
        const double d = static_cast<double>(a.rgb[i]) - static_cast<double>(b.rgb[i]);
        sum += d * d;
    }
    const double mse = sum / static_cast<double>(a.rgb.size());
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// ImageMagick's per-picture time for `operation`, by batch difference.
double ImageMagickMsPerImage(const std::string& convert, const fs::path& source,
                             const std::string& operation, const fs::path& outPattern, int batch,
                             int runs) {
    std::string one = convert + " " + Quote(source.string());
    std::string many = one;
    for (int i = 0; i < batch; ++i) many += " " + Quote(source.string());
    const std::string tail = " " + operation + " +adjoin " + Quote(outPattern.string());
    std::vector<double> samples;
    for (int r = 0; r < runs; ++r) {
        const double tOne = TimeCommandMs(one + tail);
        const double tMany = TimeCommandMs(many + tail);
        samples.push_back((tMany - tOne) / batch);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: quantizer_bench FOLDER [--convert PATH] [--runs N] [--batch K]\n";
        return 2;
    }
    const fs::path folder = argv[1];
    std::string convert = "convert";
    int runs = 5;
    int batch = 4;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--convert") convert = Quote(argv[i + 1]);
        else if (flag == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
        else if (flag == "--batch") batch = std::max(1, std::atoi(argv[i + 1]));
    }

    std::vector<fs::path> inputs;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (entry.is_regular_file() &&
            (ext == ".png" || ext == ".jpg" || ext == ".jpeg" || ext == ".gif" || ext == ".bmp" ||
             ext == ".tif" || ext == ".tiff" || ext == ".webp")) {
            inputs.push_back(entry.path());
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::cerr << "no pictures in " << folder << "\n";
        return 1;
    }

    char tmpTemplate[] = "/tmp/quantizer-bench-XXXXXX";
    if (mkdtemp(tmpTemplate) == nullptr) return 1;
    const fs::path work = tmpTemplate;

    std::printf("%-28s %11s %9s %9s %9s %9s %9s\n", "input", "size", "our ms", "our PSNR",
                "IM ms", "IM net ms", "IM PSNR");
    bool allBetter = true;
    for (std::size_t n = 0; n < inputs.size(); ++n) {
        const std::string stem = "p" + std::to_string(n);
        const fs::path source = work / (stem + "-src.ppm");
        // Transparent parts (if any) are flattened on white so that both sides see opaque pixels.
        Run(convert + " " + Quote(inputs[n].string() + "[0]") +
            " -background white -alpha remove -alpha off -depth 8 " + Quote("ppm:" + source.string()));
        Rgb8Image src;
        if (!ReadPpm(source, &src)) {
            std::cerr << "cannot read " << inputs[n] << "\n";
            continue;
        }

        // Ours.
        std::vector<std::uint8_t> bgra(static_cast<std::size_t>(src.width) * src.height * 4);
        for (std::size_t i = 0, j = 0; i < src.rgb.size(); i += 3, j += 4) {
            bgra[j] = src.rgb[i + 2];
            bgra[j + 1] = src.rgb[i + 1];
            bgra[j + 2] = src.rgb[i];
            bgra[j + 3] = 255;
        }
        std::vector<double> times;
        quorvel::QuantizedImage q;
        for (int r = 0; r < runs; ++r) {
            const auto start = Clock::now();
            q = quorvel::QuantizeImage(bgra.data(), src.width, src.height, src.width * 4);
            times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        std::sort(times.begin(), times.end());
        const double ourMs = times[times.size() / 2];
        Rgb8Image mapped{src.width, src.height, std::vector<unsigned char>(src.rgb.size())};
        for (std::size_t i = 0; i < q.indices.size(); ++i) {
            const std::uint32_t argb = q.palette[q.indices[i]];
            mapped.rgb[i * 3] = static_cast<unsigned char>(argb >> 16);
            mapped.rgb[i * 3 + 1] = static_cast<unsigned char>(argb >> 8);
            mapped.rgb[i * 3 + 2] = static_cast<unsigned char>(argb);
        }
        const fs::path ourPpm = work / (stem + "-ours.ppm");
        const fs::path ourGif = work / (stem + "-ours.gif");
        const fs::path ourBack = work / (stem + "-ours-back.ppm");
        WritePpm(ourPpm, mapped);
        Run(convert + " " + Quote(ourPpm.string()) + " " + Quote(ourGif.string()));
        Run(convert + " " + Quote(ourGif.string()) + " " + Quote("ppm:" + ourBack.string()));
        Rgb8Image ourDecoded;
        const double ourPsnr = ReadPpm(ourBack, &ourDecoded) ? Psnr(src, ourDecoded) : -1.0;
        if (std::fabs(ourPsnr - Psnr(src, mapped)) > 1e-9) {
            std::cerr << "warning: our GIF does not decode to our quantised pixels for " << inputs[n] << "\n";
        }

        // ImageMagick.
        const double imMs = ImageMagickMsPerImage(convert, source, "-dither FloydSteinberg -colors 256",
                                                  work / (stem + "-im-%d.gif"), batch, runs);
        const double ioMs = ImageMagickMsPerImage(convert, source, "", work / (stem + "-io-%d.ppm"),
                                                  batch, runs);
        const fs::path imGif = work / (stem + "-im-0.gif");
        const fs::path imBack = work / (stem + "-im-back.ppm");
        Run(convert + " " + Quote(imGif.string()) + " " + Quote("ppm:" + imBack.string()));
        Rgb8Image imDecoded;
        const double imPsnr = ReadPpm(imBack, &imDecoded) ? Psnr(src, imDecoded) : -1.0;

        const std::string size = std::to_string(src.width) + "x" + std::to_string(src.height);
        std::printf("%-28s %11s %9.1f %9.2f %9.1f %9.1f %9.2f\n",
                    inputs[n].filename().string().substr(0, 28).c_str(), size.c_str(), ourMs,
                    ourPsnr, imMs, imMs - ioMs, imPsnr);
        std::fflush(stdout);
        if (ourPsnr < imPsnr || ourMs > imMs - ioMs) allBetter = false;
    }
    std::printf("%s\n", allBetter ? "goal met on every input: PSNR >= ImageMagick's, time <= ImageMagick's net time"
                                  : "goal NOT met on every input");
    fs::remove_all(work);
    return 0;
}
