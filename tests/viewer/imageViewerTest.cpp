// The main window on the offscreen platform, with the library code linked into this program and
// one emulated camera of 208 x 200 pixels: format detection, the cropped live picture, the
// missed-frames line, the watchdog restart, the medium check and the action states.
#include <QtTest>

#include <QAction>
#include <QContextMenuEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <memory>
#include <vector>

#include <opencv2/core.hpp>

#include "AspectRatioPixmapLabel.h"
#include "ImageViewer.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "frameRing.h"
#include "stdoutCapture.h"
#include "viewerTestSupport.h"

using namespace viewerTestSupport;

namespace {

int count(const QString& text, const QString& what) {
    return text.count(what);
}

// Right-clicks the middle of `widget` as the mouse does (the event travels up to the window while
// nobody takes it) and tells whether a popup menu opened; one that did is closed again. A menu
// run modally is caught by the timer, which the menu's own event loop runs.
bool rightClickOpensAMenu(QWidget* widget) {
    auto opened = std::make_shared<bool>(false);
    const auto closePopup = [opened] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            *opened = true;
            popup->close();
        }
    };
    QTimer::singleShot(0, closePopup);
    const QPoint middle = widget->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, middle, widget->mapToGlobal(middle));
    QApplication::sendEvent(widget, &event);
    closePopup();
    return *opened;
}

}  // namespace

class imageViewerTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void showsTheLiveCameraCropped();
    void reportsFramesTheDisplaySkipped();
    void restartsACameraThatFallsSilent();
    void followsACameraThatComesBackInAnotherFormat();
    void theMediumEnablesTheCaptureActions();
    void thumbnailsKeepTheNewestFour();
    void cropsTheFormatsAround200Columns_data();
    void cropsTheFormatsAround200Columns();
    void aMissingLibraryClosesTheWindow();
    void noRightClickOffersToHideTheToolbars();
    void aRestoredWindowFillsTheScreenAndShowsThePicture();

  private:
    // A viewer on the emulated camera whose format is set up and whose first frame is shown.
    void startRunningViewer();

    QTemporaryDir media_;
    std::unique_ptr<ImageViewer> viewer_;
};

void imageViewerTest::init() {
    QVERIFY(media_.isValid());
    qputenv("KYRVIEWER_MEDIA", media_.path().toUtf8());
    setUpEmulatedCamera();
}

void imageViewerTest::cleanup() {
    if (viewer_ != nullptr) {
        viewer_->close();
        viewer_.reset();
    }
}

void imageViewerTest::startRunningViewer() {
    viewer_ = viewerTestSupport::startRunningViewer();
    QVERIFY(viewer_ != nullptr);
}

void imageViewerTest::showsTheLiveCameraCropped() {
    stdoutCapture output;
    startRunningViewer();
    QCOMPARE(viewer_->frameWidth(), kCameraWidth);
    QCOMPARE(viewer_->frameHeight(), kCameraHeight);
    QCOMPARE(viewer_->framePixmap().size(), QSize(200, 200));
    QVERIFY(viewer_->pictureLabel()->smooth());
    QVERIFY(!timer(*viewer_, "formatTimer")->isActive());
    QVERIFY(timer(*viewer_, "displayTimer")->isActive());
    QVERIFY(timer(*viewer_, "watchdogTimer")->isActive());
    QVERIFY(withoutStatusLines(output.text()).contains("Camera open\nstartAquisition...\n"));
    QVERIFY(output.text().contains("first frame received\n"));
    QCOMPARE(viewer_->windowTitle(), QString("Dravix Viewer"));
    QVERIFY(!action(*viewer_, "FolderAction")->isVisible());
    QCOMPARE(action(*viewer_, "StopRecordAction")->text(), QString("&Stop Record"));
}

