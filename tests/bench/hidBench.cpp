// Round trip of one command over the HID channel against the emulated camera with no device
// latency: a 10-byte read as the image-pipeline functions do it (command 0x20, function code and
// offset in the request, echo and value bytes in the reply). Reports the median and the 99th
// percentile of single exchanges (median_us, p99_us) and exchanges per second (items_per_second).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <vector>

#include "device/fx3Hid.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"

namespace {

using namespace std::chrono_literals;

constexpr uint8_t kDspGet = 0x20;
constexpr uint8_t kFunctionCode = 0x07;
constexpr std::size_t kValueBytes = 10;

double percentileMicroseconds(std::vector<std::chrono::nanoseconds>& samples, double fraction) {
    const auto rank =
        static_cast<std::ptrdiff_t>(fraction * static_cast<double>(samples.size() - 1));
    std::nth_element(samples.begin(), samples.begin() + rank, samples.end());
    return static_cast<double>(samples[rank].count()) / 1000.0;
}

void dspReadRoundTrip(benchmark::State& state) {
    dravix::emu::emulatedCameraSet cameras(1);
    auto camera = cameras.camera(1);
    camera->setReplyLatency(0us);
    camera->setCommandHandler(kDspGet, [](const dravix::emu::commandPayload& request) {
        dravix::emu::commandReply reply;
        reply.payload[0] = request[0];
        for (std::size_t i = 1; i <= kValueBytes; ++i) {
            reply.payload[i] = static_cast<uint8_t>(i);
        }
        return reply;
    });
    dravix::logger quiet;  // never opened: the channel's messages are dropped
    dravix::fx3Hid hid(quiet, cameras.hidBackend());
    if (!hid.open(dravix::emu::emulatedCamera::kVendorId,
                  dravix::emu::emulatedCamera::kProductId)) {
        state.SkipWithError("the emulated camera did not open");
        return;
    }
    const std::array<uint8_t, 3> request{kFunctionCode, 0x00, 0x00};
    std::array<uint8_t, kValueBytes + 1> reply{};
    std::vector<std::chrono::nanoseconds> samples;
    samples.reserve(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const uint8_t status =
            hid.command(kDspGet, request.data(), request.size(), reply.data(), reply.size());
        samples.push_back(std::chrono::steady_clock::now() - start);
        if (status != 0 || reply[0] != kFunctionCode) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(samples.size()));
    if (!samples.empty()) {
        state.counters["median_us"] = percentileMicroseconds(samples, 0.50);
        state.counters["p99_us"] = percentileMicroseconds(samples, 0.99);
    }
    hid.close();
}

}  // namespace

BENCHMARK(dspReadRoundTrip)->Iterations(20000)->UseRealTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
