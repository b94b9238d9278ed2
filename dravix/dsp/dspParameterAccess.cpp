#include "dsp/dspParameterAccess.h"

#include <algorithm>
#include <cstring>

#include "dsp/dspParameters.h"

namespace dravix {

using namespace dspParameters;

namespace {

constexpr uint8_t kScaleModeMask = 0x7F;
constexpr uint8_t kOvExpModeMask = 0x07;
constexpr uint8_t kEdgeFieldMask = 0x0F;
constexpr int kGains = 4;
constexpr int kMatrixValues = 9;
constexpr int kGammaCurve = 36;
constexpr int kOvExpWeights = 16;
constexpr int kSteps = 3;

// Decodes `count` big-endian values masked with `mask`, or stores `failure` without data.
void decodeWords(const uint8_t* block, bool hasData, uint16_t* out, int count, uint16_t mask,
                 uint16_t failure) {
    for (int i = 0; i < count; ++i) {
        out[i] = hasData ? readBe16(block + 2 * i) & mask : failure;
    }
}

void encodeWords(uint8_t* block, const uint16_t* values, int count, uint8_t highMask) {
    for (int i = 0; i < count; ++i) {
        writeBe16(block + 2 * i, values[i], highMask);
    }
}

uint16_t wordOr(const uint8_t* bytes, bool hasData, uint16_t mask = 0xFFFF) {
    return hasData ? readBe16(bytes) & mask : 0;
}

uint8_t byteOr(uint8_t byte, bool hasData, uint8_t mask = 0xFF) {
    return hasData ? byte & mask : 0;
}

}  // namespace

dspParameterAccess::dspParameterAccess(cameraDsp& dsp, logger& log, const char* exportName)
    : dsp_(dsp), log_(log), exportName_(exportName) {}

template <std::size_t N>
dspParameterAccess::readResult dspParameterAccess::read(uint8_t code,
                                                        std::array<uint8_t, N>& block) {
    bool conflicting = false;
    const uint8_t status =
        dsp_.getDspFunction(code, block.data(), static_cast<int16_t>(N), conflicting);
    const bool hasData = status == 0 && !conflicting;
    readsWithoutData_ += hasData ? 0 : 1;
    return {status, hasData};
}

template <std::size_t N>
uint8_t dspParameterAccess::write(uint8_t code, const std::array<uint8_t, N>& block) {
    return dsp_.setDspFunction(code, block.data(), static_cast<int16_t>(N));
}

std::optional<uint8_t> dspParameterAccess::codeOfBank(DspFunction bank0, uint8_t bank) {
    std::optional<uint8_t> code = bankCode(bank0, bank);
    if (!code) {
        log_.error("main::%s: invalid bank %u", exportName_, static_cast<unsigned>(bank));
    }
    return code;
}

// ---- Colour and tone ------------------------------------------------------------------------

uint8_t dspParameterAccess::getGain(uint16_t* gains) {
    std::array<uint8_t, 2 * kGains> block{};
    const readResult result = read(dspCode(DspFunction::Gain), block);
    decodeWords(block.data(), result.hasData, gains, kGains, k13Bits, kGainReadFailure);
    return result.status;
}

uint8_t dspParameterAccess::setGain(const uint16_t* gains) {
    std::array<uint8_t, 2 * kGains> block{};
    encodeWords(block.data(), gains, kGains, 0xFF);
    return write(dspCode(DspFunction::Gain), block);
}

// `c` keeps the caller's value when there is no data.
uint8_t dspParameterAccess::getCrCbGain(uint16_t* a, uint16_t* b, uint16_t* c, uint16_t* d,
                                        uint16_t* e) {
    std::array<uint8_t, 10> block{};
    const readResult result = read(dspCode(DspFunction::CrCbGain), block);
    decodeWords(&block[0], result.hasData, a, 1, k13Bits, kGainReadFailure);
    decodeWords(&block[2], result.hasData, b, 1, k13Bits, kGainReadFailure);
    decodeWords(&block[4], result.hasData, c, 1, k13Bits, *c);
    *d = wordOr(&block[6], result.hasData);
    *e = wordOr(&block[8], result.hasData);
    return result.status;
}

uint8_t dspParameterAccess::setCrCbGain(uint16_t a, uint16_t b, uint16_t c, uint16_t d,
                                        uint16_t e) {
    std::array<uint8_t, 10> block{};
    const uint16_t gains[] = {a, b, c};
    encodeWords(block.data(), gains, 3, k13BitHigh);
    writeBe16(&block[6], d);
    writeBe16(&block[8], e);
    return write(dspCode(DspFunction::CrCbGain), block);
}

uint8_t dspParameterAccess::getHue(uint16_t* hue) {
    std::array<uint8_t, 2> block{};
    const readResult result = read(dspCode(DspFunction::Hue), block);
    *hue = result.hasData ? decodeHue(block.data()) : 0;
    return result.status;
}

uint8_t dspParameterAccess::setHue(uint16_t hue) {
    std::array<uint8_t, 2> block{};
    writeBe16(block.data(), hue);
    return write(dspCode(DspFunction::Hue), block);
}

uint8_t dspParameterAccess::getSaturation(uint16_t* saturation) {
    std::array<uint8_t, 2> block{};
    const readResult result = read(dspCode(DspFunction::Saturation), block);
    *saturation = wordOr(block.data(), result.hasData, k12Bits);
    return result.status;
}

uint8_t dspParameterAccess::setSaturation(uint16_t saturation) {
    std::array<uint8_t, 2> block{};
    writeBe16(block.data(), saturation);
    return write(dspCode(DspFunction::Saturation), block);
}

uint8_t dspParameterAccess::getOffset(int16_t* offset) {
    std::array<uint8_t, 2> block{};
    const readResult result = read(dspCode(DspFunction::Offset), block);
    *offset = result.hasData ? decodeOffset(block.data()) : 0;
    return result.status;
}

uint8_t dspParameterAccess::setOffset(int16_t offset) {
    return write(dspCode(DspFunction::Offset), encodeOffset(offset));
}

uint8_t dspParameterAccess::getGamma(uint8_t* enable, uint8_t* curve, uint8_t bank) {
    std::array<uint8_t, 1 + kGammaCurve> block{};
    const std::optional<uint8_t> code = codeOfBank(DspFunction::Gamma0, bank);
    const readResult result = code ? read(*code, block) : readResult{1, false};
    *enable = byteOr(block[0], result.hasData, 1);
    if (result.hasData) {
        std::copy_n(&block[1], kGammaCurve, curve);
    } else {
        std::fill_n(curve, kGammaCurve, 0);
    }
    return result.status;
}

uint8_t dspParameterAccess::setGamma(uint8_t enable, const uint8_t* curve, uint8_t bank) {
    const std::optional<uint8_t> code = codeOfBank(DspFunction::Gamma0, bank);
    if (!code) {
        return 1;
    }
    std::array<uint8_t, 1 + kGammaCurve> block{};
    block[0] = enable;
    std::copy_n(curve, kGammaCurve, &block[1]);
    return write(*code, block);
}

uint8_t dspParameterAccess::getColorMatrix(uint16_t* matrix) {
    std::array<uint8_t, 2 * kMatrixValues> block{};
    const readResult result = read(dspCode(DspFunction::ColorMatrix), block);
    decodeWords(block.data(), result.hasData, matrix, kMatrixValues, k13Bits, kGainReadFailure);
    return result.status;
}

uint8_t dspParameterAccess::setColorMatrix(const uint16_t* matrix) {
    std::array<uint8_t, 2 * kMatrixValues> block{};
    encodeWords(block.data(), matrix, kMatrixValues, k13BitHigh);
    return write(dspCode(DspFunction::ColorMatrix), block);
}

uint8_t dspParameterAccess::getBayerMode(uint8_t* mode) {
    std::array<uint8_t, 1> block{};
    const readResult result = read(dspCode(DspFunction::BayerMode), block);
    *mode = result.hasData ? decodeBayerMode(block[0]) : 1;
    return result.status;
}

uint8_t dspParameterAccess::setBayerMode(uint8_t mode) {
    return write(dspCode(DspFunction::BayerMode), std::array<uint8_t, 1>{encodeBayerMode(mode)});
}

// ---- Edge enhancement, Sobel and masks --------------------------------------------------------

uint8_t dspParameterAccess::getEdgeEnhancement(uint8_t* enable, uint8_t* a, uint8_t* b, uint16_t* c,
                                               uint16_t* d, uint8_t bank) {
    std::array<uint8_t, 7> block{};
    const std::optional<uint8_t> code = codeOfBank(DspFunction::EdgeEnhancement0, bank);
    const readResult result = code ? read(*code, block) : readResult{1, false};
    *enable = byteOr(block[0], result.hasData, 1);
    // A failed read reports a = 1; an invalid bank reports zeros only.
    *a = result.hasData ? block[1] & kEdgeFieldMask : (code ? 1 : 0);
    *b = byteOr(block[2], result.hasData, kEdgeFieldMask);
    *c = wordOr(&block[3], result.hasData, k11Bits);
    *d = wordOr(&block[5], result.hasData, k11Bits);
    return result.status;
}

uint8_t dspParameterAccess::setEdgeEnhancement(uint8_t enable, uint8_t a, uint8_t b, uint16_t c,
                                               uint16_t d, uint8_t bank) {
    const std::optional<uint8_t> code = codeOfBank(DspFunction::EdgeEnhancement0, bank);
    if (!code) {
        return 1;
    }
    std::array<uint8_t, 7> block{enable, a, b};
    writeBe16(&block[3], c);
    writeBe16(&block[5], d);
    return write(*code, block);
}

uint8_t dspParameterAccess::getSobel(uint8_t* enable, uint8_t* a, uint8_t* b, uint8_t* c,
                                     uint8_t bank) {
    std::array<uint8_t, 4> block{};
    const std::optional<uint8_t> code = codeOfBank(DspFunction::Sobel0, bank);
    const readResult result = code ? read(*code, block) : readResult{1, false};
    *enable = byteOr(block[0], result.hasData, 1);
    *a = byteOr(block[1], result.hasData);
    *b = byteOr(block[2], result.hasData);
    *c = byteOr(block[3], result.hasData);
    return result.status;
}

uint8_t dspParameterAccess::setSobel(uint8_t enable, uint8_t a, uint8_t b, uint8_t c,
                                     uint8_t bank) {
    const std::optional<uint8_t> code = codeOfBank(DspFunction::Sobel0, bank);
    if (!code) {
        return 1;
    }
    return write(*code, std::array<uint8_t, 4>{enable, a, b, c});
}

uint8_t dspParameterAccess::getMaskEnable(uint8_t* m1, uint8_t* m2, uint8_t* m3) {
    std::array<uint8_t, 3> block{};
    const readResult result = read(dspCode(DspFunction::MaskEnable), block);
    *m1 = byteOr(block[0], result.hasData, 1);
    *m2 = byteOr(block[1], result.hasData, 1);
    *m3 = byteOr(block[2], result.hasData, 1);
    return result.status;
}

uint8_t dspParameterAccess::setMaskEnable(uint8_t m1, uint8_t m2, uint8_t m3) {
    return write(dspCode(DspFunction::MaskEnable), std::array<uint8_t, 3>{m1, m2, m3});
}

uint8_t dspParameterAccess::getMaskParams(uint16_t* a, uint16_t* b, uint16_t* c, uint16_t* d,
                                          uint16_t* e) {
    std::array<uint8_t, 10> block{};
    const readResult result = read(dspCode(DspFunction::MaskParams), block);
    *a = wordOr(&block[0], result.hasData, k11Bits);
    *b = wordOr(&block[2], result.hasData, k11Bits);
    *c = wordOr(&block[4], result.hasData, k10Bits);
    *d = wordOr(&block[6], result.hasData, k11Bits);
    *e = wordOr(&block[8], result.hasData, k11Bits);
    return result.status;
}

uint8_t dspParameterAccess::setMaskParams(uint16_t a, uint16_t b, uint16_t c, uint16_t d,
                                          uint16_t e) {
    std::array<uint8_t, 10> block{};
    const uint16_t values[] = {a, b, c, d, e};
    encodeWords(block.data(), values, 5, 0xFF);
    return write(dspCode(DspFunction::MaskParams), block);
}

// ---- White balance ----------------------------------------------------------------------------

uint8_t dspParameterAccess::getWbWindow(uint16_t* x1, uint16_t* y1, uint16_t* x2, uint16_t* y2,
                                        uint8_t* enable) {
    std::array<uint8_t, 9> block{};
    const readResult result = read(dspCode(DspFunction::WbWindow), block);
    *x1 = limitWbX(wordOr(&block[0], result.hasData, k12Bits));
    *y1 = limitWbY(wordOr(&block[2], result.hasData, k12Bits));
    *x2 = limitWbX(wordOr(&block[4], result.hasData, k12Bits));
    *y2 = limitWbY(wordOr(&block[6], result.hasData, k12Bits));
    *enable = byteOr(block[8], result.hasData, 1);
    return result.status;
}

uint8_t dspParameterAccess::setWbWindow(uint16_t x1, uint16_t y1, uint16_t x2, uint16_t y2,
                                        uint8_t enable) {
    std::array<uint8_t, 9> block{};
    const uint16_t coordinates[] = {x1, y1, x2, y2};
    for (int i = 0; i < 4; ++i) {
        writeWbCoordinate(&block[2 * i], coordinates[i]);
    }
    block[8] = enable;
    return write(dspCode(DspFunction::WbWindow), block);
}

uint8_t dspParameterAccess::doWbPush() {
    dsp_.wbPush().clear();
    return trigger(DspFunction::WbPush);
}

// Stored before the write: the completion may arrive before the reply.
uint8_t dspParameterAccess::doWbPushCb(WbPushCallback callback, void* user) {
    const wbPushRegistration::ticket registration = dsp_.wbPush().store(callback, user);
    const uint8_t status = trigger(DspFunction::WbPush);
    if (status != 0) {
        dsp_.wbPush().clearIf(registration);
    }
    return status;
}

// ---- Geometry -----------------------------------------------------------------------------------

uint8_t dspParameterAccess::getScaleZ(uint8_t* mode, uint16_t* a, uint16_t* b, uint16_t* c,
                                      uint16_t* d, uint8_t* z) {
    std::array<uint8_t, 10> block{};
    const readResult result = read(dspCode(DspFunction::Scale), block);
    *mode = byteOr(block[0], result.hasData, kScaleModeMask);
    *a = wordOr(&block[1], result.hasData, k12Bits);
    *b = wordOr(&block[3], result.hasData, k12Bits);
    *c = wordOr(&block[5], result.hasData, k12Bits);
    *d = wordOr(&block[7], result.hasData, k12Bits);
    if (z != nullptr) {
        *z = byteOr(block[9], result.hasData);
    }
    return result.status;
}

uint8_t dspParameterAccess::setScaleZ(uint8_t mode, uint16_t a, uint16_t b, uint16_t c, uint16_t d,
                                      uint8_t z) {
    std::array<uint8_t, 10> block{};
    block[0] = mode & kScaleModeMask;
    writeBe16(&block[1], a, k12BitHigh);
    writeBe16(&block[3], b, k12BitHigh);
    writeBe16(&block[5], c);
    writeBe16(&block[7], d);
    block[9] = z;
    return write(dspCode(DspFunction::Scale), block);
}

uint8_t dspParameterAccess::getBinning(uint8_t* a, uint8_t* b) {
    std::array<uint8_t, 1> block{};
    const readResult result = read(dspCode(DspFunction::Binning), block);
    if (result.hasData) {
        decodeBinning(block[0], *a, *b);
    } else {
        *a = 1;
        *b = 0;
    }
    return result.status;
}

uint8_t dspParameterAccess::setBinning(uint8_t a, uint8_t b) {
    return write(dspCode(DspFunction::Binning), std::array<uint8_t, 1>{encodeBinning(a, b)});
}

uint8_t dspParameterAccess::getHvFlip(uint8_t* horizontal, uint8_t* vertical) {
    std::array<uint8_t, 1> block{};
    const readResult result = read(dspCode(DspFunction::HvFlip), block);
    const flipState flip = decodeFlip(result.hasData ? block[0] : 0);
    if (flip.hasStaticFlip()) {
        log_.verbose("DSP settings: detected static flip mirror key set");
        *horizontal = flip.staticHorizontal;
        *vertical = flip.staticVertical;
    } else {
        *horizontal = flip.horizontal;
        *vertical = flip.vertical;
    }
    return result.status;
}

uint8_t dspParameterAccess::getHvFlipStatic(uint8_t* horizontal, uint8_t* vertical,
                                            uint8_t* staticHorizontal, uint8_t* staticVertical) {
    std::array<uint8_t, 1> block{};
    const readResult result = read(dspCode(DspFunction::HvFlip), block);
    const flipState flip = decodeFlip(result.hasData ? block[0] : 0);
    *horizontal = flip.horizontal;
    *vertical = flip.vertical;
    *staticHorizontal = flip.staticHorizontal;
    *staticVertical = flip.staticVertical;
    return result.status;
}

uint8_t dspParameterAccess::setHvFlip(uint8_t horizontal, uint8_t vertical) {
    return dsp_.setHvFlip(horizontal, vertical);
}

// ---- Exposure control -------------------------------------------------------------------------

uint8_t dspParameterAccess::getTarget(uint16_t* target) {
    std::array<uint8_t, 2> block{};
    const readResult result = read(dspCode(DspFunction::Target), block);
    *target = wordOr(block.data(), result.hasData);
    return result.status;
}

uint8_t dspParameterAccess::setTarget(uint16_t target) {
    std::array<uint8_t, 2> block{};
    writeBe16(block.data(), target);
    return write(dspCode(DspFunction::Target), block);
}

uint8_t dspParameterAccess::getOvExp(uint8_t* mode, uint16_t* value, uint8_t* c) {
    std::array<uint8_t, 4> block{};
    const readResult result = read(dspCode(DspFunction::OvExp), block);
    *mode = byteOr(block[0], result.hasData, kOvExpModeMask);
    *value = wordOr(&block[1], result.hasData);
    *c = byteOr(block[3], result.hasData);
    return result.status;
}

uint8_t dspParameterAccess::setOvExp(uint8_t mode, uint16_t value, uint8_t c) {
    std::array<uint8_t, 4> block{static_cast<uint8_t>(mode & kOvExpModeMask)};
    writeBe16(&block[1], value);
    block[3] = c;
    return write(dspCode(DspFunction::OvExp), block);
}

uint8_t dspParameterAccess::getOvExpTarget(uint8_t* a, uint8_t* b, uint8_t* c, uint8_t* d) {
    std::array<uint8_t, 4> block{};
    const readResult result = read(dspCode(DspFunction::OvExpTarget), block);
    uint8_t* outputs[] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) {
        *outputs[i] = byteOr(block[i], result.hasData);
    }
    return result.status;
}

