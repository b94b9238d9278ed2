#include "video/frameScaler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define DRAVIX_SCALER_AVX2 1
#include <immintrin.h>
#endif

namespace dravix {
namespace {

constexpr std::size_t kPixelBytes = 3;
// Weights of a column that takes its upper left neighbour whole: w00 = 256, the others 0.
constexpr int16_t kWholeWeight = 256;
// Memory for weight rows computed once per geometry.
constexpr std::size_t kKeptWeightBytes = std::size_t{1} << 20;
constexpr uint32_t kNoRow = UINT32_MAX;

bool buffersFit(const scaleGeometry& geometry, std::size_t sourceSize, std::size_t displaySize) {
    const std::size_t source =
        std::size_t{geometry.frameWidth()} * geometry.frameHeight() * kPixelBytes;
    const std::size_t display = static_cast<std::size_t>(geometry.displayWidth()) *
                                static_cast<std::size_t>(geometry.displayHeight()) * kPixelBytes;
    return sourceSize >= source && displaySize >= display;
}

// Scale 1.0: each frame row to the start of the display row with the same number, clipped to
// the display.
void copyRows(const scaleGeometry& geometry, const uint8_t* source, uint8_t* display) {
    const std::size_t sourceStride = std::size_t{geometry.frameWidth()} * kPixelBytes;
    const std::size_t displayStride =
        static_cast<std::size_t>(geometry.displayWidth()) * kPixelBytes;
    const std::size_t bytes = std::min(sourceStride, displayStride);
    const int32_t rows = std::min<int32_t>(geometry.frameHeight(), geometry.displayHeight());
    if (bytes == 0) {
        return;
    }
    for (int32_t y = 0; y < rows; ++y) {
        std::memcpy(display + y * displayStride, source + y * sourceStride, bytes);
    }
}

// What both scalers do first: refuse buffers smaller than the geometry, copy rows at scale 1.0.
enum class frameStart { refused, copied, filter };

frameStart startFrame(const scaleGeometry& geometry, const uint8_t* source, std::size_t sourceSize,
                      uint8_t* display, std::size_t displaySize) {
    if (!buffersFit(geometry, sourceSize, displaySize)) {
        return frameStart::refused;
    }
    if (geometry.copiesRows()) {
        copyRows(geometry, source, display);
        return frameStart::copied;
    }
    return frameStart::filter;
}

// a × b × 256 in float, rounded to the nearest integer with halves away from zero (lround) for
// the non-negative values that weights are.
int16_t roundedWeight(float a, float b) {
    const float weight = a * b * 256.0f;
    const auto whole = static_cast<int16_t>(weight);
    return static_cast<int16_t>(weight - static_cast<float>(whole) >= 0.5f ? whole + 1 : whole);
}

// Weights of columns [first, count): w00, w10, w01, w11 each.
void fillWeights(const float* left, const float* right, float upper, float lower, std::size_t first,
                 std::size_t count, int16_t* weights) {
    for (std::size_t x = first; x < count; ++x) {
        int16_t* column = weights + 4 * x;
        column[0] = roundedWeight(left[x], upper);
        column[1] = roundedWeight(right[x], upper);
        column[2] = roundedWeight(left[x], lower);
        column[3] = roundedWeight(right[x], lower);
    }
}

bool onlyPicks(const int16_t* weights, std::size_t count) {
    for (std::size_t i = 0; i < 4 * count; i += 4) {
        if (weights[i] != kWholeWeight || weights[i + 1] != 0 || weights[i + 2] != 0 ||
            weights[i + 3] != 0) {
            return false;
        }
    }
    return true;
}

// Columns whose weights are all on the upper left neighbour: a plain copy of that pixel. Each
// copy moves 4 bytes (cheaper than 3); the next pixel overwrites the extra one, the last pixel
// moves exactly 3. Reading 4 bytes stays inside the row, as a right neighbour follows.
void pickRow(const uint8_t* row, const uint32_t* offsets, std::size_t count, uint8_t* out) {
    for (std::size_t x = 0; x + 1 < count; ++x) {
        std::memcpy(out + kPixelBytes * x, row + offsets[x], 4);
    }
    std::memcpy(out + kPixelBytes * (count - 1), row + offsets[count - 1], kPixelBytes);
}

// Output columns [first, count) of one row, one byte at a time.
void blendColumns(const uint8_t* row, std::size_t stride, const uint32_t* offsets,
                  const int16_t* weights, std::size_t first, std::size_t count, uint8_t* out) {
    for (std::size_t x = first; x < count; ++x) {
        const uint8_t* upper = row + offsets[x];
        const uint8_t* lower = upper + stride;
        const int16_t* w = weights + 4 * x;
        for (std::size_t c = 0; c < kPixelBytes; ++c) {
            const int32_t sum = w[0] * upper[c] + w[1] * upper[c + kPixelBytes] + w[2] * lower[c] +
                                w[3] * lower[c + kPixelBytes];
            out[kPixelBytes * x + c] = static_cast<uint8_t>(std::min(sum >> 8, 255));
        }
    }
}

#ifdef DRAVIX_SCALER_AVX2

bool processorHasAvx2() {
    static const bool present = __builtin_cpu_supports("avx2");
    return present;
}

// roundedWeight() for 8 columns: the same float products, then trunc plus one where the
// fraction is at least one half.
__attribute__((target("avx2"))) __m256i roundedWeights8(__m256 shares, __m256 rowShare) {
    const __m256 weight = _mm256_mul_ps(_mm256_mul_ps(shares, rowShare), _mm256_set1_ps(256.0f));
    const __m256 whole = _mm256_round_ps(weight, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m256 roundUp =
        _mm256_cmp_ps(_mm256_sub_ps(weight, whole), _mm256_set1_ps(0.5f), _CMP_GE_OQ);
    // The comparison mask is -1 where the weight rounds up.
    return _mm256_sub_epi32(_mm256_cvttps_epi32(whole), _mm256_castps_si256(roundUp));
}

// fillWeights() for the leading multiple of 8 columns; returns how many it filled.
__attribute__((target("avx2"))) std::size_t fillWeightsAvx2(const float* left, const float* right,
                                                            float upper, float lower,
                                                            std::size_t count, int16_t* weights) {
    const __m256 upperShare = _mm256_set1_ps(upper);
    const __m256 lowerShare = _mm256_set1_ps(lower);
    std::size_t x = 0;
    for (; x + 8 <= count; x += 8) {
        const __m256 leftShares = _mm256_loadu_ps(left + x);
        const __m256 rightShares = _mm256_loadu_ps(right + x);
        // Per column one 32-bit lane (w00, w10) for the upper row and one (w01, w11).
        const __m256i upperPair =
            _mm256_or_si256(roundedWeights8(leftShares, upperShare),
                            _mm256_slli_epi32(roundedWeights8(rightShares, upperShare), 16));
        const __m256i lowerPair =
            _mm256_or_si256(roundedWeights8(leftShares, lowerShare),
                            _mm256_slli_epi32(roundedWeights8(rightShares, lowerShare), 16));
        const __m256i low = _mm256_unpacklo_epi32(upperPair, lowerPair);
        const __m256i high = _mm256_unpackhi_epi32(upperPair, lowerPair);
        auto* out = reinterpret_cast<__m256i*>(weights + 4 * x);
        _mm256_storeu_si256(out, _mm256_permute2x128_si256(low, high, 0x20));
        _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(low, high, 0x31));
    }
    return x;
}

// One source row's share of two output pixels, one per 128-bit lane, as 32-bit sums (blue,
// green, red, 0): 16 bytes from each pixel's left neighbour on, a byte shuffle that pairs every
// channel with its right neighbour as 16-bit values, and a multiply-add with the lane's weight
// pair (w00, w10) or (w01, w11), repeated in each 32-bit slot.
__attribute__((target("avx2"))) __m256i rowShareAvx2(const uint8_t* first, const uint8_t* second,
                                                     __m256i weightPairs) {
    constexpr char z = -128;  // shuffle index that yields 0
    const __m256i channelPairs = _mm256_setr_epi8(0, z, 3, z, 1, z, 4, z, 2, z, 5, z, z, z, z, z, 0,
                                                  z, 3, z, 1, z, 4, z, 2, z, 5, z, z, z, z, z);
    const __m256i pixels = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(second)), 1);
    return _mm256_madd_epi16(_mm256_shuffle_epi8(pixels, channelPairs), weightPairs);
}

