// The replay window on files made at test time (the viewer's own recordings, pictures, damaged
// and mislabelled files): opening, browsing, playback, zoom, delete, snapshots, and its life next
// to the main window on the emulated camera.
#include <QtTest>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>

#include <opencv2/imgcodecs.hpp>

#include "ImageViewer.h"
#include "ReplayViewer.h"
#include "captureNames.h"
#include "emu/emulatedCamera.h"
#include "stdoutCapture.h"
#include "videoRecorder.h"
#include "viewerTestSupport.h"
#include "zoomedPicture.h"

using namespace viewerTestSupport;

namespace {

constexpr std::chrono::microseconds kFramePeriod{33334};

// A recording of `frames` frames, as the viewer writes them, each a different grey.
void makeRecording(const QString& path, int width, int height, int frames) {
    videoRecorder recorder;
    QVERIFY(recorder.open(path, width, height));
    for (int k = 0; k < frames; ++k) {
        recorder.writeAt(cv::Mat(height, width, CV_8UC3, cv::Scalar::all(k * 4 % 256)),
                         k * kFramePeriod);
    }
    QVERIFY(recorder.close());
}

void makePicture(const QString& path, int width, int height) {
    cv::Mat picture(height, width, CV_8UC3, cv::Scalar(200, 30, 30));
    picture.colRange(width / 2, width).setTo(cv::Scalar(30, 30, 200));
    QVERIFY(cv::imwrite(path.toStdString(), picture));
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs `act` on the next modal widget other than `current` once it shows (the caller then enters
// the modal loop).
void onModal(std::function<void(QWidget*)> act, const QWidget* current = nullptr) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == current || !modal->isVisible()) {
        QTimer::singleShot(10, [act, current] { onModal(act, current); });
        return;
    }
    act(modal);
}

// Types `name` into the file dialog, as the user does (selectFile leaves a focused name field
// alone).
void typeFileName(QFileDialog* dialog, const QString& name) {
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    QVERIFY(edit != nullptr);
    edit->setText(name);
}

// The answer given to the delete question, and the button the box offered as its default.
struct deleteAnswer {
    QString key;  // "Yes", "No", "Enter" or "Escape"
    QString defaultButton;
    QString informativeText;
};

void answerDeleteQuestion(deleteAnswer* answer) {
    onModal([answer](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        QCOMPARE(box->windowTitle(), QString("Question"));
        QCOMPARE(box->text(), QString("Delete File ?"));
        answer->informativeText = box->informativeText();
        answer->defaultButton =
            box->defaultButton() == box->button(QMessageBox::Yes) ? "Yes" : "No";
        if (answer->key == "Enter") {
            QTest::keyClick(box, Qt::Key_Return);
        } else if (answer->key == "Escape") {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            box->button(answer->key == "Yes" ? QMessageBox::Yes : QMessageBox::No)->click();
        }
    });
}

// A replay window whose removal always fails, as on a read-only medium.
class undeletableReplayViewer : public ReplayViewer {
  protected:
    bool removeFile(const QString&) override { return false; }
};

QString statusOf(const ReplayViewer& viewer) {
    return viewer.statusBar()->currentMessage();
}

QAction* replayAction(const ReplayViewer& viewer, const char* name) {
    return viewer.findChild<QAction*>(name);
}

QTimer* replayTimer(const ReplayViewer& viewer) {
    return viewer.findChild<QTimer*>("replayTimer");
}

// Plays the open video to its end by hand and returns the frames shown, each checked for `size`.
int playToTheEnd(ReplayViewer& viewer, const QSize& size) {
    const int before = viewer.shownFrameCount();
    while (viewer.isVideoOpen()) {
        viewer.on_timer_replay();
        if (viewer.isVideoOpen() && viewer.shownSize() != size) {
            return -1;
        }
    }
    return viewer.shownFrameCount() - before;
}

}  // namespace

class replayViewerTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void opensWhatItCanRead_data();
    void opensWhatItCanRead();
    void playsEveryFrameAtTheFileSize_data();
    void playsEveryFrameAtTheFileSize();
    void ticksAtNormalOrSlowSpeedAndStopsAtTheEnd();
    void browsesRegularFilesInNameOrderWithoutWrapping();
    void startsAtTheZoomOfTheCameraFormat_data();
    void startsAtTheZoomOfTheCameraFormat();
    void zoomStepsKeepTheirLimits();
    void aLargeZoomPaintsOnlyWhatIsVisible();
    void deletesOnlyWhenTold_data();
    void deletesOnlyWhenTold();
    void snapshotsOfAPlayingVideoNeverOverwrite();
    void playOpensReplayOverADisabledMainWindow();
    void everyClosePathReleasesTheFile_data();
    void everyClosePathReleasesTheFile();
    void theLiveCameraStaysBehindReplay();

  private:
    QString file(const QString& name) const { return capture_ + "/" + name; }
    // The main window on the emulated camera, replay opened on `path` through Play.
    void openReplayThroughPlay(const QString& path);

    QTemporaryDir media_;
    QTemporaryDir snapshots_;
    QString capture_;
    std::unique_ptr<ImageViewer> main_;
    std::unique_ptr<ReplayViewer> replay_;
};

void replayViewerTest::init() {
    QVERIFY(media_.isValid());
    QVERIFY(snapshots_.isValid());
    qputenv("KYRVIEWER_MEDIA", media_.path().toUtf8());
    setUpEmulatedCamera();
    capture_ = media_.path() + "/Capture";
    QVERIFY(QDir().mkpath(capture_));
    QSettings("zel gmbh", "kyrViewer").setValue("kyrViewerDstDirName", snapshots_.path());
    replay_ = std::make_unique<ReplayViewer>();
    replay_->setDirectory(capture_);
}

void replayViewerTest::cleanup() {
    replay_.reset();
    if (main_ != nullptr) {
        main_->close();
        main_.reset();
    }
    QDir(capture_).removeRecursively();
    QDir(snapshots_.path()).removeRecursively();
    QDir().mkpath(snapshots_.path());
}

void replayViewerTest::opensWhatItCanRead_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("shown");  // empty: cannot be opened
    QTest::addColumn<bool>("plays");
    QTest::newRow("picture") << "a.png"
                             << "picture" << QSize(640, 480) << false;
    QTest::newRow("recording") << "b.avi"
                               << "recording" << QSize(200, 200) << true;
    QTest::newRow("upper-case AVI") << "c.AVI"
                                    << "recording" << QSize(200, 200) << true;
    QTest::newRow("recording named .jpg") << "d.jpg"
                                          << "recording" << QSize() << false;
    QTest::newRow("empty video") << "e.avi"
                                 << "empty" << QSize() << false;
    QTest::newRow("300 bytes of a video") << "f.avi"
                                          << "head" << QSize() << false;
    QTest::newRow("empty picture") << "g.jpg"
                                   << "empty" << QSize() << false;
    QTest::newRow("missing") << "h.png"
                             << "none" << QSize() << false;
    // FFmpeg finds the picture inside: a one-frame video.
    QTest::newRow("JPEG named .avi") << "i.avi"
                                     << "jpeg" << QSize(640, 480) << true;
    QTest::newRow("truncated JPEG") << "j.jpg"
                                    << "truncated jpeg" << QSize(640, 480) << false;
}

// A file that cannot be read leaves nothing of the previous one on display and starts no timer.
void replayViewerTest::opensWhatItCanRead() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QSize, shown);
    QFETCH(bool, plays);
    makePicture(file("before.png"), 320, 240);
    makeRecording(file("source.avi"), 200, 200, 10);
    makePicture(file("source.jpg"), 640, 480);
    const QByteArray video = readBytes(file("source.avi"));
    const QByteArray jpeg = readBytes(file("source.jpg"));
    if (kind == "picture") {
        makePicture(file(name), 640, 480);
    } else if (kind == "recording") {
        writeBytes(file(name), video);
    } else if (kind == "empty") {
        writeBytes(file(name), QByteArray());
    } else if (kind == "head") {
        writeBytes(file(name), video.left(300));
    } else if (kind == "jpeg") {
        writeBytes(file(name), jpeg);
    } else if (kind == "truncated jpeg") {
        writeBytes(file(name), jpeg.left(jpeg.size() / 2));
    }
    replay_->openFile(file("before.png"));
    QCOMPARE(replay_->shownSize(), QSize(320, 240));

    stdoutCapture output;
    replay_->openFile(file(name));
    QVERIFY(output.text().startsWith(QString("Open file: \"%1\"\n\n").arg(file(name))));
    QCOMPARE(replay_->currentFile(), file(name));
    QCOMPARE(replay_->shownSize(), shown.isValid() ? shown : QSize(0, 0));
    QCOMPARE(replay_->shownPixmap().isNull(), !shown.isValid());
    QCOMPARE(replay_->picture()->pixmap().isNull(), !shown.isValid());
    QCOMPARE(statusOf(*replay_),
             (shown.isValid() ? QString("File: %1") : QString("Cannot open %1")).arg(file(name)));
    QCOMPARE(replayTimer(*replay_)->isActive(), plays);
    QCOMPARE(replay_->isVideoOpen(), plays);
    QCOMPARE(replayAction(*replay_, "SnapshotAction")->isEnabled(), plays);
}