uint8_t dspParameterAccess::setOvExpTarget(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return write(dspCode(DspFunction::OvExpTarget), std::array<uint8_t, 4>{a, b, c, d});
}

// b0 first, then p[i], q[i], r[i] for each i, then b10 last.
uint8_t dspParameterAccess::getOvExpTargetSteps(uint8_t* first, uint8_t* p, uint8_t* q, uint8_t* r,
                                                uint8_t* last) {
    std::array<uint8_t, 2 + 3 * kSteps> block{};
    const readResult result = read(dspCode(DspFunction::OvExpTargetSteps), block);
    *first = byteOr(block[0], result.hasData);
    for (int i = 0; i < kSteps; ++i) {
        p[i] = byteOr(block[1 + 3 * i], result.hasData);
        q[i] = byteOr(block[2 + 3 * i], result.hasData);
        r[i] = byteOr(block[3 + 3 * i], result.hasData);
    }
    *last = byteOr(block[10], result.hasData);
    return result.status;
}

uint8_t dspParameterAccess::setOvExpTargetSteps(uint8_t first, const uint8_t* p, const uint8_t* q,
                                                const uint8_t* r, uint8_t last) {
    std::array<uint8_t, 2 + 3 * kSteps> block{first};
    for (int i = 0; i < kSteps; ++i) {
        block[1 + 3 * i] = p[i];
        block[2 + 3 * i] = q[i];
        block[3 + 3 * i] = r[i];
    }
    block[10] = last;
    return write(dspCode(DspFunction::OvExpTargetSteps), block);
}