// Output pixels at the source offsets `first` (lane 0) and `second` (lane 1), shifted down to
// their final values.
__attribute__((target("avx2"))) __m256i blendPixelPairAvx2(const uint8_t* row, std::size_t stride,
                                                           uint32_t first, uint32_t second,
                                                           __m256i upper, __m256i lower) {
    const __m256i sums =
        _mm256_add_epi32(rowShareAvx2(row + first, row + second, upper),
                         rowShareAvx2(row + stride + first, row + stride + second, lower));
    return _mm256_srai_epi32(sums, 8);
}

// Output pixels x (lane 0) and x + 4 (lane 1) in `first`, x + 1 and x + 5 in `second`.
struct pixelPairs {
    __m256i first;
    __m256i second;
};

// The pixel pairs from column x on; one load brings the weights of columns x, x + 1 (lane 0)
// and x + 4, x + 5 (lane 1).
__attribute__((target("avx2"))) pixelPairs blendPairsAvx2(const uint8_t* row, std::size_t stride,
                                                          const uint32_t* offsets,
                                                          const int16_t* weights) {
    const __m256i columnWeights = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(weights))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 16)), 1);
    return {blendPixelPairAvx2(row, stride, offsets[0], offsets[4],
                               _mm256_shuffle_epi32(columnWeights, 0x00),
                               _mm256_shuffle_epi32(columnWeights, 0x55)),
            blendPixelPairAvx2(row, stride, offsets[1], offsets[5],
                               _mm256_shuffle_epi32(columnWeights, 0xAA),
                               _mm256_shuffle_epi32(columnWeights, 0xFF))};
}

