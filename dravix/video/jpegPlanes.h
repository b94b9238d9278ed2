#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dravix {

// A YUY2 frame as the three planes of a 4:2:0 JPEG, ready for the encoder's raw-data input: luma
// at full size, Cb and Cr halved in both directions, each padded to whole blocks of the encoder's
// MCU rows. The chroma is averaged and the edges are padded exactly as the encoder's own
// downsampler does it from interleaved Y, Cb, Cr rows, so both inputs give the same file:
//   - a chroma sample is the sum s of the two rows' samples of one pixel pair, halved with the
//     encoder's alternating bias: s >> 1 for even columns, (s + 1) >> 1 for odd ones;
//   - columns past the right edge repeat the last pixel (and so the last pair's chroma, with the
//     bias of their own column); an odd height pairs the last row with itself; rows past the
//     bottom repeat the last row of each plane.
// The buffers are kept from one picture to the next.
class jpegPlanes {
  public:
    static constexpr int kMcuRows = 16;  // luma rows of one MCU row at 2 x 2 sampling

    // `width` must be even (a YUY2 frame always is); `yuy2` holds width × height × 2 bytes.
    void build(const uint8_t* yuy2, int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    std::size_t lumaStride() const { return lumaStride_; }
    std::size_t chromaStride() const { return chromaStride_; }
    // Padded to a whole number of MCU rows.
    int paddedRows() const { return paddedRows_; }
    const uint8_t* luma() const { return luma_.data(); }
    const uint8_t* cb() const { return cb_.data(); }
    const uint8_t* cr() const { return cr_.data(); }
    // Frees the buffers.
    void release();

  private:
    void allocate(int width, int height);
    // One pair of frame rows: their luma rows and one chroma row.
    void buildRowPair(const uint8_t* row0, const uint8_t* row1, int pair, bool secondLumaRow);
    void padRightEdges(const uint8_t* lastTop, const uint8_t* lastBottom, int pair,
                       bool secondLumaRow);
    void padBottom();

    int width_ = 0;
    int height_ = 0;
    std::size_t lumaStride_ = 0;
    std::size_t chromaStride_ = 0;
    int paddedRows_ = 0;
    std::vector<uint8_t> luma_;
    std::vector<uint8_t> cb_;
    std::vector<uint8_t> cr_;
};

}  // namespace dravix
