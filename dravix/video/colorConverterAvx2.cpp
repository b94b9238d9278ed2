// Compiled with -mavx2 on x86-64; see colorConverterKernel.h for the method.
#if defined(DRAVIX_COLOR_SIMD)

#include <immintrin.h>

#include "video/colorConverterKernel.h"
#include "video/colorConverterSimd.h"

namespace dravix {
namespace {

// Two 128-bit lanes: 32 pixels a block, pixels 0..15 in the low lane and 16..31 in the high one,
// so that each lane's 48 output bytes are contiguous.
struct avx2Ops {
    using vec = __m256i;
    static constexpr std::size_t kLanes = 2;

    static __m128i load128(const uint8_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    static vec load(const uint8_t* block, int half) {
        const uint8_t* low = block + 16 * half;
        return _mm256_inserti128_si256(_mm256_castsi128_si256(load128(low)), load128(low + 32), 1);
    }
    static void store256(uint8_t* out, vec value) {
        _mm256_storeu_si256(reinterpret_cast<vec*>(out), value);
    }
    // Lane outputs (first, second, third) are bytes 0..47 (low lanes) and 48..95 (high lanes).
    static void store(uint8_t* out, vec first, vec second, vec third) {
        store256(out, _mm256_permute2x128_si256(first, second, 0x20));
        store256(out + 32, _mm256_permute2x128_si256(third, first, 0x30));
        store256(out + 64, _mm256_permute2x128_si256(second, third, 0x31));
    }
    static vec broadcast32(uint32_t value) {
        return _mm256_set1_epi32(static_cast<int32_t>(value));
    }
    static vec broadcastLane(const uint8_t* bytes) {
        return _mm256_broadcastsi128_si256(load128(bytes));
    }
    static vec bitAnd(vec a, vec b) { return _mm256_and_si256(a, b); }
    static vec bitOr(vec a, vec b) { return _mm256_or_si256(a, b); }
    static vec highBytes(vec a) { return _mm256_srli_epi16(a, 8); }
    static vec multiplyAdd(vec a, vec b) { return _mm256_madd_epi16(a, b); }
    static vec add32(vec a, vec b) { return _mm256_add_epi32(a, b); }
    static vec shiftRight12(vec a) { return _mm256_srai_epi32(a, 12); }
    static vec packWords(vec a, vec b) { return _mm256_packs_epi32(a, b); }
    static vec packBytes(vec a, vec b) { return _mm256_packus_epi16(a, b); }
    static vec shuffleBytes(vec a, vec indices) { return _mm256_shuffle_epi8(a, indices); }
};

}  // namespace

std::size_t colorConverterSimd::convertAvx2(const colorConverterCoefficients& c,
                                            const uint8_t* yuy2, uint8_t* out, std::size_t pixels) {
    return colorConverterKernel<avx2Ops>::convert(c, yuy2, out, pixels);
}

}  // namespace dravix

#endif