// Stores 12 bytes; with `spare` 16, the 4 beyond are rewritten by the pixels that follow.
__attribute__((target("avx2"))) void storePixels(uint8_t* target, __m128i packed, bool spare) {
    if (spare) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target), packed);
        return;
    }
    _mm_storel_epi64(reinterpret_cast<__m128i*>(target), packed);
    const auto last = static_cast<uint32_t>(_mm_extract_epi32(packed, 2));
    std::memcpy(target + 8, &last, 4);
}

// blendColumns() for the leading multiple of 8 of `wide` columns, 8 at a time; returns how many
// it wrote.
__attribute__((target("avx2"))) std::size_t blendColumnsAvx2(const uint8_t* row, std::size_t stride,
                                                             const uint32_t* offsets,
                                                             const int16_t* weights,
                                                             std::size_t wide, std::size_t count,
                                                             uint8_t* out) {
    constexpr char z = -128;
    const __m256i packPixels = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, z, z, z, z,
                                                0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, z, z, z, z);
    std::size_t x = 0;
    for (; x + 8 <= wide; x += 8) {
        const pixelPairs low = blendPairsAvx2(row, stride, offsets + x, weights + 4 * x);
        const pixelPairs high = blendPairsAvx2(row, stride, offsets + x + 2, weights + 4 * x + 8);
        // Saturating packs limit every byte to 255; lane 0 then holds pixels 0 to 3 and lane 1
        // pixels 4 to 7, 4 bytes each, which the shuffle packs to 12.
        const __m256i pixels0145 = _mm256_packus_epi32(low.first, low.second);
        const __m256i pixels2367 = _mm256_packus_epi32(high.first, high.second);
        const __m256i packed =
            _mm256_shuffle_epi8(_mm256_packus_epi16(pixels0145, pixels2367), packPixels);
        uint8_t* target = out + kPixelBytes * x;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target), _mm256_castsi256_si128(packed));
        storePixels(target + 12, _mm256_extracti128_si256(packed, 1), x + 10 <= count);
    }
    return x;
}

#endif  // DRAVIX_SCALER_AVX2

bool vectorUnitsPresent() {
#ifdef DRAVIX_SCALER_AVX2
    return processorHasAvx2();
#else
    return false;
#endif
}

// Sample positions along one side: 0, step, 2·step, … (a running double sum) while below
// `limit`, at most `outputs` of them. Each position yields its whole part, kept only while its
// second neighbour is inside the source (the limit already ensures that), and its fraction.
void placeSamples(double step, double limit, int32_t outputs, uint16_t sourceSide,
                  std::vector<uint32_t>& wholes, std::vector<float>& fractions) {
    double position = 0.0;
    for (int32_t n = 0; n < outputs && position < limit; ++n, position += step) {
        const double whole = std::floor(position);
        if (whole + 1 >= sourceSide) {
            break;
        }
        wholes.push_back(static_cast<uint32_t>(whole));
        fractions.push_back(static_cast<float>(position - whole));
    }
}

}  // namespace

frameScaler::frameScaler() : frameScaler(scaleGeometry()) {}

frameScaler::frameScaler(const scaleGeometry& geometry) : vectorized_(vectorUnitsPresent()) {
    setGeometry(geometry);
}

