// Cost of one log call on the reporting thread: dravix::logger against spdlog's asynchronous
// logger (the baseline). Both format on the caller and leave the file to a background thread.
//
// Every call is timed on its own, so besides the mean per iteration the run reports the median
// and the 99th and 99.9th percentiles of single calls (counters median_ns, p99_ns and p999_ns;
// with several threads, the average of the per-thread figures).

#include <benchmark/benchmark.h>
#include <spdlog/async_logger.h>
#include <spdlog/details/thread_pool.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "log/logger.h"

namespace {

// Both loggers get the same untimed warm-up and the same number of timed calls per thread.
constexpr int kWarmUpCalls = 20000;
constexpr benchmark::IterationCount kTimedCalls = 1000000;
constexpr std::size_t kSpdlogQueueSize = 8192;
constexpr const char* kCameraName = "usb-2.1";

// A fresh empty file on /tmp for one benchmark run, removed afterwards.
class tempLogFile {
  public:
    tempLogFile() {
        char pattern[] = "/tmp/dravixLogBench-XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd < 0) {
            std::perror("mkstemp");
            std::abort();
        }
        ::close(fd);
        path_ = pattern;
    }
    ~tempLogFile() { std::remove(path_.c_str()); }
    tempLogFile(const tempLogFile&) = delete;
    tempLogFile& operator=(const tempLogFile&) = delete;

    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// Our logger with file logging on; close() writes every waiting entry and joins its threads.
class dravixLogger {
  public:
    explicit dravixLogger(const std::string& path) { log_.open(path, true, true); }
    ~dravixLogger() { log_.close(); }

    void log(int count) { log_.info("camera count changed %d on %s", count, kCameraName); }

  private:
    dravix::logger log_;
};

// spdlog with its default queue size, one worker and reporters that wait on a full queue.
class spdlogAsyncLogger {
  public:
    explicit spdlogAsyncLogger(const std::string& path)
        : pool_(std::make_shared<spdlog::details::thread_pool>(kSpdlogQueueSize, 1)),
          log_(std::make_shared<spdlog::async_logger>(
              "bench", std::make_shared<spdlog::sinks::basic_file_sink_mt>(path, true), pool_,
              spdlog::async_overflow_policy::block)) {
        log_->set_level(spdlog::level::info);
    }
    // The pool's destructor lets its worker write every queued message, then joins it.
    ~spdlogAsyncLogger() {
        log_->flush();
        log_.reset();
        pool_.reset();
    }

    void log(int count) { log_->info("camera count changed {} on {}", count, kCameraName); }

  private:
    std::shared_ptr<spdlog::details::thread_pool> pool_;
    std::shared_ptr<spdlog::async_logger> log_;
};

// The logger and its file, shared by the threads of one run; thread 0 builds and ends them.
template <typename Logger>
struct sharedSubject {
    static void begin() {
        file = std::make_unique<tempLogFile>();
        logger = std::make_unique<Logger>(file->path());
        for (int i = 0; i < kWarmUpCalls; ++i) {
            logger->log(i);
        }
    }
    static void end() {
        logger.reset();  // flushes and joins before the file goes
        file.reset();
    }

    static inline std::unique_ptr<tempLogFile> file;
    static inline std::unique_ptr<Logger> logger;
};

// Durations of single calls, measured with the same clock for every logger.
class callTimer {
  public:
    using clock = std::chrono::steady_clock;

    explicit callTimer(std::size_t calls) { samples_.reserve(calls); }

    template <typename Call>
    void time(Call&& call) {
        const clock::time_point start = clock::now();
        call();
        const clock::time_point stop = clock::now();
        samples_.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(stop - start));
    }

    void report(benchmark::State& state) {
        state.counters["median_ns"] = averagedOverThreads(percentile(0.50));
        state.counters["p99_ns"] = averagedOverThreads(percentile(0.99));
        state.counters["p999_ns"] = averagedOverThreads(percentile(0.999));
    }

  private:
    double percentile(double fraction) {
        if (samples_.empty()) {
            return 0.0;
        }
        const auto rank = static_cast<std::ptrdiff_t>(fraction * (samples_.size() - 1));
        std::nth_element(samples_.begin(), samples_.begin() + rank, samples_.end());
        return static_cast<double>(samples_[rank].count());
    }
    static benchmark::Counter averagedOverThreads(double value) {
        return benchmark::Counter(value, benchmark::Counter::kAvgThreads);
    }

    std::vector<std::chrono::nanoseconds> samples_;
};

template <typename Logger>
void logCall(benchmark::State& state) {
    using subject = sharedSubject<Logger>;
    if (state.thread_index() == 0) {
        subject::begin();
    }
    callTimer timer(static_cast<std::size_t>(state.max_iterations));
    int count = 0;
    // All threads start and leave the loop together, so setup and teardown stay outside it.
    for (auto _ : state) {
        timer.time([&] { subject::logger->log(count++); });
    }
    if (state.thread_index() == 0) {
        subject::end();
    }
    timer.report(state);
}

}  // namespace

BENCHMARK_TEMPLATE(logCall, spdlogAsyncLogger)
    ->Name("logCall/spdlogAsyncBaseline")
    ->Iterations(kTimedCalls)
    ->UseRealTime()
    ->Threads(1)
    ->Threads(2);
BENCHMARK_TEMPLATE(logCall, dravixLogger)
    ->Name("logCall/dravix")
    ->Iterations(kTimedCalls)
    ->UseRealTime()
    ->Threads(1)
    ->Threads(2);

BENCHMARK_MAIN();
