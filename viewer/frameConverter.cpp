#include "frameConverter.h"

#include <opencv2/core/mat.hpp>

#include "video/colorConverter.h"

namespace {

// The formulas as one linear form per output byte (blue, green, red), for the vector code.
const dravix::colorConverterCoefficients kForm = {
    4096, {{7601, 0, -972928}, {-767, -1917, 343552}, {0, 6450, -825600}}};

// Stands in for the V byte that an odd pixel count cuts off.
constexpr int kNoChroma = 128;

uint8_t clampByte(int value) {
    return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

void storePixel(int y, int u, int v, uint8_t* out) {
    out[0] = clampByte((4096 * y + 7601 * u - 972928) >> 12);
    out[1] = clampByte((4096 * y + 343552 - 767 * u - 1917 * v) >> 12);
    out[2] = clampByte((4096 * y + 6450 * v - 825600) >> 12);
}

void convertPixels(const uint8_t* in, uint8_t* out, std::size_t pixels) {
    for (std::size_t pair = 0; pair < pixels / 2; ++pair, in += 4, out += 6) {
        storePixel(in[0], in[1], in[3], out);
        storePixel(in[2], in[1], in[3], out + 3);
    }
    if (pixels % 2 != 0) {
        storePixel(in[0], in[1], kNoChroma, out);
    }
}

// Sizes `bgr` after `yuy2`; the pixel count, or 0 when `yuy2` cannot be converted.
std::size_t prepare(const cv::Mat& yuy2, cv::Mat& bgr) {
    if (yuy2.empty() || yuy2.type() != CV_8UC2 || !yuy2.isContinuous()) {
        bgr.release();
        return 0;
    }
    if (!bgr.isContinuous()) {
        bgr.release();  // a view into a larger picture: the rows would not follow each other
    }
    bgr.create(yuy2.rows, yuy2.cols, CV_8UC3);
    return yuy2.total();
}

}  // namespace

void frameConverter::convert(const cv::Mat& yuy2, cv::Mat& bgr) {
    const std::size_t pixels = prepare(yuy2, bgr);
    if (pixels == 0) {
        return;
    }
    const std::size_t done =
        dravix::colorConverter::convertBlocks(kForm, yuy2.data, bgr.data, pixels);
    convertPixels(yuy2.data + done * 2, bgr.data + done * 3, pixels - done);
}

void frameConverter::convertScalar(const cv::Mat& yuy2, cv::Mat& bgr) {
    const std::size_t pixels = prepare(yuy2, bgr);
    if (pixels != 0) {
        convertPixels(yuy2.data, bgr.data, pixels);
    }
}