void frameScaler::setVectorized(bool enabled) {
    vectorized_ = enabled && vectorUnitsPresent();
    setGeometry(geometry_);
}

void frameScaler::setGeometry(const scaleGeometry& geometry) {
    geometry_ = geometry;
    columnOffsets_.clear();
    leftShares_.clear();
    rightShares_.clear();
    rowOffsets_.clear();
    if (geometry.copiesRows()) {
        drawnWidth_ = std::min<int32_t>(geometry.frameWidth(), geometry.displayWidth());
        drawnHeight_ = std::min<int32_t>(geometry.frameHeight(), geometry.displayHeight());
        return;
    }
    // A scale of 0 (a drawing area without height) has limits of -infinity: no samples.
    const double step = geometry.effectiveScale() > 0.0 ? 1.0 / geometry.effectiveScale() : 1.0;
    placeColumns(step);
    std::vector<float> rowFractions = placeRows(step);
    if (columnOffsets_.empty() || rowOffsets_.empty()) {
        columnOffsets_.clear();
        rowOffsets_.clear();
        rowFractions.clear();
    }
    drawnWidth_ = static_cast<int32_t>(columnOffsets_.size());
    drawnHeight_ = static_cast<int32_t>(rowOffsets_.size());
    prepareWeightRows(rowFractions);
}

void frameScaler::placeColumns(double step) {
    std::vector<uint32_t> columns;
    placeSamples(step, geometry_.xLimit(), geometry_.displayWidth(), geometry_.frameWidth(),
                 columns, rightShares_);
    const std::size_t rowBytes = std::size_t{geometry_.frameWidth()} * kPixelBytes;
    wideColumns_ = 0;
    for (std::size_t x = 0; x < columns.size(); ++x) {
        columnOffsets_.push_back(static_cast<uint32_t>(columns[x] * kPixelBytes));
        leftShares_.push_back(1.0f - rightShares_[x]);
        // 16 bytes from the left neighbour on stay inside the row (the last row included).
        if (columnOffsets_.back() + 16 <= rowBytes) {
            wideColumns_ = x + 1;
        }
    }
}

std::vector<float> frameScaler::placeRows(double step) {
    std::vector<uint32_t> rows;
    std::vector<float> fractions;
    placeSamples(step, geometry_.yLimit(), geometry_.displayHeight(), geometry_.frameHeight(), rows,
                 fractions);
    const std::size_t rowBytes = std::size_t{geometry_.frameWidth()} * kPixelBytes;
    for (const uint32_t row : rows) {
        rowOffsets_.push_back(row * rowBytes);
    }
    return fractions;
}

// Rows with the same fy share a weight row. Regular scales have only a few fy values; those rows
// are all computed here. Otherwise one row is computed per frame and output row, as the weights of
// every row would take far more memory than the frame.
void frameScaler::prepareWeightRows(const std::vector<float>& rowFractions) {
    distinctFractions_ = rowFractions;
    std::sort(distinctFractions_.begin(), distinctFractions_.end());
    distinctFractions_.erase(std::unique(distinctFractions_.begin(), distinctFractions_.end()),
                             distinctFractions_.end());
    rowWeights_.clear();
    for (const float fraction : rowFractions) {
        rowWeights_.push_back(static_cast<uint32_t>(
            std::lower_bound(distinctFractions_.begin(), distinctFractions_.end(), fraction) -
            distinctFractions_.begin()));
    }
    const std::size_t rowBytes = 4 * sizeof(int16_t) * columnOffsets_.size();
    weightsKept_ = distinctFractions_.size() * rowBytes <= kKeptWeightBytes;
    const std::size_t rows = weightsKept_ ? distinctFractions_.size() : 1;
    weightRows_.assign(rows * 4 * columnOffsets_.size(), 0);
    weightRowPicks_.assign(rows, 0);
    filledRow_ = kNoRow;
    for (std::size_t row = 0; weightsKept_ && row < rows; ++row) {
        fillWeightRow(distinctFractions_[row], row);
    }
}

void frameScaler::fillWeightRow(float rowFraction, std::size_t row) {
    const float upper = 1.0f - rowFraction;
    const std::size_t count = columnOffsets_.size();
    int16_t* weights = weightRows_.data() + row * 4 * count;
    std::size_t filled = 0;
#ifdef DRAVIX_SCALER_AVX2
    if (vectorized_) {
        filled = fillWeightsAvx2(leftShares_.data(), rightShares_.data(), upper, rowFraction, count,
                                 weights);
    }
#endif
    fillWeights(leftShares_.data(), rightShares_.data(), upper, rowFraction, filled, count,
                weights);
    weightRowPicks_[row] = onlyPicks(weights, count);
}

