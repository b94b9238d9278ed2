// Compiled with -mssse3 on x86-64; see colorConverterKernel.h for the method.
#if defined(DRAVIX_COLOR_SIMD)

#include <tmmintrin.h>

#include "video/colorConverterKernel.h"
#include "video/colorConverterSimd.h"

namespace dravix {
namespace {

// One 128-bit lane: 16 pixels a block.
struct ssse3Ops {
    using vec = __m128i;
    static constexpr std::size_t kLanes = 1;

    static vec load(const uint8_t* block, int half) {
        return _mm_loadu_si128(reinterpret_cast<const vec*>(block + 16 * half));
    }
    static void store(uint8_t* out, vec first, vec second, vec third) {
        _mm_storeu_si128(reinterpret_cast<vec*>(out), first);
        _mm_storeu_si128(reinterpret_cast<vec*>(out + 16), second);
        _mm_storeu_si128(reinterpret_cast<vec*>(out + 32), third);
    }
    static vec broadcast32(uint32_t value) { return _mm_set1_epi32(static_cast<int32_t>(value)); }
    static vec broadcastLane(const uint8_t* bytes) {
        return _mm_loadu_si128(reinterpret_cast<const vec*>(bytes));
    }
    static vec bitAnd(vec a, vec b) { return _mm_and_si128(a, b); }
    static vec bitOr(vec a, vec b) { return _mm_or_si128(a, b); }
    static vec highBytes(vec a) { return _mm_srli_epi16(a, 8); }
    static vec multiplyAdd(vec a, vec b) { return _mm_madd_epi16(a, b); }
    static vec add32(vec a, vec b) { return _mm_add_epi32(a, b); }
    static vec shiftRight12(vec a) { return _mm_srai_epi32(a, 12); }
    static vec packWords(vec a, vec b) { return _mm_packs_epi32(a, b); }
    static vec packBytes(vec a, vec b) { return _mm_packus_epi16(a, b); }
    static vec shuffleBytes(vec a, vec indices) { return _mm_shuffle_epi8(a, indices); }
};

}  // namespace

std::size_t colorConverterSimd::convertSsse3(const colorConverterCoefficients& c,
                                             const uint8_t* yuy2, uint8_t* out,
                                             std::size_t pixels) {
    return colorConverterKernel<ssse3Ops>::convert(c, yuy2, out, pixels);
}

}  // namespace dravix

#endif
