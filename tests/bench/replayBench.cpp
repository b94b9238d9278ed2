// The replay window playing a 1920x1080 recording made by the viewer's own recorder, lasting
// DRAVIX_BENCH_SECONDS (default 10) at 30 frames per second, on the offscreen platform:
// - replayRate: the whole file played by the window's own timer; frames shown per second and
//   their drift against the file's 30 frames per second (goal: under 2 %).
// - replayTickAtZoom400: one playback tick (decode, conversion, picture update) plus painting the
//   window's view of the picture at 400 %, per frame (goal: under 33 ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <memory>

#include <opencv2/imgproc.hpp>

#include "ReplayViewer.h"
#include "videoRecorder.h"

namespace {

constexpr int kFramesPerSecond = 30;
const QSize kFrameSize(1920, 1080);

int benchSeconds() {
    const int seconds = qEnvironmentVariableIntValue("DRAVIX_BENCH_SECONDS");
    return seconds > 0 ? seconds : 10;
}

// A recording with a bar moving across a gradient, so that every frame differs.
class benchRecording {
  public:
    benchRecording() {
        path_ = directory_.path() + "/mov_bench.avi";
        videoRecorder recorder;
        if (!recorder.open(path_, kFrameSize.width(), kFrameSize.height())) {
            path_.clear();
            return;
        }
        cv::Mat frame(kFrameSize.height(), kFrameSize.width(), CV_8UC3);
        const int frames = benchSeconds() * kFramesPerSecond;
        for (int k = 0; k < frames; ++k) {
            for (int y = 0; y < frame.rows; ++y) {
                frame.row(y).setTo(cv::Scalar(y % 256, (y / 4 + k) % 256, 128));
            }
            const int x = k * 16 % frame.cols;
            cv::rectangle(frame, cv::Rect(x, 0, 64, frame.rows), cv::Scalar(255, 255, 255),
                          cv::FILLED);
            recorder.writeAt(frame, std::chrono::microseconds(k * 1000000LL / kFramesPerSecond));
        }
        recorder.close();
    }
    const QString& path() const { return path_; }
    int frames() const { return benchSeconds() * kFramesPerSecond; }

  private:
    QTemporaryDir directory_;
    QString path_;
};

QApplication& application() {
    static int argc = 1;
    static char name[] = "kyrviewer_replay_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

const benchRecording& recording() {
    application();
    static const benchRecording made;
    return made;
}

std::unique_ptr<ReplayViewer> shownReplay() {
    auto replay = std::make_unique<ReplayViewer>();
    replay->resize(kFrameSize);
    replay->show();
    return replay;
}

void replayRate(benchmark::State& state) {
    if (recording().path().isEmpty()) {
        state.SkipWithError("no recording");
        return;
    }
    for (auto _ : state) {
        auto replay = shownReplay();
        auto* timer = replay->findChild<QTimer*>("replayTimer");
        // Every tick that shows a frame notes its time; this slot runs after the window's own.
        QElapsedTimer wall;
        qint64 lastShownNs = 0;
        int shown = 0;
        QObject::connect(timer, &QTimer::timeout, replay.get(), [&] {
            if (replay->shownFrameCount() != shown) {
                shown = replay->shownFrameCount();
                lastShownNs = wall.nsecsElapsed();
            }
        });
        replay->openFile(recording().path());
        wall.start();  // the first frame is on display
        shown = replay->shownFrameCount();
        const int first = shown;
        if (!QTest::qWaitFor([&] { return !timer->isActive(); }, benchSeconds() * 3000)) {
            state.SkipWithError("playback did not end");
            return;
        }
        const double seconds = static_cast<double>(lastShownNs) * 1e-9;
        state.SetIterationTime(seconds);
        const double rate = (shown - first) / seconds;
        state.counters["frames"] = shown - first + 1;
        state.counters["shown_fps"] = rate;
        state.counters["drift_pct"] = 100.0 * (rate - kFramesPerSecond) / kFramesPerSecond;
    }
}

void replayTickAtZoom400(benchmark::State& state) {
    if (recording().path().isEmpty()) {
        state.SkipWithError("no recording");
        return;
    }
    auto replay = shownReplay();
    replay->openFile(recording().path());
    replay->findChild<QTimer*>("replayTimer")->stop();
    replay->zoom_x4();
    QWidget* view = replay->scrollArea()->viewport();
    for (auto _ : state) {
        if (!replay->isVideoOpen()) {
            state.PauseTiming();
            replay->openFile(recording().path());
            replay->findChild<QTimer*>("replayTimer")->stop();
            state.ResumeTiming();
        }
        replay->on_timer_replay();
        view->repaint();
    }
    state.counters["view_width"] = view->width();
    state.counters["view_height"] = view->height();
}

}  // namespace

BENCHMARK(replayRate)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(replayTickAtZoom400)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
