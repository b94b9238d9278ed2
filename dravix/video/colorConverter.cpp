#include "video/colorConverter.h"

#include "video/colorConverterCoefficients.h"
#include "video/colorConverterSimd.h"

namespace dravix {
namespace {

// Stands in for the V byte that an odd pixel count cuts off.
constexpr int32_t kNoChroma = 128;

struct pixel {
    int32_t red;
    int32_t green;
    int32_t blue;
};

using formula = pixel (*)(int32_t y, int32_t u, int32_t v);

// The formulas of the colour modes as the display defines them, before clamping.
pixel grey(int32_t y, int32_t, int32_t) {
    return {y, y, y};
}

pixel stretchedGrey(int32_t y, int32_t, int32_t) {
    const int32_t g = ((y - 16) * 4769) >> 12;
    return {g, g, g};
}

// The video-range matrices of modes 4 and 6, with the constants as positive numbers.
template <int32_t RedV, int32_t RedC, int32_t GreenU, int32_t GreenV, int32_t GreenC, int32_t BlueU,
          int32_t BlueC>
pixel videoRange(int32_t y, int32_t u, int32_t v) {
    return {(4769 * y + RedV * v - RedC) >> 12, (4769 * y - GreenU * u - GreenV * v + GreenC) >> 12,
            (4769 * y + BlueU * u - BlueC) >> 12};
}

// The full-range matrices of mode 5 and the default, which add chroma terms to Y.
template <int32_t RedV, int32_t GreenU, int32_t GreenV, int32_t GreenC, int32_t BlueU>
pixel fullRange(int32_t y, int32_t u, int32_t v) {
    return {y + ((RedV * (v - 128)) >> 12), y - ((GreenU * u + GreenV * v - GreenC) >> 12),
            y + ((BlueU * (u - 128)) >> 12)};
}

constexpr formula bt709Video = videoRange<7310, 1011984, 869, 2173, 313072, 8613, 1178768>;
constexpr formula bt601Video = videoRange<6508, 909328, 1597, 3315, 552432, 8225, 1129104>;
constexpr formula bt601Full = fullRange<5742, 1409, 2925, 554752, 7258>;
constexpr formula bt709Full = fullRange<6450, 767, 1917, 343552, 7600>;

uint8_t clampByte(int32_t value) {
    return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

template <formula Formula, bool RedFirst>
void storePixel(int32_t y, int32_t u, int32_t v, uint8_t* out) {
    const pixel p = Formula(y, u, v);
    out[0] = clampByte(RedFirst ? p.red : p.blue);
    out[1] = clampByte(p.green);
    out[2] = clampByte(RedFirst ? p.blue : p.red);
}

template <formula Formula, bool RedFirst = false>
void convertPixels(const uint8_t* in, uint8_t* out, std::size_t pixels) {
    for (std::size_t pair = 0; pair < pixels / 2; ++pair, in += 4, out += 6) {
        storePixel<Formula, RedFirst>(in[0], in[1], in[3], out);
        storePixel<Formula, RedFirst>(in[2], in[1], in[3], out + 3);
    }
    if (pixels % 2 != 0) {
        storePixel<Formula, RedFirst>(in[0], in[1], kNoChroma, out);
    }
}

#if defined(DRAVIX_COLOR_SIMD)
struct cpuFeatures {
    bool ssse3;
    bool avx2;
};

// Asked once: the answer cannot change while the process runs.
const cpuFeatures& features() {
    static const cpuFeatures detected = [] {
        __builtin_cpu_init();
        return cpuFeatures{__builtin_cpu_supports("ssse3") != 0,
                           __builtin_cpu_supports("avx2") != 0};
    }();
    return detected;
}

// Runs the vector code of `path` and, for AVX2, SSSE3 on the remaining whole blocks; returns the
// pixels done.
std::size_t convertVectors(colorConverter::isa path, const colorConverterCoefficients& c,
                           const uint8_t* yuy2, uint8_t* out, std::size_t pixels) {
    std::size_t done = 0;
    if (path == colorConverter::isa::avx2) {
        done = colorConverterSimd::convertAvx2(c, yuy2, out, pixels);
    }
    return done +
           colorConverterSimd::convertSsse3(c, yuy2 + done * 2, out + done * 3, pixels - done);
}
#endif

}  // namespace

void colorConverter::convert(int32_t mode, const uint8_t* yuy2, uint8_t* out, std::size_t pixels) {
    convertWith(activeIsa(), mode, yuy2, out, pixels);
}

void colorConverter::convertScalar(int32_t mode, const uint8_t* yuy2, uint8_t* out,
                                   std::size_t pixels) {
    if (yuy2 == nullptr || out == nullptr) {
        return;
    }
    switch (mode) {
        case 1:
            return convertPixels<grey>(yuy2, out, pixels);
        case 2:
            return convertPixels<stretchedGrey>(yuy2, out, pixels);
        case 4:
            return convertPixels<bt709Video>(yuy2, out, pixels);
        case 5:
            return convertPixels<bt601Full>(yuy2, out, pixels);
        case 6:
            return convertPixels<bt601Video>(yuy2, out, pixels);
        case 8:
            return convertPixels<bt709Video, true>(yuy2, out, pixels);
        default:
            return convertPixels<bt709Full>(yuy2, out, pixels);
    }
}

void colorConverter::convertWith(isa path, int32_t mode, const uint8_t* yuy2, uint8_t* out,
                                 std::size_t pixels) {
    if (yuy2 == nullptr || out == nullptr) {
        return;
    }
    std::size_t done = 0;
#if defined(DRAVIX_COLOR_SIMD)
    if (path != isa::scalar && available(path)) {
        done = convertVectors(path, colorConverterCoefficients::forMode(mode), yuy2, out, pixels);
    }
#else
    (void)path;
#endif
    convertScalar(mode, yuy2 + done * 2, out + done * 3, pixels - done);
}

std::size_t colorConverter::convertBlocks(const colorConverterCoefficients& form,
                                          const uint8_t* yuy2, uint8_t* out, std::size_t pixels) {
#if defined(DRAVIX_COLOR_SIMD)
    const isa path = activeIsa();
    if (path != isa::scalar && yuy2 != nullptr && out != nullptr) {
        return convertVectors(path, form, yuy2, out, pixels);
    }
#else
    (void)form;
    (void)yuy2;
    (void)out;
    (void)pixels;
#endif
    return 0;
}

bool colorConverter::available(isa path) {
#if defined(DRAVIX_COLOR_SIMD)
    switch (path) {
        case isa::scalar:
            return true;
        case isa::ssse3:
            return features().ssse3;
        case isa::avx2:
            // The AVX2 path finishes its tail with SSSE3.
            return features().avx2 && features().ssse3;
        default:
            return false;
    }
#else
    return path == isa::scalar;
#endif
}

colorConverter::isa colorConverter::activeIsa() {
    static const isa chosen = available(isa::avx2)    ? isa::avx2
                              : available(isa::ssse3) ? isa::ssse3
                                                      : isa::scalar;
    return chosen;
}

const char* colorConverter::activePath() {
    return name(activeIsa());
}

const char* colorConverter::name(isa path) {
    switch (path) {
        case isa::ssse3:
            return "ssse3";
        case isa::avx2:
            return "avx2";
        case isa::scalar:
            return "scalar";
        default:
            return "unknown";
    }
}

}  // namespace dravix
