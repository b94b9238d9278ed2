// The compiled-in icon bundle, as the viewer loads it: every ":/icons/" name the viewer uses
// is there at its drawn size, and shows a shape at the toolbar's sizes.

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QtTest>

namespace {

const QSize kToolbar(128, 128);
const QSize kLarge(300, 300);

// The shares of an image's pixels that a viewer sees as drawn and as background.
struct Coverage {
    double visible = 0;
    double transparent = 0;
};

Coverage coverageOf(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    int visible = 0;
    int transparent = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            visible += alpha >= 128 ? 1 : 0;
            transparent += alpha < 16 ? 1 : 0;
        }
    }
    const double pixels = static_cast<double>(image.width()) * image.height();
    return {visible / pixels, transparent / pixels};
}

bool isRed(QRgb colour) {
    return qRed(colour) >= 150 && qRed(colour) >= qGreen(colour) + 80 &&
           qRed(colour) >= qBlue(colour) + 80;
}

}  // namespace

class IconsTest : public QObject {
    Q_OBJECT
  private slots:
    void everyIconLoadsAndShowsAShape_data();
    void everyIconLoadsAndShowsAShape();
    void recordIconIsRed();
};

void IconsTest::everyIconLoadsAndShowsAShape_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("nativeSize");
    const auto add = [](const char* name, QSize size) {
        QTest::newRow(name) << QStringLiteral(":/icons/%1.png").arg(QLatin1String(name)) << size;
    };
    add("Ovasto_ZEL", QSize(256, 256));
    add("Probator_white_400", QSize(400, 240));
    for (const char* name : {"snapshot", "record", "stop_record", "play", "folder", "about",
                             "close", "delete", "next_file", "previous_file", "rewind",
                             "slow_motion", "zoom_minus", "zoom_plus", "zoom_reset"}) {
        add(qPrintable(QStringLiteral("volo_%1_icon").arg(QLatin1String(name))), kToolbar);
    }
    add("volo_slow_motion_icon_300", kLarge);
    add("volo_slow_motion_icon_red_300", kLarge);
}

// Not blank and not a filled square, at both sizes the toolbars use.
void IconsTest::everyIconLoadsAndShowsAShape() {
    QFETCH(QString, name);
    QFETCH(QSize, nativeSize);
    const QPixmap pixmap(name);
    QVERIFY2(!pixmap.isNull(), qPrintable(name + " is missing"));
    QCOMPARE(pixmap.size(), nativeSize);
    QVERIFY(pixmap.hasAlphaChannel());
    const QIcon icon(name);
    for (const int side : {128, 64}) {
        const QPixmap shown = icon.pixmap(side);
        QCOMPARE(std::max(shown.width(), shown.height()), side);
        const Coverage coverage = coverageOf(shown.toImage());
        const QString shares = QStringLiteral("at %1 px: %2 visible, %3 transparent")
                                   .arg(side)
                                   .arg(coverage.visible)
                                   .arg(coverage.transparent);
        QVERIFY2(coverage.visible >= 0.10, qPrintable(shares));
        QVERIFY2(coverage.transparent >= 0.15, qPrintable(shares));
    }
}

void IconsTest::recordIconIsRed() {
    const QImage image = QPixmap(QStringLiteral(":/icons/volo_record_icon.png"))
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!image.isNull());
    int opaque = 0;
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 255) {
                ++opaque;
                red += isRed(pixel) ? 1 : 0;
            }
        }
    }
    QVERIFY(opaque > 0);
    QVERIFY2(red >= 0.9 * opaque,
             qPrintable(QStringLiteral("%1 of %2 opaque pixels are red").arg(red).arg(opaque)));
}

QTEST_MAIN(IconsTest)
#include "iconsTest.moc"