// The display tick is driven by hand here, with the camera paused, so that the ring's index moves
// exactly as the test stores frames.
void imageViewerTest::reportsFramesTheDisplaySkipped() {
    startRunningViewer();
    pauseCameraAndSettle();
    timer(*viewer_, "displayTimer")->stop();
    timer(*viewer_, "watchdogTimer")->stop();
    std::vector<uint8_t> frame(kCameraWidth * kCameraHeight * 2, 128);
    frameRing& ring = frameRing::shared();
    const auto store = [&](int frames) {
        for (int n = 0; n < frames; ++n) {
            ring.store(frame.data(), static_cast<int64_t>(frame.size()));
        }
    };
    do {
        store(1);
        viewer_->on_timer_displayCam();
    } while (ring.newestIndex() != 0);

    stdoutCapture output;
    store(3);  // 0 -> 3: two frames never shown
    viewer_->on_timer_displayCam();
    store(2);  // 3 -> 1: wrapped, not reported
    viewer_->on_timer_displayCam();
    viewer_->on_timer_displayCam();  // nothing new
    QCOMPARE(output.text(), QString("Missed frames: 2\n"));
}

void imageViewerTest::restartsACameraThatFallsSilent() {
    startRunningViewer();
    stdoutCapture output;
    emulatedCamera()->pauseFrames(true);
    QVERIFY(QTest::qWaitFor([&] { return output.text().contains("restart camera... \n"); }, 15000));
    QVERIFY(isBlack(viewer_->framePixmap()));
    emulatedCamera()->pauseFrames(false);
    QVERIFY(QTest::qWaitFor([&] { return !isBlack(viewer_->framePixmap()); }, 15000));
    QCOMPARE(viewer_->framePixmap().size(), QSize(200, 200));
    QCOMPARE(count(output.text(), "restart camera"), 1);
}

// The restart clears the format; the ring and the display take the new size from the frames.
void imageViewerTest::followsACameraThatComesBackInAnotherFormat() {
    startRunningViewer();
    emulatedCamera()->pauseFrames(true);
    emulatedCamera()->setVideoFormat(656, 486, 60);
    stdoutCapture output;
    QVERIFY(QTest::qWaitFor([&] { return output.text().contains("restart camera... \n"); }, 15000));
    emulatedCamera()->pauseFrames(false);
    QVERIFY(
        QTest::qWaitFor([&] { return viewer_->framePixmap().size() == QSize(656, 486); }, 15000));
    QVERIFY(!isBlack(viewer_->framePixmap()));
    QVERIFY(!viewer_->pictureLabel()->smooth());
    QCOMPARE(viewer_->receiver().getWidth(), 656);
}

void imageViewerTest::theMediumEnablesTheCaptureActions() {
    startRunningViewer();
    QAction* snapshot = action(*viewer_, "SnapshotAction");
    QAction* record = action(*viewer_, "RecordAction");
    QAction* play = action(*viewer_, "PlayAction");
    QAction* stop = action(*viewer_, "StopRecordAction");
    viewer_->on_memoryStickChecker();
    QVERIFY(viewer_->isMediaPresent());
    QVERIFY(snapshot->isEnabled() && record->isEnabled() && play->isEnabled());
    QVERIFY(!stop->isEnabled());

    viewer_->pushThumb();
    QCOMPARE(viewer_->thumbCount(), 1);
    QVERIFY(media_.remove());
    viewer_->on_memoryStickChecker();
    QVERIFY(!viewer_->isMediaPresent());
    QVERIFY(!snapshot->isEnabled() && !record->isEnabled() && !play->isEnabled());
    QCOMPARE(viewer_->thumbCount(), 0);
    QVERIFY(action(*viewer_, "thumbAction0")->icon().isNull());

    QVERIFY(QDir().mkpath(media_.path()));
    viewer_->on_memoryStickChecker();
    QVERIFY(snapshot->isEnabled() && record->isEnabled() && play->isEnabled());
}

void imageViewerTest::thumbnailsKeepTheNewestFour() {
    startRunningViewer();
    timer(*viewer_, "displayTimer")->stop();
    std::vector<qint64> keys;
    for (int capture = 0; capture < 5; ++capture) {
        viewer_->showFrame(
            cv::Mat(kCameraHeight, kCameraWidth, CV_8UC3, cv::Scalar(capture * 40, 0, 0)));
        viewer_->pushThumb();
    }
    QCOMPARE(viewer_->thumbCount(), 4);
    // Newest first: blue 160, 120, 80, 40; the first capture (black) is gone.
    for (int k = 0; k < 4; ++k) {
        const QImage shown = action(*viewer_, qPrintable(QString("thumbAction%1").arg(k)))
                                 ->icon()
                                 .pixmap(QSize(16, 16))
                                 .toImage();
        QCOMPARE(qBlue(shown.pixel(8, 8)), 160 - 40 * k);
    }
}

