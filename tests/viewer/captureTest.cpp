// Snapshots and recordings of the main window on the emulated 208 x 200 camera, into a temporary
// medium: file names, picture sizes and contents, frame counts, action states, the error box for
// a missing or unwritable medium, and that no capture overwrites another.
#include <QtTest>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include "ImageViewer.h"
#include "captureNames.h"
#include "emu/emulatedCamera.h"
#include "stdoutCapture.h"
#include "testPatternColours.h"
#include "videoRecorder.h"
#include "viewerTestSupport.h"

using namespace viewerTestSupport;

namespace {

QStringList capturesIn(const QString& directory, const QString& pattern) {
    return QDir(directory + "/Capture").entryList({pattern}, QDir::Files, QDir::Name);
}

// Closes the next modal box once it shows and remembers its title and text.
class modalBoxCloser {
  public:
    modalBoxCloser() {
        QTimer::singleShot(0, [this] { closeWhenShown(); });
    }
    QString title;
    QString text;
    bool secondBox = false;

  private:
    void closeWhenShown() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            QTimer::singleShot(10, [this] { closeWhenShown(); });
            return;
        }
        title = box->windowTitle();
        text = box->text();
        box->accept();
        // A second box for the same capture would show up while this one closes.
        QTimer::singleShot(200,
                           [this] { secondBox = QApplication::activeModalWidget() != nullptr; });
    }
};

// Chooses `directory` in the open directory chooser, or cancels it when empty.
void answerFolderDialog(const QString& directory) {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
        QTimer::singleShot(10, [directory] { answerFolderDialog(directory); });
        return;
    }
    if (directory.isEmpty()) {
        dialog->reject();
        return;
    }
    dialog->setDirectory(directory);
    dialog->selectFile(directory);
    QMetaObject::invokeMethod(dialog, "accept");
}

// Mean absolute difference per channel between a written picture and the one on display.
double differenceToShown(const cv::Mat& written, const QPixmap& shown) {
    const QImage image = shown.toImage().convertToFormat(QImage::Format_BGR888);
    const cv::Mat view(image.height(), image.width(), CV_8UC3, const_cast<uchar*>(image.bits()),
                       static_cast<std::size_t>(image.bytesPerLine()));
    return cv::norm(written, view, cv::NORM_L1) / static_cast<double>(written.total() * 3);
}

int framesIn(const QString& file) {
    cv::VideoCapture video(file.toStdString());
    int frames = 0;
    for (cv::Mat frame; video.read(frame);) {
        ++frames;
    }
    return frames;
}

}  // namespace

class captureTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void namesNeverOverwriteACapture();
    void suffixesOfTakenNames_data();
    void suffixesOfTakenNames();
    void aByteWiseSortOfNamesIsTheOrderTaken();
    void aSnapshotIsThePictureOnDisplay();
    void snapshotsWithinOneSecondKeepEveryFile();
    void aRecordingLastsAsLongAsItWasRecorded();
    void framesFollowTheRecordingClock_data();
    void framesFollowTheRecordingClock();
    void stopWithoutRecordingDoesNothing();
    void aMissingOrUnwritableMediumShowsTheErrorBox_data();
    void aMissingOrUnwritableMediumShowsTheErrorBox();
    void theFifthCapturePushesTheOldestThumbnailOut();
    void theFolderChoiceIsKept();
    void aWriterThatCannotOpenLeavesRecordingOff();
    void closingTheWindowCompletesTheRecording();
    void aFormatChangeEndsTheRecording();

  private:
    QTemporaryDir media_;
    std::unique_ptr<ImageViewer> viewer_;
};

void captureTest::init() {
    QVERIFY(media_.isValid());
    qputenv("KYRVIEWER_MEDIA", media_.path().toUtf8());
    setUpEmulatedCamera();
}

void captureTest::cleanup() {
    if (viewer_ != nullptr) {
        viewer_->close();
        viewer_.reset();
    }
    QDir(media_.path() + "/Capture").removeRecursively();
}