uint8_t dspParameterAccess::getOvExpWeight(uint16_t* a, uint16_t* b, uint16_t* c, uint16_t* d,
                                           uint8_t* weights) {
    std::array<uint8_t, 8 + kOvExpWeights> block{};
    const readResult result = read(dspCode(DspFunction::OvExpWeight), block);
    uint16_t* values[] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) {
        *values[i] = wordOr(&block[2 * i], result.hasData);
    }
    for (int i = 0; i < kOvExpWeights; ++i) {
        weights[i] = byteOr(block[8 + i], result.hasData);
    }
    return result.status;
}

uint8_t dspParameterAccess::setOvExpWeight(uint16_t a, uint16_t b, uint16_t c, uint16_t d,
                                           const uint8_t* weights) {
    std::array<uint8_t, 8 + kOvExpWeights> block{};
    const uint16_t values[] = {a, b, c, d};
    encodeWords(block.data(), values, 4, 0xFF);
    std::copy_n(weights, kOvExpWeights, &block[8]);
    return write(dspCode(DspFunction::OvExpWeight), block);
}

// ---- Defect-pixel correction ------------------------------------------------------------------

uint8_t dspParameterAccess::getDpcConfig(uint8_t* enable, uint8_t* spare, uint16_t* value) {
    std::array<uint8_t, 3> block{};
    const readResult result = read(dspCode(DspFunction::DpcConfig), block);
    *enable = byteOr(block[0], result.hasData, 1);
    *spare = 0;
    *value = wordOr(&block[1], result.hasData, k12Bits);
    return result.status;
}

