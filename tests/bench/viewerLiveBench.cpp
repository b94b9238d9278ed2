// The viewer live on a 1920x1080 camera at 60 frames per second: the whole window on a private
// Xvfb server, the real library loaded by name with one emulated camera, run for
// DRAVIX_BENCH_SECONDS (default 10) once the first frame is shown. Reports the frames the camera
// delivered and the display showed, the "Missed frames" lines and the frames they name, and the
// CPU time of the GUI thread and of the whole process (the emulated camera renders its frames in
// this process too) as a share of one core.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <memory>

#include "ImageViewer.h"
#include "stdoutCapture.h"
#include "xvfbServer.h"

namespace {

double cpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double monotonicSeconds() {
    return cpuSeconds(CLOCK_MONOTONIC);
}

int benchSeconds() {
    const int seconds = qEnvironmentVariableIntValue("DRAVIX_BENCH_SECONDS");
    return seconds > 0 ? seconds : 10;
}

void viewerLive(benchmark::State& state) {
    dravix::test::xvfbServer server;
    if (!server.started()) {
        state.SkipWithError("Xvfb did not start");
        return;
    }
    QTemporaryDir media;
    qputenv("DISPLAY", QByteArray::fromStdString(server.name()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("DRAVIX_CAMEMU", "1");
    qputenv("DRAVIX_CAMEMU_FORMAT", "1920x1080@60");
    qputenv("KYRVIEWER_MEDIA", media.path().toUtf8());
    int argc = 1;
    char name[] = "kyrviewer_live_bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    for (auto _ : state) {
        auto viewer = std::make_unique<ImageViewer>();
        if (!QTest::qWaitFor([&] { return viewer->shownFrameCount() > 0; }, 20000)) {
            state.SkipWithError("no live picture");
            return;
        }
        stdoutCapture output;
        const int shownBefore = viewer->shownFrameCount();
        const double cpuProcess = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double cpuGui = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const double start = monotonicSeconds();
        QTest::qWait(benchSeconds() * 1000);
        const double wall = monotonicSeconds() - start;
        state.SetIterationTime(wall);
        const QString text = output.text();
        int missedFrames = 0;
        QRegularExpressionMatchIterator lines =
            QRegularExpression("Missed frames: (\\d+)").globalMatch(text);
        int missedLines = 0;
        while (lines.hasNext()) {
            missedFrames += lines.next().captured(1).toInt();
            ++missedLines;
        }
        state.counters["shown_fps"] = (viewer->shownFrameCount() - shownBefore) / wall;
        state.counters["missed_lines"] = missedLines;
        state.counters["missed_frames"] = missedFrames;
        state.counters["restarts"] = text.count("restart camera");
        state.counters["cpu_gui_pct"] =
            100.0 * (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuGui) / wall;
        state.counters["cpu_process_pct"] =
            100.0 * (cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuProcess) / wall;
        viewer->close();
    }
}

}  // namespace

BENCHMARK(viewerLive)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
