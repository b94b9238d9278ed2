// Conversion of one 1920x1080 YUY2 frame to 24-bit pixels, in every colour mode through the
// dispatched path, against OpenCV's cvtColor YUY2 → BGR on one thread (the baseline). The frame
// is a test card: colour bars over the top half, a luma ramp with a chroma sweep below, and some
// noise, so that every channel clamps at both ends somewhere. Reports frames per second (fps)
// and bytes of YUY2 per second; the label names the path used. The viewer's own conversion
// (frameConverter) runs against the same baseline and against its formulas pixel by pixel.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <random>
#include <vector>

#include "frameConverter.h"
#include "video/colorConverter.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;

// Y, U, V of eight colour bars: white, yellow, cyan, green, magenta, red, blue, black.
constexpr uint8_t kBars[8][3] = {{235, 128, 128}, {210, 16, 146}, {170, 166, 16}, {145, 54, 34},
                                 {106, 202, 222}, {81, 90, 240},  {41, 240, 110}, {16, 128, 128}};

uint8_t noisy(int value, std::mt19937& random) {
    const int v = value + static_cast<int>(random() % 9) - 4;
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

cv::Mat testCard() {
    cv::Mat frame(kHeight, kWidth, CV_8UC2);
    std::mt19937 random(1);
    for (int row = 0; row < kHeight; ++row) {
        uint8_t* p = frame.ptr<uint8_t>(row);
        for (int x = 0; x < kWidth; x += 2, p += 4) {
            const uint8_t* bar = kBars[x * 8 / kWidth];
            const bool bars = row < kHeight / 2;
            p[0] = noisy(bars ? bar[0] : x * 255 / kWidth, random);
            p[1] = noisy(bars ? bar[1] : row * 255 / kHeight, random);
            p[2] = noisy(bars ? bar[0] : (x + 1) * 255 / kWidth, random);
            p[3] = noisy(bars ? bar[2] : 255 - x * 255 / kWidth, random);
        }
    }
    return frame;
}

const cv::Mat& frame() {
    static const cv::Mat card = testCard();
    return card;
}

void report(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPixels * 2));
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void openCvBgr(benchmark::State& state) {
    cv::setNumThreads(1);
    cv::Mat out(kHeight, kWidth, CV_8UC3);
    for (auto _ : state) {
        cv::cvtColor(frame(), out, cv::COLOR_YUV2BGR_YUY2);
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    report(state);
}

template <typename Convert>
void runConversion(benchmark::State& state, Convert convert) {
    std::vector<uint8_t> out(kPixels * 3);
    for (auto _ : state) {
        convert(frame().data, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    report(state);
}

// Every colour mode through convert(), which picks the fastest path this CPU runs.
void dravixMode(benchmark::State& state) {
    const auto mode = static_cast<int32_t>(state.range(0));
    runConversion(state, [mode](const uint8_t* yuy2, uint8_t* out) {
        dravix::colorConverter::convert(mode, yuy2, out, kPixels);
    });
    state.SetLabel(dravix::colorConverter::activePath());
}

// Mode 4 through each path this CPU runs, for comparison.
void dravixPath(benchmark::State& state) {
    const auto path = static_cast<dravix::colorConverter::isa>(state.range(0));
    if (!dravix::colorConverter::available(path)) {
        state.SkipWithError("not available on this CPU");
        return;
    }
    runConversion(state, [path](const uint8_t* yuy2, uint8_t* out) {
        dravix::colorConverter::convertWith(path, 4, yuy2, out, kPixels);
    });
    state.SetLabel(dravix::colorConverter::name(path));
}

// The viewer's conversion into a cv::Mat, vector code and formulas alone.
void viewerFrame(benchmark::State& state) {
    const bool vector = state.range(0) != 0;
    cv::Mat out(kHeight, kWidth, CV_8UC3);
    for (auto _ : state) {
        if (vector) {
            frameConverter::convert(frame(), out);
        } else {
            frameConverter::convertScalar(frame(), out);
        }
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    report(state);
    state.SetLabel(vector ? dravix::colorConverter::activePath() : "formulas");
}

}  // namespace

BENCHMARK(openCvBgr)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(dravixMode)
    ->ArgName("mode")
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(5)
    ->Arg(6)
    ->Arg(8)
    ->Arg(0)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0);

BENCHMARK(dravixPath)
    ->ArgName("path")
    ->Arg(static_cast<int>(dravix::colorConverter::isa::scalar))
    ->Arg(static_cast<int>(dravix::colorConverter::isa::ssse3))
    ->Arg(static_cast<int>(dravix::colorConverter::isa::avx2))
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0);

BENCHMARK(viewerFrame)
    ->ArgName("vector")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0);

BENCHMARK_MAIN();