std::size_t frameScaler::weightRowOf(std::size_t outputRow) {
    const uint32_t distinct = rowWeights_[outputRow];
    if (weightsKept_) {
        return distinct;
    }
    if (filledRow_ != distinct) {
        fillWeightRow(distinctFractions_[distinct], 0);
        filledRow_ = distinct;
    }
    return 0;
}

bool frameScaler::scale(const uint8_t* source, std::size_t sourceSize, uint8_t* display,
                        std::size_t displaySize) {
    const frameStart start = startFrame(geometry_, source, sourceSize, display, displaySize);
    if (start != frameStart::filter) {
        return start == frameStart::copied;
    }
    const std::size_t displayStride =
        static_cast<std::size_t>(geometry_.displayWidth()) * kPixelBytes;
    for (std::size_t y = 0; y < rowOffsets_.size(); ++y) {
        filterRow(weightRowOf(y), source + rowOffsets_[y], display + y * displayStride);
    }
    return true;
}

void frameScaler::filterRow(std::size_t weightRow, const uint8_t* sourceRow,
                            uint8_t* displayRow) const {
    const std::size_t count = columnOffsets_.size();
    if (weightRowPicks_[weightRow] != 0) {
        pickRow(sourceRow, columnOffsets_.data(), count, displayRow);
        return;
    }
    const int16_t* weights = weightRows_.data() + weightRow * 4 * count;
    const std::size_t stride = std::size_t{geometry_.frameWidth()} * kPixelBytes;
    std::size_t done = 0;
#ifdef DRAVIX_SCALER_AVX2
    if (vectorized_) {
        done = blendColumnsAvx2(sourceRow, stride, columnOffsets_.data(), weights, wideColumns_,
                                count, displayRow);
    }
#endif
    blendColumns(sourceRow, stride, columnOffsets_.data(), weights, done, count, displayRow);
}

bool frameScaler::scaleReference(const scaleGeometry& geometry, const uint8_t* source,
                                 std::size_t sourceSize, uint8_t* display,
                                 std::size_t displaySize) {
    const frameStart start = startFrame(geometry, source, sourceSize, display, displaySize);
    if (start != frameStart::filter) {
        return start == frameStart::copied;
    }
    const double scale = geometry.effectiveScale();
    if (scale <= 0.0) {
        return true;
    }
    const std::size_t sourceStride = std::size_t{geometry.frameWidth()} * 3;
    const std::size_t displayStride = static_cast<std::size_t>(geometry.displayWidth()) * 3;
    double sy = 0.0;
    for (int32_t y = 0; y < geometry.displayHeight() && sy < geometry.yLimit(); ++y) {
        const auto j = static_cast<int32_t>(std::floor(sy));
        if (j + 1 >= geometry.frameHeight()) {
            break;
        }
        const float fy = static_cast<float>(sy - j);
        double sx = 0.0;
        for (int32_t x = 0; x < geometry.displayWidth() && sx < geometry.xLimit(); ++x) {
            const auto i = static_cast<int32_t>(std::floor(sx));
            if (i + 1 >= geometry.frameWidth()) {
                break;
            }
            const float fx = static_cast<float>(sx - i);
            const long w00 = std::lround((1.0f - fx) * (1.0f - fy) * 256.0f);
            const long w10 = std::lround(fx * (1.0f - fy) * 256.0f);
            const long w01 = std::lround((1.0f - fx) * fy * 256.0f);
            const long w11 = std::lround(fx * fy * 256.0f);
            const uint8_t* p00 = source + j * sourceStride + i * 3;
            const uint8_t* p10 = p00 + 3;
            const uint8_t* p01 = p00 + sourceStride;
            const uint8_t* p11 = p01 + 3;
            uint8_t* out = display + y * displayStride + x * 3;
            for (int c = 0; c < 3; ++c) {
                const long sum = w00 * p00[c] + w10 * p10[c] + w01 * p01[c] + w11 * p11[c];
                out[c] = static_cast<uint8_t>(std::min(sum >> 8, 255L));
            }
            sx += 1.0 / scale;
        }
        sy += 1.0 / scale;
    }
    return true;
}

}  // namespace dravix
