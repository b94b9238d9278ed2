#include "video/colorConverterCoefficients.h"

namespace dravix {
namespace {

using coefficients = colorConverterCoefficients;
using channel = coefficients::channel;

// 1.0 in the formulas' 12-bit fixed point, and the chroma value that means no colour.
constexpr int32_t kOne = 4096;
constexpr int32_t kNoChroma = 128;
constexpr int16_t kVideoRangeGain = 4769;

constexpr int16_t weight(int32_t value) {
    return static_cast<int16_t>(value);
}

// (luma·Y + blue·U + red·V + offset) >> 12
constexpr channel linear(int32_t blue, int32_t red, int32_t offset) {
    return {weight(blue), weight(red), offset};
}

// Y + ((blue·(U − 128) + red·(V − 128)) >> 12), with luma weight kOne.
constexpr channel plusChroma(int32_t blue, int32_t red) {
    return linear(blue, red, -(blue + red) * kNoChroma);
}

// Y − ((blue·U + red·V + offset) >> 12), with luma weight kOne.
constexpr channel minusChroma(int32_t blue, int32_t red, int32_t offset) {
    return linear(-blue, -red, kOne - 1 - offset);
}

constexpr coefficients blueFirst(int16_t luma, channel red, channel green, channel blue) {
    return {luma, {blue, green, red}};
}

constexpr coefficients redFirst(const coefficients& c) {
    return {c.luma, {c.bytes[2], c.bytes[1], c.bytes[0]}};
}

constexpr channel kGreyChannel = linear(0, 0, 0);
constexpr channel kStretchedGreyChannel = linear(0, 0, -16 * kVideoRangeGain);

constexpr coefficients kGrey = blueFirst(kOne, kGreyChannel, kGreyChannel, kGreyChannel);
constexpr coefficients kStretchedGrey =
    blueFirst(kVideoRangeGain, kStretchedGreyChannel, kStretchedGreyChannel, kStretchedGreyChannel);
constexpr coefficients kBt709Video =
    blueFirst(kVideoRangeGain, linear(0, 7310, -1011984), linear(-869, -2173, 313072),
              linear(8613, 0, -1178768));
constexpr coefficients kBt601Full =
    blueFirst(kOne, plusChroma(0, 5742), minusChroma(1409, 2925, -554752), plusChroma(7258, 0));
constexpr coefficients kBt601Video =
    blueFirst(kVideoRangeGain, linear(0, 6508, -909328), linear(-1597, -3315, 552432),
              linear(8225, 0, -1129104));
constexpr coefficients kBt709Full =
    blueFirst(kOne, plusChroma(0, 6450), minusChroma(767, 1917, -343552), plusChroma(7600, 0));

constexpr int64_t magnitude(int64_t value) {
    return value < 0 ? -value : value;
}

// The vector code sums in 32-bit lanes: every sum for Y, U, V in 0..255 must fit.
constexpr bool sumsFit(const coefficients& c) {
    constexpr int64_t kMaxSample = 255;
    constexpr int64_t kLimit = int64_t{1} << 31;
    for (const channel& ch : c.bytes) {
        const int64_t weights = magnitude(c.luma) + magnitude(ch.blue) + magnitude(ch.red);
        if (kMaxSample * weights + magnitude(ch.offset) >= kLimit) {
            return false;
        }
    }
    return true;
}

static_assert(sumsFit(kGrey) && sumsFit(kStretchedGrey) && sumsFit(kBt709Video) &&
              sumsFit(kBt601Full) && sumsFit(kBt601Video) && sumsFit(kBt709Full));

}  // namespace

colorConverterCoefficients colorConverterCoefficients::forMode(int32_t mode) {
    switch (mode) {
        case 1:
            return kGrey;
        case 2:
            return kStretchedGrey;
        case 4:
            return kBt709Video;
        case 5:
            return kBt601Full;
        case 6:
            return kBt601Video;
        case 8:
            return redFirst(kBt709Video);
        default:
            return kBt709Full;
    }
}

}  // namespace dravix
