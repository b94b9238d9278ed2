#include <QImage>
#include <QPixmap>
#include <QVBoxLayout>
#include <QtTest>

#include "AspectRatioPixmapLabel.h"
#include "widgetTests.h"

namespace {

// The label as the only content of a shown window, like the main window's picture: resizing the
// window resizes the label through the layout.
struct hostedLabel {
    QWidget window;
    AspectRatioPixmapLabel* label = new AspectRatioPixmapLabel;

    explicit hostedLabel(QSize size) {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(label);
        window.resize(size);
        window.show();
    }

    QImage shown() const { return label->pixmap(Qt::ReturnByValue).toImage(); }
};

// Black and white pixels alternating in both directions: any resampling blurs or drops them.
QPixmap checkerboard(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
    }
    return QPixmap::fromImage(image);
}

bool onlyBlackAndWhite(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int red = qRed(image.pixel(x, y));
            if (red != 0 && red != 255) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

class aspectRatioPixmapLabelTest : public QObject {
    Q_OBJECT

  private slots:
    void heightForWidthFollowsPixmapRatio_data() {
        QTest::addColumn<QSize>("pixmap");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("full HD at half width") << QSize(1920, 1080) << 960 << 540;
        QTest::newRow("400x396 at 100") << QSize(400, 396) << 100 << 99;
        QTest::newRow("540.5 truncated") << QSize(1920, 1081) << 960 << 540;
        QTest::newRow("0.67 truncated") << QSize(3, 2) << 1 << 0;
    }

    void heightForWidthFollowsPixmapRatio() {
        QFETCH(QSize, pixmap);
        QFETCH(int, width);
        QFETCH(int, height);
        AspectRatioPixmapLabel label;
        label.resize(width, 7);
        label.setPixmap(QPixmap(pixmap));
        QCOMPARE(label.heightForWidth(width), height);
        QCOMPARE(label.sizeHint(), QSize(width, height));
    }

    void withoutPixmapReportsCurrentHeight() {
        AspectRatioPixmapLabel label;
        label.resize(123, 45);
        for (int width : {1, 123, 4000}) {
            QCOMPARE(label.heightForWidth(width), 45);
        }
        QCOMPARE(label.sizeHint(), QSize(123, 45));

        label.setPixmap(QPixmap(100, 50));
        label.setPixmap(QPixmap());  // clearing goes back to the label's height
        QCOMPARE(label.heightForWidth(200), 45);
        QVERIFY(label.pixmap(Qt::ReturnByValue).isNull());
    }

    void showsPixmapFittedToLabel_data() {
        QTest::addColumn<QSize>("pixmap");
        QTest::addColumn<QSize>("labelSize");
        QTest::addColumn<QSize>("shownSize");
        QTest::newRow("wide in square") << QSize(400, 200) << QSize(100, 100) << QSize(100, 50);
        QTest::newRow("tall in square") << QSize(200, 400) << QSize(100, 100) << QSize(50, 100);
        QTest::newRow("enlarged") << QSize(192, 108) << QSize(960, 600) << QSize(960, 540);
    }

    void showsPixmapFittedToLabel() {
        QFETCH(QSize, pixmap);
        QFETCH(QSize, labelSize);
        QFETCH(QSize, shownSize);
        hostedLabel hosted(labelSize);
        hosted.label->setPixmap(checkerboard(pixmap));
        QCOMPARE(hosted.label->size(), labelSize);
        QCOMPARE(hosted.shown().size(), shownSize);
        QCOMPARE(hosted.label->fullSizePixmap().size(), pixmap);
    }

    void resizingScalesFromFullSizePixmap_data() {
        QTest::addColumn<bool>("smooth");
        QTest::newRow("fast") << false;
        QTest::newRow("smooth") << true;
    }

    void resizingScalesFromFullSizePixmap() {
        QFETCH(bool, smooth);
        const QSize size(300, 200);
        const QPixmap original = checkerboard(QSize(240, 120));
        const Qt::TransformationMode mode =
            smooth ? Qt::SmoothTransformation : Qt::FastTransformation;
        hostedLabel hosted(size);
        hosted.label->setSmooth(smooth);
        hosted.label->setPixmap(original);

        hosted.window.resize(6, 4);
        QCOMPARE(hosted.label->size(), QSize(6, 4));
        QCOMPARE(hosted.shown().size(), QSize(6, 3));

        hosted.window.resize(size);
        QCOMPARE(hosted.shown(), original.scaled(size, Qt::KeepAspectRatio, mode).toImage());
    }

    void smoothFlagSelectsFiltering_data() {
        QTest::addColumn<bool>("smooth");
        QTest::addColumn<bool>("onlyBlackAndWhite");
        QTest::newRow("fast keeps pixels") << false << true;
        QTest::newRow("smooth blends pixels") << true << false;
    }

    void smoothFlagSelectsFiltering() {
        QFETCH(bool, smooth);
        QFETCH(bool, onlyBlackAndWhite);
        AspectRatioPixmapLabel label;
        QVERIFY(!label.smooth());
        label.setSmooth(smooth);
        QCOMPARE(label.smooth(), smooth);
        label.resize(33, 33);
        label.setPixmap(checkerboard(QSize(100, 100)));
        const QImage shown = label.pixmap(Qt::ReturnByValue).toImage();
        QCOMPARE(shown.size(), QSize(33, 33));
        QCOMPARE(::onlyBlackAndWhite(shown), onlyBlackAndWhite);
    }
};

std::unique_ptr<QObject> makeAspectRatioPixmapLabelTest() {
    return std::make_unique<aspectRatioPixmapLabelTest>();
}

#include "aspectRatioPixmapLabelTest.moc"
