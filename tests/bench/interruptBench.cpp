// Interrupt handling on an emulated camera (reply latency 1 ms, like a 1 kHz endpoint).
//
// BM_InterruptToStatusCallback/0: from an injected status interrupt without a refresh set to the
// status callback (median_us, p99_us). /1: the same for the controller's start, whose full
// controller refresh set (nine commands) runs first.
// BM_CloseDuringSilentRefresh: the camera stops answering while the start's refresh set runs;
// how long the close takes (close_median_ms, close_max_ms). The goal is under 100 ms, where
// waiting out the set's time-outs would take seconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera/camera.h"
#include "camera/videoDeviceList.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "emu/emulatedInterrupts.h"
#include "log/logger.h"

namespace {

using clock_type = std::chrono::steady_clock;
using dravix::emu::emulatedInterrupts;

// Counts the status callbacks and wakes a waiter at each.
class statusCalls {
  public:
    static int callback(DeviceStatus*, void* user) {
        auto* self = static_cast<statusCalls*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        ++self->calls_;
        self->last_ = clock_type::now();
        self->changed_.notify_all();
        return 0;
    }
    std::size_t calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    // Waits for call number `nth` (from 1); the time of the newest call.
    clock_type::time_point waitForCall(std::size_t nth) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return calls_ >= nth; });
        return last_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t calls_ = 0;
    clock_type::time_point last_;
};

// One emulated camera, opened through the camera class as the exports do.
struct openCamera {
    openCamera() {
        uint8_t count = 0;
        devices.enumerate(count, "dravixUVC");
        cam.setStatusCallback(&statusCalls::callback, &status);
        opened = cam.open(devices.monikerAt(0)) == 0 && cam.isHidOpen();
        status.waitForCall(1);  // the watcher's first pass
    }
    dravix::emu::emulatedCamera& device() { return *cameras.camera(1); }

    dravix::emu::emulatedCameraSet cameras{1, {160, 120, 30}};
    dravix::videoDeviceList devices{cameras.videoBackend(), dravix::libraryLog()};
    dravix::camera cam{dravix::libraryLog(),
                       devices,
                       dravix::camera::kDefaultVendorId,
                       dravix::camera::kDefaultProductId,
                       cameras.videoBackend(),
                       cameras.hidBackend()};
    statusCalls status;
    bool opened = false;
};

double percentile(std::vector<double> samples, double fraction) {
    const auto rank =
        static_cast<std::ptrdiff_t>(fraction * static_cast<double>(samples.size() - 1));
    std::nth_element(samples.begin(), samples.begin() + rank, samples.end());
    return samples[static_cast<std::size_t>(rank)];
}

template <typename Unit>
double elapsed(clock_type::time_point from, clock_type::time_point to) {
    return std::chrono::duration<double, Unit>(to - from).count();
}

void BM_InterruptToStatusCallback(benchmark::State& state) {
    openCamera camera;
    if (!camera.opened) {
        state.SkipWithError("the emulated camera did not open");
        return;
    }
    const bool fullSet = state.range(0) == 1;
    const uint8_t source = fullSet ? emulatedInterrupts::kController : emulatedInterrupts::kDriver;
    const uint32_t mask = fullSet ? 1u : 0u;
    std::vector<double> samples;
    for (auto _ : state) {
        const std::size_t next = camera.status.calls() + 1;
        const auto sent = clock_type::now();
        camera.device().injectInterrupt(emulatedInterrupts::kStatusType,
                                        emulatedInterrupts::statusData(source, mask));
        samples.push_back(elapsed<std::micro>(sent, camera.status.waitForCall(next)));
    }
    state.counters["median_us"] = percentile(samples, 0.5);
    state.counters["p99_us"] = percentile(samples, 0.99);
}
BENCHMARK(BM_InterruptToStatusCallback)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

void BM_CloseDuringSilentRefresh(benchmark::State& state) {
    openCamera camera;
    if (!camera.opened) {
        state.SkipWithError("the emulated camera did not open");
        return;
    }
    const std::string moniker = camera.devices.monikerAt(0);
    std::vector<double> samples;
    for (auto _ : state) {
        state.PauseTiming();
        camera.device().clearFaults();
        if (!camera.cam.isOpened() && camera.cam.open(moniker) != 0) {
            state.SkipWithError("the emulated camera did not reopen");
            return;
        }
        for (int i = 0; i < 16; ++i) {
            camera.device().queueNoReply();
        }
        const uint64_t taken = camera.cam.interruptReportsTaken();
        camera.device().injectInterrupt(emulatedInterrupts::kStatusType,
                                        emulatedInterrupts::statusData(2, 1));
        while (camera.cam.interruptReportsTaken() == taken) {
            std::this_thread::yield();
        }
        state.ResumeTiming();
        const auto start = clock_type::now();
        camera.cam.close();
        samples.push_back(elapsed<std::milli>(start, clock_type::now()));
    }
    camera.device().clearFaults();
    state.counters["close_median_ms"] = percentile(samples, 0.5);
    state.counters["close_max_ms"] = *std::max_element(samples.begin(), samples.end());
}
BENCHMARK(BM_CloseDuringSilentRefresh)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