uint8_t dspParameterAccess::setDpcConfig(uint8_t enable, uint16_t value) {
    std::array<uint8_t, 3> block{enable};
    writeBe16(&block[1], value, k12BitHigh);
    return write(dspCode(DspFunction::DpcConfig), block);
}

uint8_t dspParameterAccess::getDpcTable(DpcEntry* table) {
    const auto unit = dsp_.holdBlocks();
    std::array<uint8_t, 3> config{};
    std::array<uint8_t, kDpcTableBytes> block{};
    readResult result = read(dspCode(DspFunction::DpcConfig), config);
    if (result.status == 0) {
        result = read(dspCode(DspFunction::DpcTable), block);
    }
    decodeDpcTable(block.data(), table);
    if (!result.hasData) {
        std::fill_n(table, kDpcEntries, DpcEntry{0, 0});
    }
    return result.status;
}

uint8_t dspParameterAccess::setDpcTable(const DpcEntry* table) {
    const auto unit = dsp_.holdBlocks();
    std::array<uint8_t, 3> config{};
    const readResult configRead = read(dspCode(DspFunction::DpcConfig), config);
    if (configRead.status != 0) {
        return configRead.status;
    }
    return write(dspCode(DspFunction::DpcTable), encodeDpcTable(table));
}

// ---- Pass-through blocks and commands ---------------------------------------------------------

