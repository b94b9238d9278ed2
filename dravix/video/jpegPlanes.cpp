#include "video/jpegPlanes.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dravix {
namespace {

constexpr int kBlock = 8;

std::size_t roundUp(std::size_t value, std::size_t multiple) {
    return (value + multiple - 1) / multiple * multiple;
}

// The encoder's h2v2 average of one chroma column: bias 1 on even columns, 2 on odd ones, over
// four samples of which each pair is equal (both pixels of a YUY2 pair share their chroma).
uint8_t averagedChroma(int top, int bottom, std::size_t column) {
    const int sum = top + bottom;
    return static_cast<uint8_t>((column & 1) != 0 ? (sum + 1) >> 1 : sum >> 1);
}

void scalarPixels(const uint8_t* row0, const uint8_t* row1, uint8_t* luma0, uint8_t* luma1,
                  uint8_t* cb, uint8_t* cr, std::size_t firstPair, std::size_t pairs) {
    for (std::size_t pair = firstPair; pair < pairs; ++pair) {
        const uint8_t* top = row0 + pair * 4;
        const uint8_t* bottom = row1 + pair * 4;
        luma0[pair * 2] = top[0];
        luma0[pair * 2 + 1] = top[2];
        if (luma1 != nullptr) {
            luma1[pair * 2] = bottom[0];
            luma1[pair * 2 + 1] = bottom[2];
        }
        cb[pair] = averagedChroma(top[1], bottom[1], pair);
        cr[pair] = averagedChroma(top[3], bottom[3], pair);
    }
}

#if defined(__SSE2__)
// 32 pixels (16 pairs) per step; returns the pairs done. Chroma column parity equals lane
// parity, because every step starts at a multiple of 16 pairs.
std::size_t vectorPixels(const uint8_t* row0, const uint8_t* row1, uint8_t* luma0, uint8_t* luma1,
                         uint8_t* cb, uint8_t* cr, std::size_t pairs) {
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    const __m128i evenLanes = _mm_set1_epi16(0x0001);
    std::size_t pair = 0;
    for (; pair + 16 <= pairs; pair += 16) {
        __m128i u[2];
        __m128i v[2];
        for (int r = 0; r < 2; ++r) {
            const uint8_t* source = (r == 0 ? row0 : row1) + pair * 4;
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 16));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 32));
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 48));
            uint8_t* lumaRow = r == 0 ? luma0 : luma1;
            if (lumaRow != nullptr) {
                const __m128i y0 =
                    _mm_packus_epi16(_mm_and_si128(a, lowBytes), _mm_and_si128(b, lowBytes));
                const __m128i y1 =
                    _mm_packus_epi16(_mm_and_si128(c, lowBytes), _mm_and_si128(d, lowBytes));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(lumaRow + pair * 2), y0);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(lumaRow + pair * 2 + 16), y1);
            }
            // U, V of 8 pairs each, then split into 16 U and 16 V.
            const __m128i uv0 = _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8));
            const __m128i uv1 = _mm_packus_epi16(_mm_srli_epi16(c, 8), _mm_srli_epi16(d, 8));
            u[r] = _mm_packus_epi16(_mm_and_si128(uv0, lowBytes), _mm_and_si128(uv1, lowBytes));
            v[r] = _mm_packus_epi16(_mm_srli_epi16(uv0, 8), _mm_srli_epi16(uv1, 8));
        }
        // (a + b + 1) >> 1 on odd columns; one less where a + b is odd on even columns.
        const __m128i evenFixU = _mm_and_si128(_mm_xor_si128(u[0], u[1]), evenLanes);
        const __m128i evenFixV = _mm_and_si128(_mm_xor_si128(v[0], v[1]), evenLanes);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(cb + pair),
                         _mm_sub_epi8(_mm_avg_epu8(u[0], u[1]), evenFixU));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(cr + pair),
                         _mm_sub_epi8(_mm_avg_epu8(v[0], v[1]), evenFixV));
    }
    return pair;
}
#else
std::size_t vectorPixels(const uint8_t*, const uint8_t*, uint8_t*, uint8_t*, uint8_t*, uint8_t*,
                         std::size_t) {
    return 0;
}
#endif

}  // namespace

