#include "testPatternColours.h"

#include <cstdlib>

#include <opencv2/core.hpp>

#include "frameConverter.h"

namespace testPatternColours {

namespace {

// Y, U, V of the 75 % bars: white, yellow, cyan, green, magenta, red, blue.
constexpr uint8_t kBars[7][3] = {{180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
                                 {84, 184, 198},  {65, 100, 212}, {35, 212, 114}};

bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

}  // namespace

std::vector<QRgb> barsAsShown() {
    std::vector<QRgb> colours;
    for (const auto& bar : kBars) {
        const uint8_t pair[] = {bar[0], bar[1], bar[0], bar[2]};
        cv::Mat bgr;
        frameConverter::convert(cv::Mat(1, 2, CV_8UC2, const_cast<uint8_t*>(pair)), bgr);
        colours.push_back(qRgb(bgr.data[2], bgr.data[1], bgr.data[0]));
    }
    return colours;
}

int pixelsNear(const QImage& image, QRgb colour, int tolerance) {
    int found = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            found += near(image.pixel(x, y), colour, tolerance) ? 1 : 0;
        }
    }
    return found;
}

bool showsEveryBar(const QImage& image, double share, int tolerance) {
    const int minimum = static_cast<int>(image.width() * image.height() * share);
    for (const QRgb colour : barsAsShown()) {
        if (pixelsNear(image, colour, tolerance) < minimum) {
            return false;
        }
    }
    return true;
}

}  // namespace testPatternColours