void replayViewerTest::playsEveryFrameAtTheFileSize_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("truncated");
    QTest::newRow("200x200") << QSize(200, 200) << 45 << false;
    QTest::newRow("656x486") << QSize(656, 486) << 30 << false;
    QTest::newRow("1920x1080") << QSize(1920, 1080) << 6 << false;
    QTest::newRow("first half of 200x200") << QSize(200, 200) << 60 << true;
}

// Rewind plays the whole file again from its first frame.
void replayViewerTest::playsEveryFrameAtTheFileSize() {
    QFETCH(QSize, size);
    QFETCH(int, frames);
    QFETCH(bool, truncated);
    makeRecording(file("whole.avi"), size.width(), size.height(), frames);
    QString name = "whole.avi";
    if (truncated) {
        const QByteArray bytes = readBytes(file(name));
        name = "half.avi";
        writeBytes(file(name), bytes.left(bytes.size() / 2));
    }
    for (int round = 0; round < 2; ++round) {
        if (round == 0) {
            replay_->openFile(file(name));
        } else {
            QVERIFY(replayAction(*replay_, "RewindAction")->isEnabled());
            replay_->rewindTriggered();
        }
        QVERIFY(replay_->isVideoOpen());
        QCOMPARE(replay_->shownSize(), size);
        QVERIFY(!replayAction(*replay_, "RewindAction")->isEnabled());
        const int shown = 1 + playToTheEnd(*replay_, size);
        if (truncated) {
            QVERIFY2(shown > 1 && shown < frames, qPrintable(QString::number(shown)));
        } else {
            QCOMPARE(shown, frames);
        }
        QVERIFY(!replayTimer(*replay_)->isActive());
        QVERIFY(!replayAction(*replay_, "SnapshotAction")->isEnabled());
    }
}

void replayViewerTest::ticksAtNormalOrSlowSpeedAndStopsAtTheEnd() {
    makeRecording(file("a.avi"), 200, 200, 8);
    makePicture(file("b.png"), 200, 200);
    QTimer* timer = replayTimer(*replay_);
    QAction* slowMotion = replayAction(*replay_, "SlowMotionModeAction");
    replay_->openFile(file("a.avi"));
    QCOMPARE(replay_->framePeriodMs(), 1000.0 / 30);
    QVERIFY(timer->interval() >= 32 && timer->interval() <= 33);
    QCOMPARE(timer->timerType(), Qt::PreciseTimer);
    slowMotion->trigger();
    QVERIFY(timer->isActive());
    QCOMPARE(replay_->framePeriodMs(), 100.0);
    QVERIFY(timer->interval() >= 99 && timer->interval() <= 100);
    slowMotion->trigger();
    QVERIFY(timer->interval() >= 32 && timer->interval() <= 33);
    // Played by the timer itself: every frame, then the timer stops and the file is closed.
    const int before = replay_->shownFrameCount();
    QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 10000);
    QCOMPARE(replay_->shownFrameCount() - before, 7);
    QVERIFY(!replay_->isVideoOpen());
    QVERIFY(replayAction(*replay_, "RewindAction")->isEnabled());

    replay_->openFile(file("b.png"));
    slowMotion->trigger();
    QVERIFY(!timer->isActive());
    replay_->openFile(file("a.avi"));
    QVERIFY(timer->interval() >= 99 && timer->interval() <= 100);
}

