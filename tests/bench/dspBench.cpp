// Cost of the DSP parameter exports over the bare DSP transaction they wrap, on an emulated camera
// that answers at once: a one-chunk getter (getHue), a one-chunk setter (setHue) and the
// defect-pixel table (DpcConfig, then two chunks of DpcTable), each against cameraDsp's own
// getDspFunction/setDspFunction of the same codes in the same run; and a sweep of all 35
// getters per iteration. Compare the pairs' real times for the export's share; on a busy machine
// the *Paired benchmarks, which alternate export and bare call and report the medians of each
// (export_us, bare_us) and their ratio, are the steadier measure.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "camera/camera.h"
#include "camera/libraryState.h"
#include "dravix/dravix.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "log/logger.h"
#include "openBenchCamera.h"

namespace {

void run(benchmark::State& state, const std::function<int32_t(dravix::camera&)>& call) {
    openCamera camera;
    if (!camera.ready()) {
        state.SkipWithError("the emulated camera did not open");
        return;
    }
    for (auto _ : state) {
        if (call(camera.dsp()) != 0) {
            state.SkipWithError("the call failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void exportGetHue(benchmark::State& state) {
    run(state, [](dravix::camera&) {
        uint16_t hue = 0;
        return ZEL_CAM_getHue(0, &hue);
    });
}

void bareGetHue(benchmark::State& state) {
    run(state, [](dravix::camera& dsp) {
        std::array<uint8_t, 2> block{};
        return dsp.getDspFunction(0x01, block.data(), 2);
    });
}

void exportSetHue(benchmark::State& state) {
    run(state, [](dravix::camera&) { return ZEL_CAM_setHue(0, 180); });
}

void bareSetHue(benchmark::State& state) {
    run(state, [](dravix::camera& dsp) {
        const std::array<uint8_t, 2> block{0x00, 0xB4};
        return dsp.setDspFunction(0x01, block.data(), 2);
    });
}

void exportGetDpcTable(benchmark::State& state) {
    run(state, [](dravix::camera&) {
        std::array<DpcEntry, 16> table{};
        return ZEL_CAM_getDpcTable(0, table.data());
    });
}

// The same three exchanges: DpcConfig, then both chunks of DpcTable.
void bareGetDpcTable(benchmark::State& state) {
    run(state, [](dravix::camera& dsp) {
        std::array<uint8_t, 3> config{};
        std::array<uint8_t, 64> table{};
        return dsp.getDspFunction(0x28, config.data(), 3) |
               dsp.getDspFunction(0x29, table.data(), 64);
    });
}

// Every getter once: 32 camera reads (getDpcTable three exchanges) and the three removed ones.
int32_t allGetters() {
    uint8_t b[64] = {};
    uint16_t w[16] = {};
    int16_t offset = 0;
    DpcEntry table[16] = {};
    int32_t failed = 0;
    failed |= ZEL_CAM_getToggleState(0, b);
    failed |= ZEL_CAM_getEdgeEnhancement(0, b, b + 1, b + 2, w, w + 1, 0);
    failed |= ZEL_CAM_getCrCbGain(0, w, w + 1, w + 2, w + 3, w + 4);
    failed |= ZEL_CAM_getHue(0, w);
    failed |= ZEL_CAM_getSaturation(0, w);
    failed |= ZEL_CAM_getMaskEnable(0, b, b + 1, b + 2);
    failed |= ZEL_CAM_getMaskParams(0, w, w + 1, w + 2, w + 3, w + 4);
    failed |= ZEL_CAM_getGamma(0, b, b + 1, 1);
    failed |= ZEL_CAM_getGain(0, w);
    failed |= ZEL_CAM_getSobel(0, b, b + 1, b + 2, b + 3, 1);
    failed |= ZEL_CAM_getWbWindow(0, w, w + 1, w + 2, w + 3, b);
    failed |= ZEL_CAM_getColorMatrix(0, w);
    failed |= ZEL_CAM_getWindowSizes(0, b);
    failed |= ZEL_CAM_getWindowPosition(0, b);
    failed |= ZEL_CAM_getTarget(0, w);
    failed |= ZEL_CAM_getAEValues(0, b);
    failed |= ZEL_CAM_getKeySetting(0, b);
    failed |= ZEL_CAM_getEdgeMode(0, b);
    failed |= ZEL_CAM_getScale(0, b, w, w + 1, w + 2, w + 3);
    failed |= ZEL_CAM_getOffset(0, &offset);
    failed |= ZEL_CAM_getCamType(0, b);
    failed |= ZEL_CAM_getHvFlip(0, b, b + 1);
    failed |= ZEL_CAM_getDpcConfig(0, b, b + 1, w);
    failed |= ZEL_CAM_getDpcTable(0, table);
    failed |= ZEL_CAM_getOvExp(0, b, w, b + 1);
    failed |= ZEL_CAM_getOvExpTarget(0, b, b + 1, b + 2, b + 3);
    failed |= ZEL_CAM_getOvExpWeight(0, w, w + 1, w + 2, w + 3, b);
    failed |= ZEL_CAM_getucConfig(0, b);
    failed |= ZEL_CAM_getBinning(0, b, b + 1);
    failed |= ZEL_CAM_getScaleZ(0, b, w, w + 1, w + 2, w + 3, b + 1);
    failed |= ZEL_CAM_getOvExpTargetSteps(0, b, b + 1, b + 4, b + 7, b + 10);
    failed |= ZEL_CAM_getBayerMode(0, b);
    failed |= ZEL_CAM_getHvFlipStatic(0, b, b + 1, b + 2, b + 3);
    // Removed functions: they fail by design.
    ZEL_CAM_getMeasVals(0, b);
    ZEL_CAM_getGammaChroma(0, b, 0);
    return failed;
}

void exportAllGetters(benchmark::State& state) {
    run(state, [](dravix::camera&) { return allGetters(); });
}

double medianMicroseconds(std::vector<std::chrono::nanoseconds>& samples) {
    const auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    return static_cast<double>(middle->count()) / 1000.0;
}

// Alternates `exported` and `bare`, so that both see the same load, and reports their medians.
void paired(benchmark::State& state, const std::function<int32_t(dravix::camera&)>& exported,
            const std::function<int32_t(dravix::camera&)>& bare) {
    openCamera camera;
    if (!camera.ready()) {
        state.SkipWithError("the emulated camera did not open");
        return;
    }
    std::vector<std::chrono::nanoseconds> exportTimes;
    std::vector<std::chrono::nanoseconds> bareTimes;
    auto timed = [&](const std::function<int32_t(dravix::camera&)>& call,
                     std::vector<std::chrono::nanoseconds>& times) {
        const auto start = std::chrono::steady_clock::now();
        const int32_t result = call(camera.dsp());
        times.push_back(std::chrono::steady_clock::now() - start);
        return result;
    };
    for (auto _ : state) {
        if (timed(exported, exportTimes) != 0 || timed(bare, bareTimes) != 0) {
            state.SkipWithError("the call failed");
            return;
        }
    }
    const double exportUs = medianMicroseconds(exportTimes);
    const double bareUs = medianMicroseconds(bareTimes);
    state.counters["export_us"] = exportUs;
    state.counters["bare_us"] = bareUs;
    state.counters["ratio"] = exportUs / bareUs;
}

void getHuePaired(benchmark::State& state) {
    paired(
        state,
        [](dravix::camera&) {
            uint16_t hue = 0;
            return ZEL_CAM_getHue(0, &hue);
        },
        [](dravix::camera& dsp) {
            std::array<uint8_t, 2> block{};
            return static_cast<int32_t>(dsp.getDspFunction(0x01, block.data(), 2));
        });
}

void setHuePaired(benchmark::State& state) {
    paired(
        state, [](dravix::camera&) { return ZEL_CAM_setHue(0, 180); },
        [](dravix::camera& dsp) {
            const std::array<uint8_t, 2> block{0x00, 0xB4};
            return static_cast<int32_t>(dsp.setDspFunction(0x01, block.data(), 2));
        });
}

void getDpcTablePaired(benchmark::State& state) {
    paired(
        state,
        [](dravix::camera&) {
            std::array<DpcEntry, 16> table{};
            return ZEL_CAM_getDpcTable(0, table.data());
        },
        [](dravix::camera& dsp) {
            std::array<uint8_t, 3> config{};
            std::array<uint8_t, 64> table{};
            return static_cast<int32_t>(dsp.getDspFunction(0x28, config.data(), 3) |
                                        dsp.getDspFunction(0x29, table.data(), 64));
        });
}

}  // namespace

BENCHMARK(getHuePaired)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(setHuePaired)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(getDpcTablePaired)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(bareGetHue)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(exportGetHue)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(bareSetHue)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(exportSetHue)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(bareGetDpcTable)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(exportGetDpcTable)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(exportAllGetters)->UseRealTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
