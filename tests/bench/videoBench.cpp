// End to end in callback mode: an emulated camera streams 1920x1080 YUY2 at 60 frames a second
// for 10 s into the video path. Reports the frames handed to the callback, frames missed (by the
// video path, and gaps in the test pattern's frame numbers) and the delay from the frame's
// arrival at the video path to the callback's entry (median_us, p99_us).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "emu/testPattern.h"
#include "video/fx3UvcVid.h"

namespace {

constexpr uint16_t kWidth = 1920;
constexpr uint16_t kHeight = 1080;
constexpr uint16_t kFramesPerSecond = 60;

// DRAVIX_BENCH_SECONDS shortens the run (the test script's smoke run uses 1).
int runSeconds() {
    const char* value = std::getenv("DRAVIX_BENCH_SECONDS");
    const int seconds = value != nullptr ? std::atoi(value) : 0;
    return seconds > 0 ? seconds : 10;
}

struct callbackRecord {
    dravix::fx3UvcVid* video = nullptr;
    std::vector<std::chrono::nanoseconds> delays;
    std::vector<uint32_t> frameNumbers;

    static int onFrame(uint8_t* frame, int32_t, void* user) {
        auto* self = static_cast<callbackRecord*>(user);
        const auto entry = std::chrono::steady_clock::now();
        self->delays.push_back(entry - self->video->deliveringFrameArrival());
        self->frameNumbers.push_back(dravix::emu::testPattern::frameNumberOf(frame, kWidth));
        return 0;
    }
};

double percentileMicroseconds(std::vector<std::chrono::nanoseconds> samples, double fraction) {
    if (samples.empty()) {
        return 0.0;
    }
    const auto rank =
        static_cast<std::ptrdiff_t>(fraction * static_cast<double>(samples.size() - 1));
    std::nth_element(samples.begin(), samples.begin() + rank, samples.end());
    return static_cast<double>(samples[rank].count()) / 1000.0;
}

uint32_t gapsIn(const std::vector<uint32_t>& numbers) {
    uint32_t gaps = 0;
    for (std::size_t i = 1; i < numbers.size(); ++i) {
        gaps += numbers[i] - numbers[i - 1] - 1;
    }
    return gaps;
}

void callbackModeEndToEnd(benchmark::State& state) {
    dravix::emu::emulatedCameraSet cameras(1, {kWidth, kHeight, kFramesPerSecond});
    dravix::logger quiet;  // never opened: messages are dropped
    dravix::fx3UvcVid video(quiet, cameras.videoBackend());
    callbackRecord record;
    record.video = &video;
    record.delays.reserve(static_cast<std::size_t>(runSeconds()) * kFramesPerSecond * 2);
    video.setMoniker(cameras.camera(1)->videoPath());
    video.setFrameCallback(&callbackRecord::onFrame, &record);
    for (auto _ : state) {
        video.initVideo(nullptr);
        if (video.startVideo() != 0) {
            state.SkipWithError("the emulated camera did not stream");
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(runSeconds()));
        video.stopVideo();
    }
    state.counters["frames"] = static_cast<double>(record.frameNumbers.size());
    state.counters["missed"] = video.missedFrames();
    state.counters["gaps"] = gapsIn(record.frameNumbers);
    state.counters["median_us"] = percentileMicroseconds(record.delays, 0.50);
    state.counters["p99_us"] = percentileMicroseconds(record.delays, 0.99);
}

}  // namespace

BENCHMARK(callbackModeEndToEnd)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