// Directories, device links, hidden files and other suffixes are not browsed; suffixes of names
// taken within one second come after the plain name.
void replayViewerTest::browsesRegularFilesInNameOrderWithoutWrapping() {
    const std::time_t now = std::time(nullptr);
    const QString stamp = captureNames::timeStamp(now);
    makePicture(file("img_" + stamp + ".jpg"), 64, 48);
    makePicture(file("img_" + stamp + "_01.jpg"), 64, 48);
    makePicture(file("img_" + stamp + "_02.jpg"), 64, 48);
    makeRecording(file("mov_" + stamp + ".avi"), 64, 48, 3);
    makePicture(file("a.tif"), 64, 48);
    makePicture(file(".hidden.png"), 64, 48);
    makePicture(file("notes.bmp"), 64, 48);
    QVERIFY(QDir(capture_).mkdir("b.jpg"));
    QVERIFY(QFile::link("/dev/null", file("c.png")));
    QVERIFY(QFile::link(file("a.tif"), file("d.png")));
    const QStringList expected{"a.tif",
                               "d.png",
                               "img_" + stamp + ".jpg",
                               "img_" + stamp + "_01.jpg",
                               "img_" + stamp + "_02.jpg",
                               "mov_" + stamp + ".avi"};
    QCOMPARE(replay_->entries(), expected);

    replay_->openFile(file(expected.first()));
    replay_->previousFileTriggered();
    QCOMPARE(replay_->currentFile(), file(expected.first()));
    for (int k = 1; k < expected.size(); ++k) {
        replay_->nextFileTriggered();
        QCOMPARE(replay_->currentFile(), file(expected[k]));
    }
    replay_->nextFileTriggered();
    QCOMPARE(replay_->currentFile(), file(expected.last()));
    replay_->previousFileTriggered();
    QCOMPARE(replay_->currentFile(), file(expected[expected.size() - 2]));
    // The current file deleted from outside: the neighbours by name are still found.
    QVERIFY(QFile::remove(file(expected[expected.size() - 2])));
    replay_->previousFileTriggered();
    QCOMPARE(replay_->currentFile(), file(expected[expected.size() - 3]));
    QVERIFY(QFile::remove(file(expected[expected.size() - 3])));
    replay_->nextFileTriggered();
    QCOMPARE(replay_->currentFile(), file(expected.last()));
}

void replayViewerTest::startsAtTheZoomOfTheCameraFormat_data() {
    QTest::addColumn<QSize>("camera");
    QTest::addColumn<int>("zoomIndex");
    QTest::newRow("1920x1080") << QSize(1920, 1080) << 2;
    QTest::newRow("400x400") << QSize(400, 400) << 4;
    QTest::newRow("1280x720") << QSize(1280, 720) << 2;
    QTest::newRow("656x486") << QSize(656, 486) << 3;
    QTest::newRow("3840x2160, no camera") << QSize() << 0;
}

// The zoom chosen at the first picture stays for the following files.
void replayViewerTest::startsAtTheZoomOfTheCameraFormat() {
    QFETCH(QSize, camera);
    QFETCH(int, zoomIndex);
    makePicture(file("a.png"), 3840, 2160);
    makePicture(file("b.png"), 200, 200);
    if (camera.isValid()) {
        replay_->setCameraFormat(camera.width(), camera.height());
        QCOMPARE(replay_->shownSize(), camera);
        QVERIFY(isBlack(replay_->shownPixmap()));
    }
    replay_->openFile(file("a.png"));
    replay_->openFile(file("b.png"));
    QCOMPARE(replay_->zoomIndex(), zoomIndex);
    QCOMPARE(replay_->zoom(), ReplayViewer::kZoomFactors[zoomIndex]);
    QCOMPARE(replay_->findChild<QComboBox*>("zoomComboBox")->currentIndex(), zoomIndex);
    QCOMPARE(replay_->findChild<QSlider*>("zoomSlider")->value(), zoomIndex);
    QCOMPARE(replay_->picture()->size(), QSize(200, 200) * ReplayViewer::kZoomFactors[zoomIndex]);
}

