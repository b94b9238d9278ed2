#pragma once

#include <cstdint>

namespace dravix {

// Where a frame lands in the window display: the drawing area, the scale the picture is drawn
// at and the source coordinates the bilinear filter may start from. A pure function of the frame
// size, the drawing area asked for and the scale asked for; recomputed when either changes.
//
// Floating-point types: the client passes the scale as a float; it is kept as the double of that
// float (exact), and every ratio, scale and limit here is a double. The filter itself computes its
// pixel weights in float (see frameScaler).
class scaleGeometry {
  public:
    // No frame and no drawing area yet, scale 1.0: nothing is drawn.
    scaleGeometry() : scaleGeometry(0, 0, 0, 0, 1.0f) {}
    // `areaWidth` and `areaHeight` are the drawing area the client asked for; they are rounded
    // down to multiples of 4, and negative sides count as 0. A requested scale that is not a
    // positive finite number counts as 1.0 (it would give no or an endless picture).
    scaleGeometry(uint16_t frameWidth, uint16_t frameHeight, int32_t areaWidth, int32_t areaHeight,
                  float requestedScale);

    // The same drawing area and scale request for frames of another size (a new stream).
    scaleGeometry forFrame(uint16_t frameWidth, uint16_t frameHeight) const;

    uint16_t frameWidth() const { return frameWidth_; }
    uint16_t frameHeight() const { return frameHeight_; }
    int32_t displayWidth() const { return displayWidth_; }
    int32_t displayHeight() const { return displayHeight_; }
    // Display side / frame side; +infinity for a frame side of 0 (every scale fits).
    double widthRatio() const { return widthRatio_; }
    double heightRatio() const { return heightRatio_; }
    double requestedScale() const { return requestedScale_; }
    double effectiveScale() const { return effectiveScale_; }
    int32_t scaledWidth() const { return scaledWidth_; }
    int32_t scaledHeight() const { return scaledHeight_; }
    // Display columns right of the scaled picture; 0 when the picture is the wider one.
    int32_t horizontalRemainder() const { return horizontalRemainder_; }
    // The filter's source coordinates stay below these, so that the right and lower neighbours
    // of every sample exist.
    double xLimit() const { return xLimit_; }
    double yLimit() const { return yLimit_; }
    // At exactly 1.0 frames are copied row by row instead of filtered.
    bool copiesRows() const { return effectiveScale_ == 1.0; }

  private:
    void chooseScale();
    void placePicture();

    uint16_t frameWidth_;
    uint16_t frameHeight_;
    int32_t displayWidth_;
    int32_t displayHeight_;
    double widthRatio_;
    double heightRatio_;
    double requestedScale_;
    double effectiveScale_ = 1.0;
    int32_t scaledWidth_ = 0;
    int32_t scaledHeight_ = 0;
    int32_t horizontalRemainder_ = 0;
    double xLimit_ = 0.0;
    double yLimit_ = 0.0;
};

}  // namespace dravix
