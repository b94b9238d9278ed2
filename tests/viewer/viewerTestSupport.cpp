#include "viewerTestSupport.h"

#include <QAction>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "ImageViewer.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"

namespace viewerTestSupport {

void setUpEmulatedCamera() {
    dravix::emu::emulatedCameraSet::instance().configure(1);
    emulatedCamera()->setVideoFormat(kCameraWidth, kCameraHeight, 60);
    emulatedCamera()->pauseFrames(false);
}

std::shared_ptr<dravix::emu::emulatedCamera> emulatedCamera() {
    return dravix::emu::emulatedCameraSet::instance().camera(1);
}

std::unique_ptr<ImageViewer> startRunningViewer() {
    auto viewer = std::make_unique<ImageViewer>("");
    const bool running = viewer->libraryLoaded() &&
                         QTest::qWaitFor([&] { return viewer->isCameraRunning(); }, 10000) &&
                         QTest::qWaitFor([&] { return viewer->shownFrameCount() > 0; }, 5000) &&
                         QTest::qWaitFor([&] { return !isBlack(viewer->framePixmap()); }, 5000);
    return running ? std::move(viewer) : nullptr;
}

void pauseCameraAndSettle() {
    emulatedCamera()->pauseFrames(true);
    constexpr int kMaxWaits = 50;  // a frame on its way is delivered within one frame period
    uint64_t delivered = emulatedCamera()->framesDelivered();
    for (int wait = 0; wait < kMaxWaits; ++wait) {
        QTest::qWait(100);
        const uint64_t now = emulatedCamera()->framesDelivered();
        if (now == delivered) {
            return;
        }
        delivered = now;
    }
    QFAIL("the emulated camera kept delivering frames while paused");
}

QString withoutStatusLines(QString text) {
    return text.remove(QRegularExpression("StatusCallback:FPGAversion: [0-9.]+\n"));
}

QAction* action(const ImageViewer& viewer, const char* name) {
    return viewer.findChild<QAction*>(name);
}

QTimer* timer(const ImageViewer& viewer, const char* name) {
    return viewer.findChild<QTimer*>(name);
}

bool isBlack(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < image.width() * 3; ++x) {
            if (row[x] != 0) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace viewerTestSupport
