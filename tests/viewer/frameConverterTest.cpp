// The viewer's colour conversion against its formulas, written out here once more, over every
// Y, U, V input and over every pixel count around the vector blocks' edges.
#include <QtTest>

#include <opencv2/core.hpp>

#include "frameConverter.h"

namespace {

int clampByte(int value) {
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

struct bgr {
    int blue;
    int green;
    int red;
};

bgr expected(int y, int u, int v) {
    return {clampByte((4096 * y + 7601 * u - 972928) >> 12),
            clampByte((4096 * y + 343552 - 767 * u - 1917 * v) >> 12),
            clampByte((4096 * y + 6450 * v - 825600) >> 12)};
}

bool pixelIs(const uint8_t* pixel, const bgr& want) {
    return pixel[0] == want.blue && pixel[1] == want.green && pixel[2] == want.red;
}

// 4096 x 4096 pixels: 2^24, one for every (Y, U, V).
constexpr int kSide = 4096;

// Pixel pair p of the frame (2^23 pairs) carries U = p >> 15, V = (p >> 7) & 0xff and the luma
// values 2·(p & 0x7f) and 2·(p & 0x7f) + 1, so every (Y, U, V) appears exactly once.
void yuvOf(uint32_t pair, int& y0, int& u, int& v) {
    u = static_cast<int>(pair >> 15);
    v = static_cast<int>((pair >> 7) & 0xff);
    y0 = static_cast<int>((pair & 0x7f) * 2);
}

cv::Mat everyInput() {
    cv::Mat frame(kSide, kSide, CV_8UC2);
    uint8_t* bytes = frame.data;
    for (uint32_t pair = 0; pair < kSide * kSide / 2; ++pair, bytes += 4) {
        int y0, u, v;
        yuvOf(pair, y0, u, v);
        bytes[0] = static_cast<uint8_t>(y0);
        bytes[1] = static_cast<uint8_t>(u);
        bytes[2] = static_cast<uint8_t>(y0 + 1);
        bytes[3] = static_cast<uint8_t>(v);
    }
    return frame;
}

}  // namespace

class frameConverterTest : public QObject {
    Q_OBJECT

  private slots:
    void everyInputGivesTheFormulasBytes();
    void everyPixelCountGivesTheFormulasBytes();
    void knownPixels();
    void unsuitableSourcesLeaveNothing();
};

void frameConverterTest::everyInputGivesTheFormulasBytes() {
    const cv::Mat frame = everyInput();
    cv::Mat converted;
    frameConverter::convert(frame, converted);
    QCOMPARE(converted.rows, kSide);
    QCOMPARE(converted.cols, kSide);
    QCOMPARE(converted.type(), CV_8UC3);
    const uint8_t* out = converted.data;
    for (uint32_t pair = 0; pair < kSide * kSide / 2; ++pair, out += 6) {
        int y0, u, v;
        yuvOf(pair, y0, u, v);
        if (!pixelIs(out, expected(y0, u, v)) || !pixelIs(out + 3, expected(y0 + 1, u, v))) {
            QFAIL(qPrintable(
                QString("wrong bytes for Y %1/%2, U %3, V %4").arg(y0).arg(y0 + 1).arg(u).arg(v)));
        }
    }
}

// Pixel counts from 1 to 200 (odd ones leave a pixel without its V byte: no red-difference) cover
// every split between vector blocks and the pixels converted one by one.
void frameConverterTest::everyPixelCountGivesTheFormulasBytes() {
    cv::RNG random(20261207);
    for (int pixels = 1; pixels <= 200; ++pixels) {
        cv::Mat frame(1, pixels, CV_8UC2);
        random.fill(frame, cv::RNG::UNIFORM, 0, 256);
        cv::Mat vector;
        cv::Mat scalar;
        frameConverter::convert(frame, vector);
        frameConverter::convertScalar(frame, scalar);
        QVERIFY2(cv::norm(vector, scalar, cv::NORM_INF) == 0, qPrintable(QString::number(pixels)));
        const uint8_t* in = frame.data;
        for (int p = 0; p < pixels; ++p) {
            const int pair = p / 2 * 4;
            const int v = p / 2 * 2 + 1 < pixels ? in[pair + 3] : 128;
            QVERIFY(pixelIs(scalar.data + 3 * p, expected(in[2 * p], in[pair + 1], v)));
        }
    }
}

void frameConverterTest::knownPixels() {
    const uint8_t grey[] = {128, 128, 255, 128};
    cv::Mat out;
    frameConverter::convert(cv::Mat(1, 2, CV_8UC2, const_cast<uint8_t*>(grey)), out);
    QVERIFY(pixelIs(out.data, {128, 128, 128}));
    QVERIFY(pixelIs(out.data + 3, {255, 255, 255}));
    const uint8_t blue[] = {0, 255, 0, 0};
    frameConverter::convert(cv::Mat(1, 2, CV_8UC2, const_cast<uint8_t*>(blue)), out);
    QVERIFY(pixelIs(out.data, {235, 36, 0}));
}

void frameConverterTest::unsuitableSourcesLeaveNothing() {
    cv::Mat out(4, 4, CV_8UC3);
    frameConverter::convert(cv::Mat(), out);
    QVERIFY(out.empty());
    out.create(4, 4, CV_8UC3);
    frameConverter::convert(cv::Mat(4, 4, CV_8UC3), out);
    QVERIFY(out.empty());
    cv::Mat big(8, 8, CV_8UC2, cv::Scalar(128, 128));
    frameConverter::convert(big(cv::Rect(0, 0, 4, 4)), out);  // rows not contiguous
    QVERIFY(out.empty());
}

QTEST_APPLESS_MAIN(frameConverterTest)
#include "frameConverterTest.moc"