// The toolbar zooms out no further than 100 %, the menu down to 12.5 %; in fit mode no step moves.
void replayViewerTest::zoomStepsKeepTheirLimits() {
    makePicture(file("a.png"), 200, 200);
    replay_->openFile(file("a.png"));
    struct step {
        void (ReplayViewer::*slot)();
        int times;
        int index;
    };
    const step steps[] = {
        {&ReplayViewer::zoomInLimited, 5, 6}, {&ReplayViewer::zoomOutLimited, 5, 3},
        {&ReplayViewer::zoomOut, 5, 0},       {&ReplayViewer::zoomOut, 1, 0},
        {&ReplayViewer::zoomIn, 8, 6},        {&ReplayViewer::zoom_x0_25, 1, 1},
        {&ReplayViewer::zoomInLimited, 1, 2}};
    for (const step& each : steps) {
        for (int n = 0; n < each.times; ++n) {
            (replay_.get()->*each.slot)();
        }
        QCOMPARE(replay_->zoomIndex(), each.index);
        int checked = 0;
        for (QAction* action : replay_->findChildren<QAction*>(QRegularExpression("^Zoomx"))) {
            checked += action->isChecked() ? 1 : 0;
        }
        QCOMPARE(checked, 1);
    }
    QAction* fit = replayAction(*replay_, "FitToWindowAction");
    fit->trigger();
    QCOMPARE(replay_->zoomIndex(), -1);
    QVERIFY(replay_->picture()->fitsToWidget());
    QVERIFY(replay_->scrollArea()->widgetResizable());
    QVERIFY(!replayAction(*replay_, "Zoom11Action")->isEnabled());
    replay_->zoomIn();
    replay_->zoomOutLimited();
    QCOMPARE(replay_->zoomIndex(), -1);
    QCOMPARE(replay_->zoom(), 1.0);
    fit->trigger();
    QCOMPARE(replay_->zoomIndex(), 3);
    QVERIFY(replayAction(*replay_, "Zoom11Action")->isEnabled());
    QCOMPARE(replay_->picture()->size(), QSize(200, 200));
}

// At 400 % a 1080p frame is never scaled whole: the picture keeps the frame's own size and a
// painted area shows the frame's pixels at the place the zoom puts them.
void replayViewerTest::aLargeZoomPaintsOnlyWhatIsVisible() {
    makeRecording(file("a.avi"), 1920, 1080, 2);
    replay_->openFile(file("a.avi"));
    replay_->zoom_x4();
    QCOMPARE(replay_->picture()->size(), QSize(7680, 4320));
    QCOMPARE(replay_->picture()->pixmap().size(), QSize(1920, 1080));
    makePicture(file("b.png"), 200, 200);  // left half blue, right half red
    replay_->openFile(file("b.png"));
    QCOMPARE(replay_->picture()->size(), QSize(800, 800));
    const QImage left = replay_->picture()->grab(QRect(360, 400, 8, 8)).toImage();
    const QImage right = replay_->picture()->grab(QRect(440, 400, 8, 8)).toImage();
    QCOMPARE(left.pixelColor(4, 4), QColor(30, 30, 200));
    QCOMPARE(right.pixelColor(4, 4), QColor(200, 30, 30));
}

void replayViewerTest::deletesOnlyWhenTold_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("current");
    QTest::addColumn<bool>("removable");
    QTest::addColumn<QString>("after");  // file on display afterwards, "closed" or "kept"
    QTest::newRow("No") << "No" << 3 << 1 << true << "kept";
    QTest::newRow("Enter takes the default") << "Enter" << 3 << 1 << true << "kept";
    QTest::newRow("Escape") << "Escape" << 3 << 1 << true << "kept";
    QTest::newRow("Yes: the next file") << "Yes" << 3 << 1 << true << "2.avi";
    QTest::newRow("Yes on the last: the first") << "Yes" << 3 << 2 << true << "0.avi";
    QTest::newRow("Yes on the only file") << "Yes" << 1 << 0 << true << "closed";
    QTest::newRow("Yes, removal fails") << "Yes" << 3 << 1 << false << "kept";
}

// The file playing is released before it is removed; a failed removal is reported and the file
// stays on display.
void replayViewerTest::deletesOnlyWhenTold() {
    QFETCH(QString, answer);
    QFETCH(int, files);
    QFETCH(int, current);
    QFETCH(bool, removable);
    QFETCH(QString, after);
    if (!removable) {
        replay_ = std::make_unique<undeletableReplayViewer>();
        replay_->setDirectory(capture_);
    }
    for (int k = 0; k < files; ++k) {
        makeRecording(file(QString("%1.avi").arg(k)), 64, 48, 3);
    }
    const QString victim = file(QString("%1.avi").arg(current));
    replay_->openFile(victim);
    QSignalSpy closed(replay_.get(), &ReplayViewer::closeWin);
    deleteAnswer given{answer, {}, {}};
    answerDeleteQuestion(&given);
    QString printed;
    {
        stdoutCapture output;
        replay_->deleteFileTriggered();
        printed = output.text();
    }
    QCOMPARE(given.defaultButton, QString("No"));
    QCOMPARE(given.informativeText, victim);
    const bool deleted = answer == "Yes" && removable;
    QCOMPARE(QFileInfo::exists(victim), !deleted);
    QCOMPARE(closed.count(), after == "closed" ? 1 : 0);
    if (after == "kept") {
        QCOMPARE(replay_->currentFile(), victim);
    } else if (after != "closed") {
        QCOMPARE(replay_->currentFile(), file(after));
        QVERIFY(replay_->isVideoOpen());
    }
    if (!removable) {
        QVERIFY(printed.endsWith("\nDelete file error\n") || printed == "Delete file error\n");
        QCOMPARE(statusOf(*replay_), QString("Cannot delete %1").arg(victim));
        QVERIFY(!replay_->isVideoOpen());
    }
}

