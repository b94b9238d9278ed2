// Firmware updates against the emulated camera with no device latency: a 1 MiB block-protocol
// update and a 32 KiB flash-loader update (its pauses skipped by an instant clock, so that the
// transfer alone is measured), as time per update and bytes per second; and how long a close
// takes while a block-protocol update runs (close_ms: cancel, channel close and join).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/firmwareUpdate.h"
#include "device/fx3Hid.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"

namespace {

using namespace std::chrono_literals;

class instantClock : public dravix::updateClock {
  public:
    bool waitFor(dravix::manualResetEvent& event, std::chrono::milliseconds) override {
        return event.isSet();
    }
};

// A temporary file with `bytes`, removed at the end.
class tempFile {
  public:
    explicit tempFile(const std::vector<uint8_t>& bytes) {
        char pattern[] = "/tmp/dravix-fw-bench-XXXXXX";
        const int fd = mkstemp(pattern);
        path_ = pattern;
        if (fd >= 0) {
            const ssize_t written = ::write(fd, bytes.data(), bytes.size());
            ::close(fd);
            ok_ = written == static_cast<ssize_t>(bytes.size());
        }
    }
    ~tempFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }
    bool ok() const { return ok_; }

  private:
    std::string path_;
    bool ok_ = false;
};

// An emulated camera, a channel to it and the update of one camera.
struct updateBench {
    updateBench() : cameras(1), hid(std::make_shared<dravix::fx3Hid>(quiet, cameras.hidBackend())) {
        cameras.camera(1)->setReplyLatency(0us);
        opened = hid->open(dravix::emu::emulatedCamera::kVendorId,
                           dravix::emu::emulatedCamera::kProductId);
        update.setClock(clock);
    }
    void waitForEnd() {
        while (update.isRunning()) {
            std::this_thread::sleep_for(100us);
        }
    }

    dravix::emu::emulatedCameraSet cameras;
    dravix::logger quiet;  // never opened: messages are dropped
    std::shared_ptr<dravix::fx3Hid> hid;
    DeviceStatus status{};
    std::recursive_mutex statusMutex;
    instantClock clock;
    dravix::firmwareUpdate update{quiet, status, statusMutex};
    bool opened = false;
};

std::vector<uint8_t> pattern(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 13 + 1);
    }
    return bytes;
}

void runUpdates(benchmark::State& state, uint8_t component, const std::vector<uint8_t>& image) {
    updateBench bench;
    const tempFile file(image);
    if (!bench.opened || !file.ok()) {
        state.SkipWithError("set-up failed");
        return;
    }
    for (auto _ : state) {
        if (bench.update.start(component, file.path(), bench.hid) != 0) {
            state.SkipWithError("the update did not start");
            return;
        }
        bench.waitForEnd();
        if (bench.update.progress().result() != 0) {
            state.SkipWithError("the update failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.size()));
}

void blockProtocolUpdate1MiB(benchmark::State& state) {
    runUpdates(state, 0, pattern(1024 * 1024));
}

void flashLoaderUpdate32KiB(benchmark::State& state) {
    std::vector<uint8_t> image = pattern(32767);
    image[0] = 2;
    std::fill(image.begin() + 1, image.begin() + 128, 0xFF);
    runUpdates(state, 3, image);
}

void closeDuringBlockUpdate(benchmark::State& state) {
    const tempFile file(pattern(4 * 1024 * 1024));
    std::vector<double> samples;
    for (auto _ : state) {
        updateBench bench;
        if (!bench.opened || !file.ok() || bench.update.start(1, file.path(), bench.hid) != 0) {
            state.SkipWithError("set-up failed");
            return;
        }
        while (bench.update.progress().done() < 64 * 1024) {
            std::this_thread::sleep_for(100us);
        }
        const auto begin = std::chrono::steady_clock::now();
        bench.update.requestCancel();
        bench.hid->close();
        bench.update.cancelAndJoin();
        samples.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
                .count());
    }
    std::sort(samples.begin(), samples.end());
    state.counters["close_ms"] = samples.empty() ? 0 : samples[samples.size() / 2];
}

BENCHMARK(blockProtocolUpdate1MiB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(flashLoaderUpdate32KiB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(closeDuringBlockUpdate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
