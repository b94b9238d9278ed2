// Scaling one 1920x1080 24-bit picture for the window display, per frame, against OpenCV's
// bilinear cv::resize on one thread. The main case is the half size 960x540 (scale 0.5);
// 1280x720 (scale 2/3) shows the general filter, where every pixel mixes four neighbours. The
// plain reference scaler runs once at half size for scale.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <random>
#include <vector>

#include "video/frameScaler.h"
#include "video/scaleGeometry.h"

namespace {

constexpr int kFrameWidth = 1920;
constexpr int kFrameHeight = 1080;

const std::vector<uint8_t>& framePicture() {
    static const std::vector<uint8_t> picture = [] {
        std::vector<uint8_t> bytes(std::size_t{kFrameWidth} * kFrameHeight * 3);
        std::mt19937 random(7);
        for (auto& value : bytes) {
            value = static_cast<uint8_t>(random() >> 24);
        }
        return bytes;
    }();
    return picture;
}

dravix::scaleGeometry geometryFor(const benchmark::State& state) {
    return dravix::scaleGeometry(kFrameWidth, kFrameHeight, static_cast<int32_t>(state.range(0)),
                                 static_cast<int32_t>(state.range(1)), 1.0f);
}

void fastScaler(benchmark::State& state) {
    const std::vector<uint8_t>& source = framePicture();
    dravix::frameScaler scaler(geometryFor(state));
    std::vector<uint8_t> display(std::size_t{3} * state.range(0) * state.range(1));
    for (auto _ : state) {
        scaler.scale(source.data(), source.size(), display.data(), display.size());
        benchmark::DoNotOptimize(display.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

void referenceScaler(benchmark::State& state) {
    const std::vector<uint8_t>& source = framePicture();
    const dravix::scaleGeometry geometry = geometryFor(state);
    std::vector<uint8_t> display(std::size_t{3} * state.range(0) * state.range(1));
    for (auto _ : state) {
        dravix::frameScaler::scaleReference(geometry, source.data(), source.size(), display.data(),
                                            display.size());
        benchmark::DoNotOptimize(display.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

void openCvResize(benchmark::State& state) {
    cv::setNumThreads(1);
    // cv::Mat does not write through a const pointer; the picture is only read.
    const cv::Mat source(kFrameHeight, kFrameWidth, CV_8UC3,
                         const_cast<uint8_t*>(framePicture().data()));
    const cv::Size size(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    cv::Mat display(size, CV_8UC3);
    for (auto _ : state) {
        cv::resize(source, display, size, 0, 0, cv::INTER_LINEAR);
        benchmark::DoNotOptimize(display.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(openCvResize)
    ->Args({960, 540})
    ->Args({1280, 720})
    ->Args({1108, 624})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(fastScaler)
    ->Args({960, 540})
    ->Args({1280, 720})
    ->Args({1108, 624})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(referenceScaler)->Args({960, 540})->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
