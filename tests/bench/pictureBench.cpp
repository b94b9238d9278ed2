// JPEG pictures of a 1920x1080 frame at quality 80, from the YUY2 frame to the file's bytes:
// the library's raw-data input (planes built by our vector code), the JPEG library's own
// scanline input (interleaved Y, Cb, Cr rows; the files are byte-identical), and OpenCV's
// imwrite of the same picture as blue-green-red into a file on /dev/shm (the baseline; its
// conversion to blue-green-red is done beforehand). Then the delay a pending picture adds to the
// frame callback: an emulated camera streams 1920x1080 at 60 frames a second in callback mode,
// every 30th callback asks for a JPEG, and the delay from a frame's arrival to its callback is
// reported for the frames right after a picture and for the others (median, maximum).
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "emu/emulatedCameraSet.h"
#include "video/fx3UvcVid.h"
#include "video/jpegEncoder.h"
#include "video/jpegPlanes.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;
constexpr int kQuality = 80;

// DRAVIX_BENCH_SECONDS shortens the streaming run (the test script's smoke run uses 1).
int runSeconds() {
    const char* value = std::getenv("DRAVIX_BENCH_SECONDS");
    const int seconds = value != nullptr ? std::atoi(value) : 0;
    return seconds > 0 ? seconds : 10;
}

// A gradient with some noise: a camera picture is neither flat nor pure noise.
const std::vector<uint8_t>& frame() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> yuy2(kPixels * 2);
        std::mt19937 random(1);
        for (std::size_t i = 0; i < yuy2.size(); ++i) {
            const int x = static_cast<int>((i / 2) % kWidth);
            const int y = static_cast<int>(i / 2 / kWidth);
            const int base = i % 2 == 0 ? 16 + (x + y) * 219 / (kWidth + kHeight)
                                        : 128 + ((x / 64 + y / 64) % 2 == 0 ? 40 : -40);
            yuy2[i] = static_cast<uint8_t>(base + static_cast<int>(random() % 9) - 4);
        }
        return yuy2;
    }();
    return bytes;
}

void reportFrames(benchmark::State& state) {
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void jpegScanlineInput(benchmark::State& state) {
    std::vector<uint8_t> ycbcr(kPixels * 3);
    dravix::jpegEncoder encoder;
    for (auto _ : state) {
        dravix::jpegEncoder::yuy2ToYcbcr(frame().data(), ycbcr.data(), kPixels);
        encoder.encodeScanlines(ycbcr.data(), kWidth, kHeight, kQuality);
        benchmark::DoNotOptimize(encoder.data());
    }
    state.counters["bytes"] = static_cast<double>(encoder.size());
    reportFrames(state);
}
BENCHMARK(jpegScanlineInput)->Unit(benchmark::kMillisecond);

void jpegRawDataInput(benchmark::State& state) {
    dravix::jpegPlanes planes;
    dravix::jpegEncoder encoder;
    for (auto _ : state) {
        planes.build(frame().data(), kWidth, kHeight);
        encoder.encodePlanes(planes, kQuality);
        benchmark::DoNotOptimize(encoder.data());
    }
    state.counters["bytes"] = static_cast<double>(encoder.size());
    reportFrames(state);
}
BENCHMARK(jpegRawDataInput)->Unit(benchmark::kMillisecond);

void opencvImwrite(benchmark::State& state) {
    const cv::Mat yuy2(kHeight, kWidth, CV_8UC2, const_cast<uint8_t*>(frame().data()));
    cv::Mat bgr;
    cv::cvtColor(yuy2, bgr, cv::COLOR_YUV2BGR_YUY2);
    const std::string path = "/dev/shm/dravix-picture-bench-" + std::to_string(getpid()) + ".jpg";
    const std::vector<int> options = {cv::IMWRITE_JPEG_QUALITY, kQuality};
    for (auto _ : state) {
        benchmark::DoNotOptimize(cv::imwrite(path, bgr, options));
    }
    std::filesystem::remove(path);
    reportFrames(state);
}
BENCHMARK(opencvImwrite)->Unit(benchmark::kMillisecond);

// ---- The delay a pending picture adds to the frame callback --------------------------------

struct pictureRun {
    dravix::fx3UvcVid* video = nullptr;
    std::string directory;
    int calls = 0;
    bool afterPicture = false;
    std::vector<double> afterPictureUs;
    std::vector<double> otherUs;

    static int onFrame(uint8_t*, int32_t, void* user) {
        auto* self = static_cast<pictureRun*>(user);
        const auto delay = std::chrono::steady_clock::now() - self->video->deliveringFrameArrival();
        const double us = std::chrono::duration<double, std::micro>(delay).count();
        (self->afterPicture ? self->afterPictureUs : self->otherUs).push_back(us);
        // Written right after this callback returns: the next callback waits for it.
        self->afterPicture = ++self->calls % 30 == 0 &&
                             self->video->pictures().setPictureFilename(
                                 dravix::cPictureIO::pictureType::jpeg,
                                 self->directory + "/p" + std::to_string(self->calls), 0) == 0;
        return 0;
    }
};

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

double maximum(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

void pendingPictureDelay(benchmark::State& state) {
    dravix::emu::emulatedCameraSet cameras(1, {kWidth, kHeight, 60});
    dravix::logger quiet;  // never opened: messages are dropped
    dravix::fx3UvcVid video(quiet, cameras.videoBackend());
    pictureRun run;
    run.video = &video;
    run.directory = "/dev/shm/dravix-picture-bench-" + std::to_string(getpid());
    std::filesystem::create_directory(run.directory);
    video.setMoniker(cameras.camera(1)->videoPath());
    video.setFrameCallback(&pictureRun::onFrame, &run);
    for (auto _ : state) {
        video.initVideo(nullptr);
        if (video.startVideo() != 0) {
            state.SkipWithError("the emulated camera did not stream");
            break;
        }
        std::this_thread::sleep_for(std::chrono::seconds(runSeconds()));
        video.stopVideo();
    }
    std::filesystem::remove_all(run.directory);
    state.counters["pictures"] = static_cast<double>(run.afterPictureUs.size());
    state.counters["after_picture_median_us"] = median(run.afterPictureUs);
    state.counters["after_picture_max_us"] = maximum(run.afterPictureUs);
    state.counters["other_median_us"] = median(run.otherUs);
    state.counters["other_max_us"] = maximum(run.otherUs);
}
BENCHMARK(pendingPictureDelay)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
