// QPR settings files on an emulated camera that answers at once: writing and reading a file of
// head type 1 through the exports (time per file, and DSP transactions per file as a counter),
// and reading a file of head type 4, whose exposure group waits 60 ms for the camera, with that
// pause left out (counter pause_ms: the time it adds to every such read).
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "dsp/qprSettingsFile.h"
#include "emu/emulatedWireRecorder.h"
#include "openBenchCamera.h"

namespace {

// A directory of its own for the files, removed at the end.
class benchDirectory {
  public:
    benchDirectory() {
        std::string pattern = "/tmp/dravix-qpr-bench-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~benchDirectory() {
        unlink(file().c_str());
        rmdir(path_.c_str());
    }
    bool ready() const { return !path_.empty(); }
    std::string file() const { return path_ + "/settings.qpr"; }

  private:
    std::string path_;
};

// The command reports one call sends.
int transactionsOf(openCamera& camera, const std::function<int32_t()>& call) {
    camera.emulated().clearRecording();
    camera.emulated().startRecording();
    call();
    camera.emulated().stopRecording();
    int transactions = 0;
    for (const auto& record : camera.emulated().recorded()) {
        transactions += record.kind == dravix::emu::wireKind::output ? 1 : 0;
    }
    camera.emulated().clearRecording();
    return transactions;
}

void measure(benchmark::State& state, uint8_t headType,
             const std::function<int32_t(openCamera&, const std::string&)>& call) {
    openCamera camera;
    benchDirectory directory;
    if (!camera.ready() || !directory.ready() ||
        ZEL_CAM_writeQprFile(0, directory.file().c_str(), headType) != 0) {
        state.SkipWithError("the emulated camera or the file is not ready");
        return;
    }
    state.counters["transactions"] =
        transactionsOf(camera, [&] { return call(camera, directory.file()); });
    for (auto _ : state) {
        if (call(camera, directory.file()) != 0) {
            state.SkipWithError("the call failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void writeQprFileHead1(benchmark::State& state) {
    measure(state, 1, [](openCamera&, const std::string& file) {
        return ZEL_CAM_writeQprFile(0, file.c_str(), 1);
    });
}

void readQprFileHead1(benchmark::State& state) {
    measure(state, 1, [](openCamera&, const std::string& file) {
        return ZEL_CAM_readQprFile(0, file.c_str(), 1);
    });
}

void readQprFileHead4WithoutPause(benchmark::State& state) {
    state.counters["pause_ms"] = static_cast<double>(dravix::qprSettings::kOvExpPause.count());
    measure(state, 4, [](openCamera& camera, const std::string& file) {
        return dravix::qprSettingsFile(camera.dsp(), dravix::libraryLog(),
                                       [](std::chrono::milliseconds) {})
            .read(file.c_str(), 4);
    });
}

}  // namespace

BENCHMARK(writeQprFileHead1)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(readQprFileHead1)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(readQprFileHead4WithoutPause)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_MAIN();