void captureTest::namesNeverOverwriteACapture() {
    std::tm march5{};
    march5.tm_year = 124;
    march5.tm_mon = 2;
    march5.tm_mday = 5;
    march5.tm_hour = 14;
    march5.tm_min = 7;
    march5.tm_sec = 9;
    march5.tm_isdst = -1;
    const std::time_t when = std::mktime(&march5);
    QCOMPARE(captureNames::timeStamp(when), QString("2024.03.05-14.07.09"));
    const QString dir = media_.path();
    QStringList names;
    for (int n = 0; n < 3; ++n) {
        names << captureNames::freeName(dir, "img_", ".jpg", when);
        QFile file(names.last());
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(names, QStringList({dir + "/img_2024.03.05-14.07.09.jpg",
                                 dir + "/img_2024.03.05-14.07.09_01.jpg",
                                 dir + "/img_2024.03.05-14.07.09_02.jpg"}));
    QCOMPARE(captureNames::freeName(dir, "mov_", ".avi", when),
             dir + "/mov_2024.03.05-14.07.09.avi");
}

void captureTest::suffixesOfTakenNames_data() {
    QTest::addColumn<int>("taken");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("first") << 1 << "_01";
    QTest::newRow("ninth") << 9 << "_09";
    QTest::newRow("tenth") << 10 << "_10";
    QTest::newRow("last of two digits") << 99 << "_99";
    QTest::newRow("first of the second field") << 100 << "_99_01";
    QTest::newRow("last of the second field") << 198 << "_99_99";
    QTest::newRow("first of the third field") << 199 << "_99_99_01";
}

void captureTest::suffixesOfTakenNames() {
    QFETCH(int, taken);
    QFETCH(QString, suffix);
    QCOMPARE(captureNames::suffix(taken), suffix);
}

// The replay browser lists captures sorted by name: within one second, the names taken one after
// the other must come out of a plain byte-wise sort in the same order, past every field width.
void captureTest::aByteWiseSortOfNamesIsTheOrderTaken() {
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QString dir = directory.path();
    const std::time_t when = std::time(nullptr);
    std::vector<QByteArray> taken;
    for (int n = 0; n < 210; ++n) {
        const QString name = captureNames::freeName(dir, "img_", ".jpg", when);
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        taken.push_back(QFile::encodeName(QFileInfo(name).fileName()));
    }
    std::vector<QByteArray> sorted = taken;
    std::sort(sorted.begin(), sorted.end());
    QVERIFY(sorted == taken);
    QVERIFY(std::adjacent_find(taken.begin(), taken.end()) == taken.end());
}

void captureTest::aSnapshotIsThePictureOnDisplay() {
    viewer_ = startRunningViewer();
    QVERIFY(viewer_ != nullptr);
    viewer_->on_memoryStickChecker();
    stdoutCapture output;
    viewer_->captureImageTriggered();
    QVERIFY(QTest::qWaitFor([&] { return !capturesIn(media_.path(), "*.jpg").isEmpty(); }));
    const QStringList files = capturesIn(media_.path(), "*.jpg");
    QCOMPARE(files.size(), 1);
    QVERIFY(QRegularExpression("^img_\\d{4}\\.\\d\\d\\.\\d\\d-\\d\\d\\.\\d\\d\\.\\d\\d\\.jpg$")
                .match(files[0])
                .hasMatch());
    const QString path = media_.path() + "/Capture/" + files[0];
    QVERIFY(output.text().contains(QString("Writing to image file: \"%1\"\n\n").arg(path)));
    QCOMPARE(viewer_->thumbCount(), 1);
    const cv::Mat written = cv::imread(path.toStdString());
    QCOMPARE(written.cols, 200);
    QCOMPARE(written.rows, 200);
    // The thumbnail is the snapshot's frame; JPEG keeps it within a few levels.
    const QPixmap thumb =
        action(*viewer_, "thumbAction0")->icon().pixmap(viewer_->framePixmap().size());
    QVERIFY(differenceToShown(written, thumb) < 4.0);
    const QImage decoded(written.data, written.cols, written.rows, static_cast<int>(written.step),
                         QImage::Format_BGR888);
    QVERIFY(testPatternColours::showsEveryBar(decoded, 1.0 / 200, 12));
}

void captureTest::snapshotsWithinOneSecondKeepEveryFile() {
    viewer_ = startRunningViewer();
    QVERIFY(viewer_ != nullptr);
    for (int n = 1; n <= 3; ++n) {
        viewer_->captureImageTriggered();
        QVERIFY(QTest::qWaitFor([&] { return capturesIn(media_.path(), "*.jpg").size() == n; }));
    }
}

// The camera runs at 60 frames per second and the display shows them all; the file, at 30 frames
// per second, still plays as long as the recording took.
void captureTest::aRecordingLastsAsLongAsItWasRecorded() {
    viewer_ = startRunningViewer();
    QVERIFY(viewer_ != nullptr);
    viewer_->on_memoryStickChecker();
    stdoutCapture output;
    // The recording's clock starts inside recordSteamTriggered(), once the writer is open: the
    // time around the call bounds the file from above, the time after it from below.
    QElapsedTimer aroundStart;
    aroundStart.start();
    viewer_->recordSteamTriggered();
    QElapsedTimer afterStart;
    afterStart.start();
    QVERIFY(viewer_->isRecording());
    const int shownBefore = viewer_->shownFrameCount();
    QVERIFY(!action(*viewer_, "SnapshotAction")->isEnabled());
    QVERIFY(!action(*viewer_, "RecordAction")->isEnabled());
    QVERIFY(!action(*viewer_, "PlayAction")->isEnabled());
    QVERIFY(action(*viewer_, "StopRecordAction")->isEnabled());
    viewer_->captureImageTriggered();  // no snapshots while recording
    QVERIFY(QTest::qWaitFor([&] { return viewer_->shownFrameCount() >= shownBefore + 60; }));
    const double recordedAtLeast = static_cast<double>(afterStart.elapsed()) / 1000.0;
    viewer_->stopRecordingTriggered();
    const double seconds = static_cast<double>(aroundStart.elapsed()) / 1000.0;
    const int shown = viewer_->shownFrameCount() - shownBefore;
    QVERIFY(!viewer_->isRecording());
    QVERIFY(action(*viewer_, "RecordAction")->isEnabled());
    QVERIFY(capturesIn(media_.path(), "*.jpg").isEmpty());

    const QStringList files = capturesIn(media_.path(), "mov_*.avi");
    QCOMPARE(files.size(), 1);
    const QString text = output.text();
    QVERIFY(text.contains("Open video file: \"" + media_.path() + "/Capture/" + files[0] +
                          "\"\n\nopen video writer! 0x"));
    QVERIFY(text.contains("Width: 208 Height: 200\n"));
    QVERIFY(text.endsWith("Video file closed\n"));
    cv::VideoCapture video((media_.path() + "/Capture/" + files[0]).toStdString());
    QVERIFY(video.isOpened());
    QCOMPARE(video.get(cv::CAP_PROP_FPS), 30.0);
    int frames = 0;
    for (cv::Mat frame; video.read(frame); ++frames) {
        QCOMPARE(frame.cols, 200);
        QCOMPARE(frame.rows, 200);
    }
    // The last frame shown before Stop may be a few display ticks old.
    const QString counts =
        QString("%1 frames in %2 s, %3 shown").arg(frames).arg(seconds).arg(shown);
    QVERIFY2(frames <= seconds * 30 + 1.5, qPrintable(counts));
    QVERIFY2(frames >= (recordedAtLeast - 0.5) * 30, qPrintable(counts));
}

void captureTest::framesFollowTheRecordingClock_data() {
    QTest::addColumn<QList<int>>("arrivalsMs");
    QTest::addColumn<int>("frames");
    QList<int> sixtyPerSecond;
    QList<int> fifteenPerSecond;
    for (int k = 0; k <= 60; ++k) {
        sixtyPerSecond << k * 1000 / 60;
    }
    for (int k = 0; k <= 15; ++k) {
        fifteenPerSecond << k * 1000 / 15;
    }
    QTest::newRow("60 per second for 1 s: every other dropped") << sixtyPerSecond << 31;
    QTest::newRow("15 per second for 1 s: each twice") << fifteenPerSecond << 31;
    QTest::newRow("one frame") << QList<int>{0} << 1;
    QTest::newRow("early frames: dropped") << QList<int>{0, 5, 10, 16} << 1;
    QTest::newRow("nearest slot") << QList<int>{0, 17} << 2;
    QTest::newRow("half a second late: repeated") << QList<int>{0, 500} << 16;
}

// Frames are written on a 30 fps clock from the start of the file, whatever rate they arrive at.
void captureTest::framesFollowTheRecordingClock() {
    QFETCH(QList<int>, arrivalsMs);
    QFETCH(int, frames);
    videoRecorder recorder;
    const QString name = media_.path() + "/clock.avi";
    QVERIFY(recorder.open(name, 64, 48));
    for (const int arrival : arrivalsMs) {
        recorder.writeAt(cv::Mat(48, 64, CV_8UC3, cv::Scalar::all(arrival % 256)),
                         std::chrono::milliseconds(arrival));
    }
    QCOMPARE(recorder.framesWritten(), static_cast<long>(frames));
    QVERIFY(recorder.close());
    QCOMPARE(framesIn(name), frames);
}

void captureTest::stopWithoutRecordingDoesNothing() {
    viewer_ = startRunningViewer();
    QVERIFY(viewer_ != nullptr);
    viewer_->on_memoryStickChecker();
    stdoutCapture output;
    viewer_->stopRecordingTriggered();
    QCOMPARE(output.text(), QString());
    QVERIFY(action(*viewer_, "RecordAction")->isEnabled());
    QVERIFY(!action(*viewer_, "StopRecordAction")->isEnabled());
}

void captureTest::aMissingOrUnwritableMediumShowsTheErrorBox_data() {
    QTest::addColumn<QString>("medium");
    QTest::newRow("missing") << "/nonexistent/medium";
    // A directory where nobody, root included, can create "Capture".
    QTest::newRow("unwritable") << "/proc/1";
}

void captureTest::aMissingOrUnwritableMediumShowsTheErrorBox() {
    QFETCH(QString, medium);
    viewer_ = startRunningViewer();
    QVERIFY(viewer_ != nullptr);
    qputenv("KYRVIEWER_MEDIA", medium.toUtf8());
    for (const bool snapshot : {true, false}) {
        modalBoxCloser closer;
        if (snapshot) {
            viewer_->captureImageTriggered();
            QVERIFY(QTest::qWaitFor([&] { return !closer.title.isEmpty(); }));
        } else {
            viewer_->recordSteamTriggered();
        }
        QCOMPARE(closer.title, QString("Error"));
        QCOMPARE(closer.text, QString("Memory media not available"));
        QTest::qWait(300);
        QVERIFY(!closer.secondBox);
    }
    QVERIFY(!viewer_->isRecording());
    QCOMPARE(viewer_->thumbCount(), 0);
    QVERIFY(!QFileInfo::exists(medium + "/Capture"));
}

void captureTest::theFifthCapturePushesTheOldestThumbnailOut() {
    viewer_ = startRunningViewer();
    QVERIFY(viewer_ != nullptr);
    for (int n = 1; n <= 5; ++n) {
        viewer_->captureImageTriggered();
        QVERIFY(QTest::qWaitFor([&] { return capturesIn(media_.path(), "*.jpg").size() == n; }));
        QCOMPARE(viewer_->thumbCount(), std::min(n, 4));
    }
}

// The directory chooser is driven from the test: a cancel changes nothing, a choice is stored.
void captureTest::theFolderChoiceIsKept() {
    viewer_ = startRunningViewer();
    QVERIFY(viewer_ != nullptr);
    QSettings settings("zel gmbh", "kyrViewer");
    settings.remove("kyrViewerDstDirName");
    const QString before = viewer_->destinationDirectory();
    for (const bool choose : {false, true}) {
        QTimer::singleShot(0, [&] { answerFolderDialog(choose ? media_.path() : QString()); });
        viewer_->selectDestDirTriggered();
        settings.sync();
        QCOMPARE(viewer_->destinationDirectory(), choose ? media_.path() : before);
        QCOMPARE(settings.value("kyrViewerDstDirName").toString(),
                 choose ? media_.path() : QString());
    }
}

void captureTest::aWriterThatCannotOpenLeavesRecordingOff() {
    videoRecorder recorder;
    QVERIFY(!recorder.open(media_.path() + "/no/such/directory/mov.avi", 200, 200));
    QVERIFY(!recorder.isOpen());
    QCOMPARE(recorder.handle(), nullptr);
    const cv::Mat picture(200, 208, CV_8UC3, cv::Scalar(1, 2, 3));
    const cv::Mat visible = ImageViewer::visiblePart(picture);
    recorder.write(visible);
    QVERIFY(!recorder.close());

    QVERIFY(recorder.open(media_.path() + "/mov.avi", 200, 200));
    recorder.write(visible);
    recorder.write(cv::Mat(100, 100, CV_8UC3, cv::Scalar(1, 2, 3)));  // another size: skipped
    QVERIFY(recorder.close());
    cv::VideoCapture video((media_.path() + "/mov.avi").toStdString());
    cv::Mat frame;
    QVERIFY(video.read(frame));
    QCOMPARE(frame.cols, 200);
    QVERIFY(!video.read(frame));
}

void captureTest::closingTheWindowCompletesTheRecording() {
    viewer_ = startRunningViewer();
    QVERIFY(viewer_ != nullptr);
    viewer_->recordSteamTriggered();
    QVERIFY(viewer_->isRecording());
    const int shownBefore = viewer_->shownFrameCount();
    // Half a second of a 60 fps camera at least: 15 frames on the recording's 30 fps clock.
    QVERIFY(QTest::qWaitFor([&] { return viewer_->shownFrameCount() >= shownBefore + 30; }));
    viewer_->close();
    const QStringList files = capturesIn(media_.path(), "mov_*.avi");
    QCOMPARE(files.size(), 1);
    QVERIFY(framesIn(media_.path() + "/Capture/" + files[0]) >= 10);
}

// After a restart in another format the file is completed: it keeps every frame of its own size.
void captureTest::aFormatChangeEndsTheRecording() {
    viewer_ = startRunningViewer();
    QVERIFY(viewer_ != nullptr);
    stdoutCapture output;
    viewer_->recordSteamTriggered();
    QVERIFY(viewer_->isRecording());
    pauseCameraAndSettle();
    emulatedCamera()->setVideoFormat(656, 486, 60);
    QVERIFY(QTest::qWaitFor([&] { return output.text().contains("restart camera"); }, 15000));
    emulatedCamera()->pauseFrames(false);
    QVERIFY(QTest::qWaitFor([&] { return !viewer_->isRecording(); }, 15000));
    QVERIFY(output.text().contains("frame size changed: 656 x 486\nVideo file closed\n"));
    const QStringList files = capturesIn(media_.path(), "mov_*.avi");
    QCOMPARE(files.size(), 1);
    QVERIFY(framesIn(media_.path() + "/Capture/" + files[0]) > 0);
    QVERIFY(action(*viewer_, "RecordAction")->isEnabled());
}

QTEST_MAIN(captureTest)
#include "captureTest.moc"
