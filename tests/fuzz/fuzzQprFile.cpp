// Fuzz target of the QPR settings file: byte 0 is the head type a caller asks for, the rest is the
// file. The file is parsed and applied to a recording stand-in of the camera's DSP functions
// (no HID, no file, no pause), and the rules of both are checked:
// - the result is 0 or -1, the read mask has no bit outside the defined groups;
// - every access names a DSP function with that function's exact size;
// - every write belongs to a dataset that passed the head type's filter and was read whole, in
//   the camera's order, and the flip byte carries only the software bits;
// - the slots read survive writing them out and reading them back.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "dsp/cameraDsp.h"
#include "dsp/qprFile.h"
#include "dsp/qprSettings.h"
#include "emu/recordingDsp.h"
#include "log/logger.h"

namespace {

using dravix::DspFunction;
using dravix::emu::recordingDsp;
namespace qpr = dravix::qprFile;

// The writes of an apply in the camera's order, each with the dataset it comes from ("Oo": both).
struct step {
    DspFunction function;
    const char* letters;
};

constexpr step kOrder[] = {
    {DspFunction::KeySetting, "K"},
    {DspFunction::Gain, "W"},
    {DspFunction::WbWindow, "B"},
    {DspFunction::MaskParams, "M"},
    {DspFunction::MaskEnable, "M"},
    {DspFunction::Gamma1, "g"},
    {DspFunction::Gamma0, "G"},
    {DspFunction::DpcTable, "P"},
    {DspFunction::DpcConfig, "p"},
    {DspFunction::CrCbGain, "Y"},
    {DspFunction::Hue, "Y"},
    {DspFunction::Saturation, "Y"},
    {DspFunction::ColorMatrix, "R"},
    {DspFunction::EdgeEnhancement1, "e"},
    {DspFunction::EdgeEnhancement0, "E"},
    {DspFunction::BayerMode, "E"},
    {DspFunction::Sobel1, "s"},
    {DspFunction::Sobel0, "S"},
    {DspFunction::AEValues, "A"},
    {DspFunction::Target, "T"},
    {DspFunction::WindowSizes, "Q"},
    {DspFunction::WindowPosition, "Q"},
    {DspFunction::Scale, "N"},
    {DspFunction::OvExpTargetSteps, "Oo"},
    {DspFunction::OvExpWeight, "Oo"},
    {DspFunction::OvExp, "Oo"},
    {DspFunction::Offset, "U"},
    {DspFunction::HvFlip, "h"},
    {DspFunction::Binning, "b"},
    {DspFunction::ucConfig, "u"},
};

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzzQprFile: %s\n", what);
        std::abort();
    }
}

bool applied(const qpr::image& slots, uint32_t mask, const char* letters) {
    for (const char* letter = letters; *letter != 0; ++letter) {
        if ((mask & qpr::findType(*letter)->group) == 0 || !slots.has(*letter)) {
            return false;
        }
    }
    return true;
}

void checkSizes(const std::vector<recordingDsp::access>& accesses) {
    for (const recordingDsp::access& access : accesses) {
        if (access.what == recordingDsp::kind::pause) {
            continue;
        }
        const dravix::dspFunctionSizes* sizes = dravix::findDspFunction(access.code);
        check(sizes != nullptr, "an access to a code outside the function table");
        if (access.what == recordingDsp::kind::write) {
            check(access.bytes.size() == sizes->writeBytes, "a write of the wrong size");
        } else {
            check(access.bytes.size() == sizes->readBytes, "a read of the wrong size");
        }
    }
}

void checkWrites(const std::vector<recordingDsp::access>& writes, const qpr::image& slots,
                 uint32_t mask) {
    std::size_t next = 0;
    bool paused = false;
    for (const recordingDsp::access& write : writes) {
        if (write.what == recordingDsp::kind::pause) {
            paused = true;
            continue;
        }
        while (next < std::size(kOrder) && dravix::dspCode(kOrder[next].function) != write.code) {
            ++next;
        }
        check(next < std::size(kOrder), "a write out of the camera's order");
        check(applied(slots, mask, kOrder[next].letters),
              "a write of a dataset filtered out or not read whole");
        if (kOrder[next].function == DspFunction::OvExp) {
            check(paused, "the exposure mode before the pause");
        }
        if (kOrder[next].function == DspFunction::HvFlip) {
            check((write.bytes[0] & ~3) == 0, "a flip byte with the head's bits");
        }
        ++next;
    }
}

void checkRoundTrip(const qpr::parseResult& first, uint8_t headType) {
    const uint8_t written = headType % (qpr::kLastHeadType + 1);
    const std::vector<uint8_t> bytes = qpr::serialize(first.slots, written);
    const qpr::parseResult second = qpr::parse(bytes.data(), bytes.size(), written);
    check(second.result == 0, "a written file does not read back whole");
    check((second.contents & qpr::kContentsMatched) != 0, "a written file misses its head type");
    check(second.mask == qpr::maskOf(written), "a written file reads back another mask");
    for (char letter : qpr::datasetsOf(written)) {
        const qpr::datasetType* type = qpr::findType(letter);
        if (letter == 'H' || letter == 'V' || letter == 'Z' || !first.slots.has(letter)) {
            continue;
        }
        check(second.slots.has(letter), "a written dataset is missing");
        const uint8_t* before = first.slots.slot(letter);
        check(std::equal(before, before + type->size, second.slots.slot(letter)),
              "a dataset changed on its way through a file");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static dravix::logger log;  // never opened: messages are dropped
    static recordingDsp dsp(log);
    if (size == 0) {
        return 0;
    }
    const uint8_t headType = data[0];
    const qpr::parseResult parsed = qpr::parse(data + 1, size - 1, headType);
    check(parsed.result == 0 || parsed.result == -1, "a parse result other than 0 and -1");
    check((parsed.mask & ~qpr::kAllGroups) == 0, "a mask bit outside the groups");
    check((parsed.contents & ~qpr::kContentsMatched) == (headType & ~qpr::kContentsMatched),
          "the contents byte lost the head type");

    const uint32_t mask = qpr::applyFilter(parsed.mask, headType);
    dsp.clearAccesses();
    const int failures = dravix::qprSettings(dsp, log, "fuzz", [](std::chrono::milliseconds) {
                             dsp.notePause();
                         }).apply(parsed.slots, mask);
    check(failures == 0, "a write the stand-in refused");
    checkSizes(dsp.accesses());
    checkWrites(dsp.writes(), parsed.slots, mask);
    checkRoundTrip(parsed, headType);
    return 0;
}
