// Copy of one received 1920x1080 YUY2 frame into the frame buffer, straight and turned upside
// down, against memcpy of the same size (the baseline). The sources rotate through buffers far
// larger than the caches, as frames arriving from the device are not in cache either.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "video/frameCopier.h"

namespace {

constexpr uint16_t kWidth = 1920;
constexpr uint16_t kHeight = 1080;
constexpr std::size_t kFrameBytes = std::size_t{kWidth} * kHeight * 2;
constexpr std::size_t kSources = 32;  // 32 × 4 MB: well beyond any last-level cache here

struct frames {
    frames() : sources(kSources, std::vector<uint8_t>(kFrameBytes)), target(kFrameBytes) {
        for (std::size_t i = 0; i < kSources; ++i) {
            std::memset(sources[i].data(), static_cast<int>(i + 1), kFrameBytes);
        }
    }
    const uint8_t* next() { return sources[index++ % kSources].data(); }

    std::vector<std::vector<uint8_t>> sources;
    std::vector<uint8_t> target;
    std::size_t index = 0;
};

frames& shared() {
    static frames instance;
    return instance;
}

template <typename Copy>
void run(benchmark::State& state, Copy copy) {
    frames& f = shared();
    for (auto _ : state) {
        copy(f.next(), f.target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameBytes));
}

void memcpyBaseline(benchmark::State& state) {
    run(state,
        [](const uint8_t* source, uint8_t* target) { std::memcpy(target, source, kFrameBytes); });
}

void straightCopy(benchmark::State& state) {
    run(state, [](const uint8_t* source, uint8_t* target) {
        dravix::frameCopier::copy(source, kFrameBytes, target, kWidth, kHeight, false);
    });
}

void flippedCopy(benchmark::State& state) {
    run(state, [](const uint8_t* source, uint8_t* target) {
        dravix::frameCopier::copy(source, kFrameBytes, target, kWidth, kHeight, true);
    });
}

}  // namespace

BENCHMARK(memcpyBaseline)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(straightCopy)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(flippedCopy)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

BENCHMARK_MAIN();