void imageViewerTest::cropsTheFormatsAround200Columns_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("crop");
    QTest::newRow("196") << 196 << 0;
    QTest::newRow("200") << 200 << 0;
    QTest::newRow("202") << 202 << 1;
    QTest::newRow("203") << 203 << 0;
    QTest::newRow("204") << 204 << 2;
    QTest::newRow("206") << 206 << 3;
    QTest::newRow("208") << 208 << 4;
    QTest::newRow("400") << 400 << 0;
}

// The shown picture starts at column `crop`: a marker column there is its first column.
void imageViewerTest::cropsTheFormatsAround200Columns() {
    QFETCH(int, width);
    QFETCH(int, crop);
    QCOMPARE(ImageViewer::cropForWidth(width), crop);
    startRunningViewer();
    timer(*viewer_, "displayTimer")->stop();
    cv::Mat image(10, width, CV_8UC3, cv::Scalar(0, 0, 0));
    image.col(crop).setTo(cv::Scalar(0, 0, 255));
    viewer_->showFrame(image);
    QCOMPARE(viewer_->framePixmap().size(), QSize(width - 2 * crop, 10));
    const QImage shown = viewer_->framePixmap().toImage();
    QCOMPARE(qRed(shown.pixel(0, 5)), 255);
    QCOMPARE(qRed(shown.pixel(1, 5)), 0);
    QCOMPARE(viewer_->pictureLabel()->smooth(), width < 420);
}

void imageViewerTest::aMissingLibraryClosesTheWindow() {
    stdoutCapture output;
    ImageViewer viewer("/nonexistent/libdravix.so.2");
    QVERIFY(!viewer.libraryLoaded());
    QVERIFY(!viewer.isVisible());
    QVERIFY(output.text().contains("could not load dll:\"/nonexistent/libdravix.so.2\"\n"));
    QVERIFY(!output.text().contains("--- ZEL_CAM_Init ---"));
}

// With both toolbars hidden nothing would be left to click: neither a toolbar, one of its
// buttons, nor any other part of the window offers the menu that hides them.
void imageViewerTest::noRightClickOffersToHideTheToolbars() {
    startRunningViewer();
    QVERIFY(QTest::qWaitForWindowExposed(viewer_.get()));
    auto* recordToolBar = viewer_->findChild<QToolBar*>("recordToolBar");
    auto* logosToolBar = viewer_->findChild<QToolBar*>("logosToolBar");
    QVERIFY(recordToolBar != nullptr && logosToolBar != nullptr);
    const std::vector<QWidget*> places = {
        recordToolBar,
        logosToolBar,
        recordToolBar->widgetForAction(action(*viewer_, "SnapshotAction")),
        logosToolBar->widgetForAction(action(*viewer_, "logoAction")),
        viewer_->pictureLabel(),
        viewer_->statusBar(),
        viewer_.get(),
    };
    for (QWidget* place : places) {
        QVERIFY(place != nullptr);
        QVERIFY2(!rightClickOpensAMenu(place), qPrintable(place->objectName()));
    }
    QCOMPARE(viewer_->createPopupMenu(), nullptr);
    QVERIFY(recordToolBar->isVisible() && logosToolBar->isVisible());
}

// Restored from maximised, the window keeps the screen's free area and the picture its room
// beside the toolbars.
void imageViewerTest::aRestoredWindowFillsTheScreenAndShowsThePicture() {
    startRunningViewer();
    QVERIFY(QTest::qWaitForWindowExposed(viewer_.get()));
    const QRect available = viewer_->screen()->availableGeometry();
    viewer_->showNormal();
    QTRY_VERIFY(!viewer_->isMaximized());
    QTRY_COMPARE(viewer_->size(), available.size());
    const QSize picture = viewer_->pictureLabel()->size();
    QVERIFY2(picture.width() >= ImageViewer::kMinimumPictureSize.width() &&
                 picture.height() >= ImageViewer::kMinimumPictureSize.height(),
             qPrintable(QString("%1 x %2").arg(picture.width()).arg(picture.height())));
    QVERIFY(!viewer_->pictureLabel()->pixmap(Qt::ReturnByValue).isNull());
}

QTEST_MAIN(imageViewerTest)
#include "imageViewerTest.moc"
