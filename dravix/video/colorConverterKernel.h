#pragma once

#include <cstddef>
#include <cstdint>

#include "video/colorConverterCoefficients.h"

namespace dravix {

// The vector conversion, written once for every instruction set. `Ops` wraps the instructions of
// one set: `vec` holds Ops::kLanes 128-bit lanes and every operation works lane by lane, so each
// lane converts 16 pixels on its own. Instantiate it only with a type local to the file that is
// compiled for that instruction set, so that no instantiation is shared with other files.
//
// Per lane, each half of 8 pixels (16 bytes, four Y0 U Y1 V pairs, one pair per 32-bit element):
//   Y words = bytes & 0x00ff              (Y0, Y1) in each element
//   UV words = bytes >> 8                 (U, V) in each element
//   even = madd(Y, (luma, 0))             luma·Y0 as a 32-bit element
//   odd = madd(Y, (0, luma))              luma·Y1
//   chroma = madd(UV, (blue, red)) + offset
//   byte = (even + chroma) >> 12 and (odd + chroma) >> 12, arithmetic, in 32-bit elements.
// madd multiplies 16-bit words (samples 0..255, weights that fit 16 bits) into exact 32-bit sums,
// so each element is the exact value of the linear form (colorConverterCoefficients checks that it
// fits 32 bits) and the shift gives exactly the scalar result. Signed packing to 16 bits and then
// unsigned packing to 8 bits limit it to 0..255: saturation keeps values below 0 at 0 and values
// above 255 at 255, so it is the same as clamping. Byte shuffles then interleave the three bytes.
template <class Ops>
class colorConverterKernel {
  public:
    using vec = typename Ops::vec;
    static constexpr std::size_t kBlockPixels = 16 * Ops::kLanes;

    // Converts the whole blocks at the start of `pixels`; returns how many pixels that was.
    static std::size_t convert(const colorConverterCoefficients& c, const uint8_t* yuy2,
                               uint8_t* out, std::size_t pixels) {
        const constants k = makeConstants(c);
        const std::size_t blocks = pixels / kBlockPixels;
        for (std::size_t block = 0; block < blocks; ++block) {
            convertBlock(k, yuy2 + block * kBlockPixels * 2, out + block * kBlockPixels * 3);
        }
        return blocks * kBlockPixels;
    }

  private:
    // The 48 output bytes of a lane come from three packed vectors: bytes 0 and 1 of pixels 0..7,
    // the same of pixels 8..15, and byte 2 of all 16 pixels.
    static constexpr int kSources = 3;
    static constexpr int kOutputs = 3;
    static constexpr uint8_t kZero = 0x80;  // shuffle index that yields 0

    struct shuffleTable {
        uint8_t index[kOutputs][kSources][16];
    };

    struct channelConstants {
        vec chromaWeights;
        vec offset;
    };

    struct constants {
        vec lumaMask;
        vec evenLuma;
        vec oddLuma;
        channelConstants bytes[3];
        vec shuffles[kOutputs][kSources];
    };

    // The three channels of 8 pixels as 16-bit words, even pixels first: 0 2 4 6 1 3 5 7.
    struct halfResult {
        vec bytes[3];
    };

    // Where pixel `p` (0..7) of a half sits after packing even and odd elements.
    static constexpr int packedOrder(int p) { return (p % 2) * 4 + p / 2; }

    // Output byte j takes its byte from one source; the other sources' shuffles give 0 there.
    static constexpr shuffleTable makeShuffleTable() {
        shuffleTable table{};
        for (int j = 0; j < kOutputs * 16; ++j) {
            const int pixel = j / 3;
            const int slot = j % 3;
            const int source = slot == 2 ? 2 : pixel / 8;
            const int base = slot == 2 ? (pixel / 8) * 8 : slot * 8;
            for (int s = 0; s < kSources; ++s) {
                table.index[j / 16][s][j % 16] =
                    s == source ? static_cast<uint8_t>(base + packedOrder(pixel % 8)) : kZero;
            }
        }
        return table;
    }

    static vec wordPair(int32_t low, int32_t high) {
        return Ops::broadcast32(static_cast<uint32_t>(static_cast<uint16_t>(low)) |
                                static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16);
    }

    static constants makeConstants(const colorConverterCoefficients& c) {
        static constexpr shuffleTable kShuffles = makeShuffleTable();
        constants k{};
        k.lumaMask = wordPair(0x00ff, 0x00ff);
        k.evenLuma = wordPair(c.luma, 0);
        k.oddLuma = wordPair(0, c.luma);
        for (int i = 0; i < 3; ++i) {
            k.bytes[i].chromaWeights = wordPair(c.bytes[i].blue, c.bytes[i].red);
            k.bytes[i].offset = Ops::broadcast32(static_cast<uint32_t>(c.bytes[i].offset));
        }
        for (int o = 0; o < kOutputs; ++o) {
            for (int s = 0; s < kSources; ++s) {
                k.shuffles[o][s] = Ops::broadcastLane(kShuffles.index[o][s]);
            }
        }
        return k;
    }

    static vec channelWords(const channelConstants& ch, vec uv, vec even, vec odd) {
        const vec chroma = Ops::add32(Ops::multiplyAdd(uv, ch.chromaWeights), ch.offset);
        return Ops::packWords(Ops::shiftRight12(Ops::add32(even, chroma)),
                              Ops::shiftRight12(Ops::add32(odd, chroma)));
    }

    static halfResult convertHalf(const constants& k, vec input) {
        const vec luma = Ops::bitAnd(input, k.lumaMask);
        const vec uv = Ops::highBytes(input);
        const vec even = Ops::multiplyAdd(luma, k.evenLuma);
        const vec odd = Ops::multiplyAdd(luma, k.oddLuma);
        halfResult r;
        for (int i = 0; i < 3; ++i) {
            r.bytes[i] = channelWords(k.bytes[i], uv, even, odd);
        }
        return r;
    }

    static vec pick(const constants& k, int output, int source, vec packed) {
        return Ops::shuffleBytes(packed, k.shuffles[output][source]);
    }

    static void convertBlock(const constants& k, const uint8_t* in, uint8_t* out) {
        const halfResult low = convertHalf(k, Ops::load(in, 0));
        const halfResult high = convertHalf(k, Ops::load(in, 1));
        const vec lowPair = Ops::packBytes(low.bytes[0], low.bytes[1]);
        const vec highPair = Ops::packBytes(high.bytes[0], high.bytes[1]);
        const vec third = Ops::packBytes(low.bytes[2], high.bytes[2]);
        // Output bytes 0..15 hold pixels 0..5, 16..31 pixels 5..10, 32..47 pixels 10..15.
        const vec first = Ops::bitOr(pick(k, 0, 0, lowPair), pick(k, 0, 2, third));
        const vec second = Ops::bitOr(Ops::bitOr(pick(k, 1, 0, lowPair), pick(k, 1, 1, highPair)),
                                      pick(k, 1, 2, third));
        const vec last = Ops::bitOr(pick(k, 2, 1, highPair), pick(k, 2, 2, third));
        Ops::store(out, first, second, last);
    }
};

}  // namespace dravix