// Two frames saved within one second keep both files, in the directory of the settings store;
// the status message goes once; a snapshot that cannot be written says so for 5 s.
void replayViewerTest::snapshotsOfAPlayingVideoNeverOverwrite() {
    makeRecording(file("a.avi"), 200, 200, 30);
    makePicture(file("b.png"), 200, 200);
    QCOMPARE(replay_->snapshotDirectory(), snapshots_.path());
    replay_->setSnapshotPrefix("img_");
    replay_->openFile(file("a.avi"));
    replayTimer(*replay_)->stop();
    QTimer* statusClear = replay_->findChild<QTimer*>("statusClearTimer");
    QVERIFY(statusClear->isSingleShot());
    for (int n = 0; n < 3; ++n) {
        replay_->captureImageTriggered();
        QCOMPARE(statusOf(*replay_), QString("Capture Frame ..."));
        replay_->on_timer_replay();
        QVERIFY(statusOf(*replay_).startsWith("Writing " + snapshots_.path() + "/img_"));
        QCOMPARE(statusClear->interval(), 1000);
    }
    const QStringList saved =
        QDir(snapshots_.path()).entryList({"img_*.jpg"}, QDir::Files, QDir::Name);
    QCOMPARE(saved.size(), 3);
    const cv::Mat written = cv::imread((snapshots_.path() + "/" + saved[0]).toStdString());
    QCOMPARE(written.cols, 200);
    statusClear->setInterval(0);
    statusClear->start();
    QTRY_COMPARE(statusOf(*replay_), QString());
    replay_->openFile(file("b.png"));
    replay_->captureImageTriggered();  // a picture has no next frame
    QCOMPARE(statusOf(*replay_), QString("File: %1").arg(file("b.png")));

    QVERIFY(QDir(snapshots_.path()).removeRecursively());
    replay_->openFile(file("a.avi"));
    replay_->captureImageTriggered();
    replay_->on_timer_replay();
    QCOMPARE(statusOf(*replay_), QString("Capture Error!"));
    QCOMPARE(statusClear->interval(), 5000);
}

void replayViewerTest::openReplayThroughPlay(const QString& path) {
    main_ = startRunningViewer();
    QVERIFY(main_ != nullptr);
    main_->on_memoryStickChecker();
    onModal([path](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        dialog->setDirectory(QFileInfo(path).path());
        typeFileName(dialog, QFileInfo(path).fileName());
        QMetaObject::invokeMethod(dialog, "accept");
        if (dialog->isVisible()) {
            dialog->reject();
        }
    });
    main_->replayFileTriggered();
    QVERIFY(main_->replayViewer()->isVisible());
}

// Replay has no parent, so that disabling the main window leaves it usable; the live display
// pauses meanwhile. A cancelled dialog, or a name of no existing file, brings the display back.
void replayViewerTest::playOpensReplayOverADisabledMainWindow() {
    makeRecording(file("a.avi"), 200, 200, 5);
    main_ = startRunningViewer();
    QVERIFY(main_ != nullptr);
    main_->on_memoryStickChecker();
    QTimer* display = timer(*main_, "displayTimer");
    ReplayViewer* replay = main_->replayViewer();
    QVERIFY(replay->parent() == nullptr);
    QVERIFY(!replay->isVisible());
    QCOMPARE(replay->windowTitle(), QString("File Viewer"));
    for (const bool missingName : {true, false}) {
        bool stillOpen = false;
        bool displayActive = true;
        QFileDialog::FileMode mode = QFileDialog::AnyFile;
        QString title;
        onModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            displayActive = display->isActive();
            mode = dialog->fileMode();
            title = dialog->windowTitle();
            if (missingName) {
                onModal([](QWidget* warning) { warning->close(); }, dialog);
                typeFileName(dialog, "missing.avi");
                QMetaObject::invokeMethod(dialog, "accept");
                stillOpen = dialog->isVisible();
            }
            dialog->reject();
        });
        main_->replayFileTriggered();
        QVERIFY(!displayActive);
        QCOMPARE(mode, QFileDialog::ExistingFile);
        QCOMPARE(title, QString("Replay Video & Images"));
        QCOMPARE(stillOpen, missingName);
        QVERIFY(!replay->isVisible());
        QVERIFY(display->isActive());
    }
    onModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->directory().absolutePath(), QDir(capture_).absolutePath());
        typeFileName(dialog, "a.avi");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    main_->replayFileTriggered();
    QVERIFY(replay->isVisible());
    QVERIFY(!main_->isEnabled());
    QVERIFY(replay->isEnabled());
    QVERIFY(!display->isActive());
    QCOMPARE(replay->currentFile(), QDir(capture_).absoluteFilePath("a.avi"));
    QVERIFY(replay->isVideoOpen());
}

