#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "video/scaleGeometry.h"

namespace dravix {

// Scales the 24-bit picture of a frame into the window display's buffer.
//
// Source: frame width × frame height pixels of 3 bytes, rows packed. Display: display width ×
// display height pixels of 3 bytes, rows display width × 3 bytes apart; the picture starts at
// the left edge of row 0 and the rest of the display keeps its contents.
//
// At an effective scale of exactly 1.0 rows are copied. Otherwise a fixed-point bilinear filter:
// output pixel (x, y) samples the source at (sx, sy); both coordinates start at 0 and advance by
// adding 1/scale (in double) while they stay below the geometry's limits. With i = ⌊sx⌋ and
// fx = sx − i rounded once to float (likewise j and fy), the neighbours (i, j), (i + 1, j),
// (i, j + 1) and (i + 1, j + 1) get the float weights (1 − fx)(1 − fy), fx(1 − fy), (1 − fx)fy
// and fx·fy, each times 256 and rounded to the nearest integer, halves away from zero. Every
// output byte is the weighted sum of the neighbours' bytes shifted right by 8, at most 255.
// Nothing is written outside the display (rows and columns are clipped to it) and nothing is
// read outside the source.
//
// The sample positions are prepared once per geometry, and so are the weights when only a few
// distinct fy occur (regular scales). Otherwise scale() computes each row's weights into a row
// kept in the object, so one scaler serves one thread at a time.
class frameScaler {
  public:
    frameScaler();
    explicit frameScaler(const scaleGeometry& geometry);

    // Prepares the sample positions for `geometry`; every later frame is scaled with it.
    void setGeometry(const scaleGeometry& geometry);
    const scaleGeometry& geometry() const { return geometry_; }

    // The block of display columns and rows, from the top left corner, that scale() writes.
    int32_t drawnWidth() const { return drawnWidth_; }
    int32_t drawnHeight() const { return drawnHeight_; }

    // Uses the processor's vector instructions where it has them (the default); false keeps
    // to plain C++, which gives the same bytes.
    void setVectorized(bool enabled);

    // Scales `source` into `display`. Returns false, writing nothing, when a buffer is smaller
    // than the geometry's frame or display.
    bool scale(const uint8_t* source, std::size_t sourceSize, uint8_t* display,
               std::size_t displaySize);

    // The same picture computed plainly, one pixel and one coordinate step at a time: the
    // yardstick that scale() matches bit for bit.
    static bool scaleReference(const scaleGeometry& geometry, const uint8_t* source,
                               std::size_t sourceSize, uint8_t* display, std::size_t displaySize);

  private:
    void placeColumns(double step);
    std::vector<float> placeRows(double step);
    void prepareWeightRows(const std::vector<float>& rowFractions);
    void fillWeightRow(float rowFraction, std::size_t row);
    std::size_t weightRowOf(std::size_t outputRow);
    void filterRow(std::size_t weightRow, const uint8_t* sourceRow, uint8_t* displayRow) const;

    scaleGeometry geometry_;
    int32_t drawnWidth_ = 0;
    int32_t drawnHeight_ = 0;
    bool vectorized_;
    // Per output column: byte offset of the left neighbour within a source row, 1 − fx and fx.
    std::vector<uint32_t> columnOffsets_;
    std::vector<float> leftShares_;
    std::vector<float> rightShares_;
    // Leading columns whose neighbours may be fetched 16 bytes at a time without leaving a row.
    std::size_t wideColumns_ = 0;
    // Per output row: byte offset of the upper neighbours' row in the source, and the index of
    // its fy among the distinct ones.
    std::vector<std::size_t> rowOffsets_;
    std::vector<uint32_t> rowWeights_;
    std::vector<float> distinctFractions_;
    // Weight rows, per column w00, w10, w01, w11: one per distinct fy when they are kept, else
    // one row refilled whenever fy changes (filledRow_ tells for which).
    std::vector<int16_t> weightRows_;
    bool weightsKept_ = false;
    uint32_t filledRow_ = 0;
    // Per weight row: every column takes its upper left neighbour whole.
    std::vector<uint8_t> weightRowPicks_;
};

}  // namespace dravix
