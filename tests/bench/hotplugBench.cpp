// Hot-plug: how soon an open camera learns that its device went away and came back, and what one
// pass of the device watcher costs.
//
// BM_UnplugAndReplug: 50 cycles with an emulated camera; the time from the unplug to the status
// callback that reports the lower count (lost_median_ms, lost_p95_ms), and from the replug to the
// status callback that follows the camera's reopening (reopen_median_ms, reopen_p95_ms). The
// watcher looks every 40 ms, so both are bounded by 40 ms plus one pass and one close or open.
// BM_WatcherPass/N: one enumeration of the watcher (all video devices of this machine's backends
// with N emulated cameras, the slot-0 check) as the watcher runs it every 40 ms; cpu_share is
// the share of one core that this takes at that period.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "camera/backendRegistry.h"
#include "camera/camera.h"
#include "camera/deviceWatcher.h"
#include "camera/videoDeviceList.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "log/logger.h"
#include "platform/video.h"

namespace {

using clock_type = std::chrono::steady_clock;

constexpr int kCycles = 50;

// The time of every status callback and the count it reported.
class statusTimes {
  public:
    static int callback(DeviceStatus* status, void* user) {
        auto* self = static_cast<statusTimes*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->calls_.push_back({clock_type::now(), status->cameraCount});
        self->changed_.notify_all();
        return 0;
    }

    // Waits for a call reporting `count` after call number `after`; its time.
    clock_type::time_point waitForCount(std::size_t& after, uint32_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] {
            for (std::size_t i = after; i < calls_.size(); ++i) {
                if (calls_[i].count == count) {
                    return true;
                }
            }
            return false;
        });
        while (calls_[after].count != count) {
            ++after;
        }
        return calls_[after++].time;
    }

  private:
    struct call {
        clock_type::time_point time;
        uint32_t count;
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<call> calls_;
};

double percentileMilliseconds(std::vector<double> samples, double fraction) {
    const auto rank =
        static_cast<std::ptrdiff_t>(fraction * static_cast<double>(samples.size() - 1));
    std::nth_element(samples.begin(), samples.begin() + rank, samples.end());
    return samples[static_cast<std::size_t>(rank)];
}

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double millisecondsBetween(clock_type::time_point from, clock_type::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

void BM_UnplugAndReplug(benchmark::State& state) {
    dravix::emu::emulatedCameraSet cameras(1, {160, 120, 30});
    dravix::videoDeviceList devices(cameras.videoBackend(), dravix::libraryLog());
    uint8_t count = 0;
    devices.enumerate(count, "dravixUVC");
    dravix::camera cam(dravix::libraryLog(), devices, dravix::camera::kDefaultVendorId,
                       dravix::camera::kDefaultProductId, cameras.videoBackend(),
                       cameras.hidBackend());
    statusTimes status;
    cam.setStatusCallback(&statusTimes::callback, &status);
    if (cam.open(devices.monikerAt(0)) != 0) {
        state.SkipWithError("the emulated camera did not open");
        return;
    }
    std::size_t seen = 0;
    status.waitForCount(seen, 1);  // the watcher's first pass

    // Each change comes at a random point of the watcher's period, as a user's hand does; right
    // after a status callback it would always wait the whole period.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> phaseMicroseconds(
        0, static_cast<int>(std::chrono::microseconds(dravix::deviceWatcher::kPeriod).count()));
    std::vector<double> lost;
    std::vector<double> reopened;
    for (auto _ : state) {
        for (int cycle = 0; cycle < kCycles; ++cycle) {
            std::this_thread::sleep_for(std::chrono::microseconds(phaseMicroseconds(random)));
            const auto unplugged = clock_type::now();
            cameras.camera(1)->unplug();
            lost.push_back(millisecondsBetween(unplugged, status.waitForCount(seen, 0)));
            std::this_thread::sleep_for(std::chrono::microseconds(phaseMicroseconds(random)));
            const auto replugged = clock_type::now();
            cameras.camera(1)->replug();
            reopened.push_back(millisecondsBetween(replugged, status.waitForCount(seen, 1)));
        }
    }
    state.counters["lost_median_ms"] = percentileMilliseconds(lost, 0.5);
    state.counters["lost_p95_ms"] = percentileMilliseconds(lost, 0.95);
    state.counters["reopen_median_ms"] = percentileMilliseconds(reopened, 0.5);
    state.counters["reopen_p95_ms"] = percentileMilliseconds(reopened, 0.95);
    state.counters["camera_open"] = cam.isOpened() && cam.isHidOpen() ? 1 : 0;
}
BENCHMARK(BM_UnplugAndReplug)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WatcherPass(benchmark::State& state) {
    dravix::emu::emulatedCameraSet::instance().configure(static_cast<int>(state.range(0)));
    dravix::backendRegistry backends;
    dravix::videoDeviceList devices(backends.video(), dravix::libraryLog());
    uint8_t count = 0;
    devices.enumerate(count, "dravixUVC");
    const std::string key = dravix::emu::emulatedCameraSet::instance().camera(1)->videoKey();
    std::string path;
    const double cpuBefore = processCpuSeconds();
    for (auto _ : state) {
        devices.enumerateWatching(key, count, path);
        benchmark::DoNotOptimize(count);
    }
    const double cpuPerPass =
        (processCpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
    const double period = std::chrono::duration<double>(dravix::deviceWatcher::kPeriod).count();
    state.counters["cameras"] = count;
    state.counters["cpu_share_percent"] = 100.0 * cpuPerPass / period;
    dravix::emu::emulatedCameraSet::instance().configure(0);
}
BENCHMARK(BM_WatcherPass)->Arg(1)->Arg(10)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
