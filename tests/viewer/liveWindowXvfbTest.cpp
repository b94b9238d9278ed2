// The whole viewer on a real X server (Xvfb): the real library loaded by name with one emulated
// camera. Once the live picture is up, the window's pixels as the server holds them must show the
// colour bars of the camera's test pattern, converted as the viewer converts them.
#include <QtTest>

#include <QScreen>

#include <memory>

#include <opencv2/core.hpp>

#include "AspectRatioPixmapLabel.h"
#include "ImageViewer.h"
#include "frameConverter.h"

namespace {

// The test pattern's seven coloured 75 % bars as Y, U, V.
constexpr uint8_t kBars[7][3] = {{180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
                                 {84, 184, 198},  {65, 100, 212}, {35, 212, 114}};

QRgb viewerColour(const uint8_t* yuv) {
    const uint8_t pair[] = {yuv[0], yuv[1], yuv[0], yuv[2]};
    cv::Mat bgr;
    frameConverter::convert(cv::Mat(1, 2, CV_8UC2, const_cast<uint8_t*>(pair)), bgr);
    return qRgb(bgr.data[2], bgr.data[1], bgr.data[0]);
}

bool near(QRgb a, QRgb b) {
    constexpr int kTolerance = 3;
    return std::abs(qRed(a) - qRed(b)) <= kTolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= kTolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= kTolerance;
}

// How many pixels of `image` have about `colour`.
int pixelsOf(const QImage& image, QRgb colour) {
    int found = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            found += near(image.pixel(x, y), colour) ? 1 : 0;
        }
    }
    return found;
}

}  // namespace

class liveWindowXvfbTest : public QObject {
    Q_OBJECT

  private slots:
    void theWindowShowsTheCamerasColourBars();
};

void liveWindowXvfbTest::theWindowShowsTheCamerasColourBars() {
    QTemporaryDir media;
    qputenv("KYRVIEWER_MEDIA", media.path().toUtf8());
    qputenv("DRAVIX_CAMEMU", "1");
    qputenv("DRAVIX_CAMEMU_FORMAT", "656x486@30");
    auto viewer = std::make_unique<ImageViewer>();
    QVERIFY(viewer->libraryLoaded());
    QVERIFY(QTest::qWaitFor([&] { return viewer->shownFrameCount() > 5; }, 20000));
    QVERIFY(QTest::qWaitForWindowExposed(viewer.get()));
    QTest::qWait(200);

    AspectRatioPixmapLabel* label = viewer->pictureLabel();
    const QPoint origin = label->mapTo(viewer.get(), QPoint(0, 0));
    const QImage shown =
        viewer->screen()
            ->grabWindow(viewer->winId(), origin.x(), origin.y(), label->width(), label->height())
            .toImage();
    QVERIFY(!shown.isNull());
    const int minimum = shown.width() * shown.height() / 200;
    for (const auto& bar : kBars) {
        const QRgb colour = viewerColour(bar);
        QVERIFY2(pixelsOf(shown, colour) >= minimum,
                 qPrintable(QString("too few pixels of #%1").arg(colour & 0xffffff, 6, 16)));
    }
    viewer->close();
}

QTEST_MAIN(liveWindowXvfbTest)
#include "liveWindowXvfbTest.moc"