void jpegPlanes::build(const uint8_t* yuy2, int width, int height) {
    allocate(width, height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 2;
    for (int pair = 0; pair * 2 < height; ++pair) {
        const int second = std::min(pair * 2 + 1, height - 1);
        buildRowPair(yuy2 + rowBytes * pair * 2, yuy2 + rowBytes * second, pair,
                     pair * 2 + 1 < height);
    }
    padBottom();
}

void jpegPlanes::release() {
    std::vector<uint8_t>().swap(luma_);
    std::vector<uint8_t>().swap(cb_);
    std::vector<uint8_t>().swap(cr_);
    width_ = height_ = paddedRows_ = 0;
    lumaStride_ = chromaStride_ = 0;
}

// Luma covers whole 8-sample blocks, chroma whole blocks of its halved width; rows cover whole
// MCU rows (16 luma, 8 chroma).
void jpegPlanes::allocate(int width, int height) {
    width_ = width;
    height_ = height;
    lumaStride_ = roundUp(static_cast<std::size_t>(width), kBlock);
    chromaStride_ = roundUp(static_cast<std::size_t>(width), 2 * kBlock) / 2;
    paddedRows_ = static_cast<int>(roundUp(static_cast<std::size_t>(height), kMcuRows));
    luma_.resize(lumaStride_ * paddedRows_);
    cb_.resize(chromaStride_ * paddedRows_ / 2);
    cr_.resize(chromaStride_ * paddedRows_ / 2);
}

// The vector code takes whole steps of 32 pixels, the plain code the rest.
void jpegPlanes::buildRowPair(const uint8_t* row0, const uint8_t* row1, int pair,
                              bool secondLumaRow) {
    uint8_t* luma0 = luma_.data() + lumaStride_ * pair * 2;
    uint8_t* luma1 = secondLumaRow ? luma0 + lumaStride_ : nullptr;
    uint8_t* cb = cb_.data() + chromaStride_ * pair;
    uint8_t* cr = cr_.data() + chromaStride_ * pair;
    const std::size_t pairs = static_cast<std::size_t>(width_) / 2;
    const std::size_t done = vectorPixels(row0, row1, luma0, luma1, cb, cr, pairs);
    scalarPixels(row0, row1, luma0, luma1, cb, cr, done, pairs);
    padRightEdges(row0 + (pairs - 1) * 4, row1 + (pairs - 1) * 4, pair, secondLumaRow);
}

// The encoder repeats the last pixel of each row, so the padding columns of the chroma planes are
// the last pair's samples, each averaged with its own column's bias.
void jpegPlanes::padRightEdges(const uint8_t* lastTop, const uint8_t* lastBottom, int pair,
                               bool secondLumaRow) {
    const std::size_t width = static_cast<std::size_t>(width_);
    for (int r = 0; r < (secondLumaRow ? 2 : 1); ++r) {
        uint8_t* luma = luma_.data() + lumaStride_ * (pair * 2 + r);
        std::fill(luma + width, luma + lumaStride_, luma[width - 1]);
    }
    uint8_t* cb = cb_.data() + chromaStride_ * pair;
    uint8_t* cr = cr_.data() + chromaStride_ * pair;
    for (std::size_t column = width / 2; column < chromaStride_; ++column) {
        cb[column] = averagedChroma(lastTop[1], lastBottom[1], column);
        cr[column] = averagedChroma(lastTop[3], lastBottom[3], column);
    }
}

void jpegPlanes::padBottom() {
    const std::size_t lumaRows = static_cast<std::size_t>(height_);
    for (std::size_t row = lumaRows; row < static_cast<std::size_t>(paddedRows_); ++row) {
        std::memcpy(luma_.data() + lumaStride_ * row, luma_.data() + lumaStride_ * (lumaRows - 1),
                    lumaStride_);
    }
    const std::size_t chromaRows = (lumaRows + 1) / 2;
    for (uint8_t* plane : {cb_.data(), cr_.data()}) {
        for (std::size_t row = chromaRows; row < static_cast<std::size_t>(paddedRows_) / 2; ++row) {
            std::memcpy(plane + chromaStride_ * row, plane + chromaStride_ * (chromaRows - 1),
                        chromaStride_);
        }
    }
}

}  // namespace dravix
