// dravixctl's stream command on one emulated 1920x1080 camera at 60 frames per second, run as a
// user runs it: `dravixctl --json stream --seconds N` with N from DRAVIX_BENCH_SECONDS (default
// 10). Reports the frames the tool received, the frames the library counted as missed, the
// frame rate and the tool's CPU share of one core (the emulated camera renders its frames in
// the tool's process, so that share includes the camera's own work).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

int benchSeconds() {
    const char* value = std::getenv("DRAVIX_BENCH_SECONDS");
    const int seconds = value != nullptr ? std::atoi(value) : 0;
    return seconds > 0 ? seconds : 10;
}

// The number after "name": in the tool's JSON document, or -1.
double jsonNumber(const std::string& document, const std::string& name) {
    const std::size_t at = document.find("\"" + name + "\":");
    return at == std::string::npos ? -1
                                   : std::strtod(document.c_str() + at + name.size() + 3, nullptr);
}

// Runs the tool in a private HOME, so that no user configuration changes its logging; its
// standard output, and its wait status in `status` (-1 when it could not run).
std::string runStream(int seconds, int& status) {
    status = -1;
    char home[] = "/tmp/dravixctlBench.XXXXXX";
    if (mkdtemp(home) == nullptr) {
        return "";
    }
    const std::string command = std::string("HOME=") + home + " XDG_CONFIG_HOME=" + home +
                                " DRAVIX_CAMEMU=1 DRAVIX_CAMEMU_FORMAT=1920x1080@60 '" +
                                DRAVIXCTL_PROGRAM + "' --json stream --seconds " +
                                std::to_string(seconds) + " 2>/dev/null";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        status = pclose(pipe);
    }
    std::filesystem::remove_all(home);
    return output;
}

void dravixctlStream(benchmark::State& state) {
    const int seconds = benchSeconds();
    std::string document;
    int status = -1;
    for (auto _ : state) {
        document = runStream(seconds, status);
    }
    if (status != 0 || jsonNumber(document, "frames") <= 0) {
        state.SkipWithError(("dravixctl failed (wait status " + std::to_string(status) +
                             ") or received no frame: " + document)
                                .c_str());
        return;
    }
    state.counters["frames"] = jsonNumber(document, "frames");
    state.counters["missed"] = jsonNumber(document, "missed frames");
    state.counters["fps"] = jsonNumber(document, "frame rate");
    state.counters["cpu_pct"] = jsonNumber(document, "cpu percent");
    state.counters["seconds"] = jsonNumber(document, "seconds");
}

BENCHMARK(dravixctlStream)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