// Cleared on every failure, also one that sent nothing (no channel).
uint8_t dspParameterAccess::getBytes(DspFunction function, uint8_t* out) {
    const dspFunctionSizes* sizes = findDspFunction(dspCode(function));
    bool conflicting = false;
    const uint8_t status =
        dsp_.getDspFunction(dspCode(function), out, sizes->readBytes, conflicting);
    readsWithoutData_ += status == 0 && !conflicting ? 0 : 1;
    if (status != 0) {
        std::fill_n(out, sizes->readBytes, 0);
    }
    return status;
}

uint8_t dspParameterAccess::setBytes(DspFunction function, const uint8_t* in) {
    const dspFunctionSizes* sizes = findDspFunction(dspCode(function));
    return dsp_.setDspFunction(dspCode(function), in, sizes->writeBytes);
}

uint8_t dspParameterAccess::setucConfig(const uint8_t* config) {
    std::array<uint8_t, 5> block{};
    std::copy_n(config, 4, block.begin());
    block[4] = 1;
    return write(dspCode(DspFunction::ucConfig), block);
}

uint8_t dspParameterAccess::trigger(DspFunction function) {
    return write(dspCode(function), std::array<uint8_t, 1>{0});
}

uint8_t dspParameterAccess::saveDspSettings() {
    return dsp_.saveDspSettings();
}

}  // namespace dravix
