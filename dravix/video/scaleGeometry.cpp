#include "video/scaleGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace dravix {
namespace {

// The scale taken when the drawing area has no width, so that the picture keeps a size.
constexpr double kNoWidthScale = 0.1;

int32_t roundDownToFour(int32_t side) {
    return side <= 0 ? 0 : side - side % 4;
}

double ratio(int32_t displaySide, uint16_t frameSide) {
    if (frameSide == 0) {
        return std::numeric_limits<double>::infinity();
    }
    return static_cast<double>(displaySide) / frameSide;
}

// 4 × truncate(side × scale × 0.25): the scaled side, cut to a multiple of 4.
int32_t scaledSide(uint16_t frameSide, double scale) {
    return 4 * static_cast<int32_t>(frameSide * scale * 0.25);
}

// The last source coordinate a sample may start from: one step before the last pixel, so the
// sample's right (lower) neighbour is inside the frame. -infinity at scale 0: no samples.
double sampleLimit(uint16_t frameSide, double scale) {
    if (scale <= 0.0) {
        return -std::numeric_limits<double>::infinity();
    }
    return frameSide - 1 - 1.0 / scale;
}

}  // namespace

scaleGeometry::scaleGeometry(uint16_t frameWidth, uint16_t frameHeight, int32_t areaWidth,
                             int32_t areaHeight, float requestedScale)
    : frameWidth_(frameWidth),
      frameHeight_(frameHeight),
      displayWidth_(roundDownToFour(areaWidth)),
      displayHeight_(roundDownToFour(areaHeight)),
      widthRatio_(ratio(displayWidth_, frameWidth)),
      heightRatio_(ratio(displayHeight_, frameHeight)),
      requestedScale_(requestedScale) {
    chooseScale();
    placePicture();
}

scaleGeometry scaleGeometry::forFrame(uint16_t frameWidth, uint16_t frameHeight) const {
    // The request is the double of a float, so the round trip through float is exact.
    return scaleGeometry(frameWidth, frameHeight, displayWidth_, displayHeight_,
                         static_cast<float>(requestedScale_));
}

void scaleGeometry::chooseScale() {
    const bool usable = std::isfinite(requestedScale_) && requestedScale_ > 0.0;
    const double requested = usable ? requestedScale_ : 1.0;
    if (requested <= widthRatio_ && requested <= heightRatio_) {
        effectiveScale_ = requested;
        return;
    }
    // Too large for the area: fit the width, and the height when that is still too large.
    effectiveScale_ = widthRatio_ == 0.0 ? kNoWidthScale : widthRatio_;
    effectiveScale_ = std::min(effectiveScale_, heightRatio_);
}

void scaleGeometry::placePicture() {
    scaledWidth_ = scaledSide(frameWidth_, effectiveScale_);
    scaledHeight_ = scaledSide(frameHeight_, effectiveScale_);
    horizontalRemainder_ = std::max(0, displayWidth_ - scaledWidth_);
    xLimit_ = sampleLimit(frameWidth_, effectiveScale_);
    yLimit_ = sampleLimit(frameHeight_, effectiveScale_);
}

}  // namespace dravix