void replayViewerTest::everyClosePathReleasesTheFile_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("toolbar Close") << "Close";
    QTest::newRow("Exit, Ctrl+Q") << "Exit";
    QTest::newRow("window manager") << "window";
    QTest::newRow("main window closed") << "main";
    QTest::newRow("hidden") << "hide";
}

// Closing or hiding stops playback and closes the file; after a close the main window comes back,
// unless it is closing itself.
void replayViewerTest::everyClosePathReleasesTheFile() {
    QFETCH(QString, path);
    makeRecording(file("a.avi"), 200, 200, 60);
    openReplayThroughPlay(file("a.avi"));
    if (QTest::currentTestFailed()) {
        return;
    }
    ReplayViewer* replay = main_->replayViewer();
    QVERIFY(replay->isVideoOpen());
    if (path == "Close") {
        replayAction(*replay, "CloseAction")->trigger();
    } else if (path == "Exit") {
        QApplication::setActiveWindow(replay);
        QVERIFY(QTest::qWaitForWindowActive(replay));
        QTest::keyClick(replay, Qt::Key_Q, Qt::ControlModifier);
    } else if (path == "window") {
        replay->close();
    } else if (path == "hide") {
        replay->hide();
    } else {
        main_->close();
    }
    QVERIFY(!replay->isVisible());
    QVERIFY(!replay->isVideoOpen());
    QVERIFY(!replayTimer(*replay)->isActive());
    const bool mainBack = path != "main" && path != "hide";
    QCOMPARE(timer(*main_, "displayTimer")->isActive(), mainBack);
    QCOMPARE(main_->isEnabled(), mainBack);
    QVERIFY(QFile::remove(file("a.avi")));
}

// A camera whose first frame arrives during replay, and a watchdog restart, leave the file on
// display, its zoom and the paused live display alone.
void replayViewerTest::theLiveCameraStaysBehindReplay() {
    makePicture(file("a.png"), 200, 200);
    emulatedCamera()->pauseFrames(true);
    main_ = std::make_unique<ImageViewer>("");
    QVERIFY(main_->libraryLoaded());
    main_->on_memoryStickChecker();
    onModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog != nullptr);
        typeFileName(dialog, "a.png");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    main_->replayFileTriggered();
    ReplayViewer* replay = main_->replayViewer();
    QVERIFY(replay->isVisible());
    replay->zoom_x3();
    const QImage shown = replay->shownPixmap().toImage();
    stdoutCapture output;
    emulatedCamera()->pauseFrames(false);
    QVERIFY(QTest::qWaitFor([&] { return main_->isCameraRunning(); }, 10000));
    pauseCameraAndSettle();
    QVERIFY(QTest::qWaitFor([&] { return output.text().contains("restart camera"); }, 10000));
    QCOMPARE(replay->shownPixmap().toImage(), shown);
    QCOMPARE(replay->zoomIndex(), 5);
    QVERIFY(!timer(*main_, "displayTimer")->isActive());
    QVERIFY(!main_->isEnabled());
    emulatedCamera()->pauseFrames(false);
    replay->closeFromMenuTriggered();
    QVERIFY(timer(*main_, "displayTimer")->isActive());
    QVERIFY(QTest::qWaitFor([&] { return !isBlack(main_->framePixmap()); }, 5000));
}

QTEST_MAIN(replayViewerTest)
#include "replayViewerTest.moc"
