// The whole viewer on a real X server (Xvfb): the real library loaded by name with one emulated
// camera, and no window manager. Once the live picture is up, the window fills the screen and its
// pixels as the server holds them show the colour bars of the camera's test pattern, converted as
// the viewer converts them.
#include <QtTest>

#include <QScreen>

#include <memory>

#include "AspectRatioPixmapLabel.h"
#include "ImageViewer.h"
#include "testPatternColours.h"

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
    // No window manager maximises the window here: it fills the screen's free area by itself,
    // with room for the picture beside the toolbars.
    QCOMPARE(viewer->geometry(), viewer->screen()->availableGeometry());
    QVERIFY(viewer->pictureLabel()->width() >= ImageViewer::kMinimumPictureSize.width());
    QVERIFY(viewer->pictureLabel()->height() >= ImageViewer::kMinimumPictureSize.height());

    AspectRatioPixmapLabel* label = viewer->pictureLabel();
    const QPoint origin = label->mapTo(viewer.get(), QPoint(0, 0));
    const QImage shown =
        viewer->screen()
            ->grabWindow(viewer->winId(), origin.x(), origin.y(), label->width(), label->height())
            .toImage();
    QVERIFY(!shown.isNull());
    QVERIFY(testPatternColours::showsEveryBar(shown, 1.0 / 200, 3));
    viewer->close();
}

QTEST_MAIN(liveWindowXvfbTest)
#include "liveWindowXvfbTest.moc"
