#include "dsp/qprSettings.h"

#include <array>
#include <iterator>
#include <thread>
#include <utility>

#include "dsp/dspParameterAccess.h"
#include "dsp/dspParameters.h"

namespace dravix {

using namespace dspParameters;
using qprFile::image;

namespace {

constexpr int kSteps = 3;
constexpr uint8_t kFlipSoftwareBits = 0x03;

uint16_t readLe16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

void writeLe16(uint8_t* bytes, uint16_t value) {
    bytes[0] = static_cast<uint8_t>(value & 0xFF);
    bytes[1] = static_cast<uint8_t>(value >> 8);
}

template <std::size_t N>
std::array<uint16_t, N> readBeWords(const uint8_t* bytes) {
    std::array<uint16_t, N> words{};
    for (std::size_t i = 0; i < N; ++i) {
        words[i] = readBe16(bytes + 2 * i);
    }
    return words;
}

template <std::size_t N>
void writeBeWords(uint8_t* bytes, const std::array<uint16_t, N>& words) {
    for (std::size_t i = 0; i < N; ++i) {
        writeBe16(bytes + 2 * i, words[i]);
    }
}

// Reads the camera's values into the datasets, in the camera's order.
class capturer {
  public:
    capturer(dspParameterAccess& p, image& slots) : p_(p), slots_(slots) {}

    void run() {
        p_.getBytes(DspFunction::KeySetting, slot('K'));
        captureEdgeAndBayer();
        captureSobel(0, 'S');
        captureSobel(1, 's');
        captureColour();
        captureGains();
        captureMasks();
        captureGamma(0, 'G');
        captureGamma(1, 'g');
        captureDpc();
        captureWbWindow();
        p_.getBytes(DspFunction::WindowSizes, slot('Q'));
        p_.getBytes(DspFunction::WindowPosition, slot('Q') + 32);
        captureMatrix();
        p_.getBytes(DspFunction::CamType, slot('I'));
        captureTarget();
        p_.getBytes(DspFunction::AEValues, slot('A'));
        captureScale();
        captureOvExp();
        captureOffset();
        p_.getBytes(DspFunction::ucConfig, slot('u'));
        captureBinningAndFlip();
    }

  private:
    uint8_t* slot(char letter) {
        slots_.setPresent(letter, true);
        return slots_.slot(letter);
    }

    void captureEdge(uint8_t bank, uint8_t* out) {
        uint16_t c = 0;
        uint16_t d = 0;
        p_.getEdgeEnhancement(&out[0], &out[1], &out[2], &c, &d, bank);
        writeBe16(&out[3], c);
        writeBe16(&out[5], d);
    }

    // Both edge datasets carry the Bayer mode in byte 7.
    void captureEdgeAndBayer() {
        uint8_t* edge0 = slot('E');
        uint8_t* edge1 = slot('e');
        captureEdge(0, edge0);
        p_.getBayerMode(&edge0[7]);
        captureEdge(1, edge1);
        edge1[7] = edge0[7];
    }

    void captureSobel(uint8_t bank, char letter) {
        uint8_t* out = slot(letter);
        p_.getSobel(&out[0], &out[1], &out[2], &out[3], bank);
    }

    // Gains a, b, then hue and saturation, then gains c, d, e.
    void captureColour() {
        std::array<uint16_t, 7> values{};
        p_.getCrCbGain(&values[0], &values[1], &values[4], &values[5], &values[6]);
        p_.getHue(&values[2]);
        p_.getSaturation(&values[3]);
        writeBeWords(slot('Y'), values);
    }

    void captureGains() {
        std::array<uint16_t, 4> gains{};
        p_.getGain(gains.data());
        writeBeWords(slot('W'), gains);
    }

    void captureMasks() {
        uint8_t* out = slot('M');
        p_.getMaskEnable(&out[0], &out[1], &out[2]);
        std::array<uint16_t, 5> params{};
        p_.getMaskParams(&params[0], &params[1], &params[2], &params[3], &params[4]);
        writeBeWords(out + 3, params);
    }

    void captureGamma(uint8_t bank, char letter) {
        uint8_t* out = slot(letter);
        p_.getGamma(&out[0], &out[1], bank);
    }

    void captureDpc() {
        uint8_t* config = slot('p');
        uint8_t spare = 0;
        uint16_t value = 0;
        p_.getDpcConfig(&config[0], &spare, &value);
        writeBe16(&config[1], value, k12BitHigh);
        config[3] = 0;
        std::array<DpcEntry, kDpcEntries> table{};
        p_.getDpcTable(table.data());
        uint8_t* entries = slot('P');
        for (int i = 0; i < kDpcEntries; ++i) {
            writeLe16(&entries[4 * i], table[i].x);
            writeLe16(&entries[4 * i + 2], table[i].y);
        }
    }

    void captureWbWindow() {
        uint8_t* out = slot('B');
        std::array<uint16_t, 4> window{};
        p_.getWbWindow(&window[0], &window[1], &window[2], &window[3], &out[8]);
        writeBeWords(out, window);
    }

    void captureMatrix() {
        std::array<uint16_t, 9> matrix{};
        p_.getColorMatrix(matrix.data());
        writeBeWords(slot('R'), matrix);
    }

    void captureTarget() {
        uint16_t target = 0;
        p_.getTarget(&target);
        writeBe16(slot('T'), target);
    }

    void captureScale() {
        uint8_t* out = slot('N');
        std::array<uint16_t, 4> values{};
        p_.getScaleZ(&out[0], &values[0], &values[1], &values[2], &values[3], &out[9]);
        writeBeWords(out + 1, values);
    }

    // 'O': mode, value << 4 little-endian, c, the first steps, the weights; 'o': the other
    // steps as p[1], p[2], q[1], q[2], r[1], r[2].
    void captureOvExp() {
        uint8_t* out = slot('O');
        uint8_t* more = slot('o');
        uint16_t value = 0;
        p_.getOvExp(&out[0], &value, &out[3]);
        writeLe16(&out[1], static_cast<uint16_t>(value << 4));
        std::array<uint8_t, kSteps> p{};
        std::array<uint8_t, kSteps> q{};
        std::array<uint8_t, kSteps> r{};
        uint8_t last = 0;
        p_.getOvExpTargetSteps(&out[4], p.data(), q.data(), r.data(), &last);
        out[5] = p[0];
        out[6] = q[0];
        out[7] = r[0];
        const uint8_t others[] = {p[1], p[2], q[1], q[2], r[1], r[2]};
        std::copy(std::begin(others), std::end(others), more);
        std::array<uint16_t, 4> weights{};
        p_.getOvExpWeight(&weights[0], &weights[1], &weights[2], &weights[3], &out[18]);
        writeBeWords(out + 10, weights);
    }

    void captureOffset() {
        int16_t offset = 0;
        p_.getOffset(&offset);
        writeBe16(slot('U'), static_cast<uint16_t>(offset));
    }

    void captureBinningAndFlip() {
        uint8_t a = 0;
        uint8_t b = 0;
        p_.getBinning(&a, &b);
        slot('b')[0] = encodeBinning(a, b);
        uint8_t flags[4] = {};
        p_.getHvFlipStatic(&flags[0], &flags[1], &flags[2], &flags[3]);
        slot('h')[0] = static_cast<uint8_t>(flags[0] << 1 | flags[1]);
    }

    dspParameterAccess& p_;
    image& slots_;
};

// Writes the datasets of one file to the camera, in the camera's order, counting failures.
class applier {
  public:
    applier(dspParameterAccess& p, cameraDsp& dsp, const image& slots, uint32_t mask,
            const qprSettings::pauseFunction& pause)
        : p_(p), dsp_(dsp), slots_(slots), mask_(mask), pause_(pause) {}

    int run() {
        if (applies(qprFile::kGroupK, 'K')) {
            step(p_.setBytes(DspFunction::KeySetting, slot('K')));
        }
        if (applies(qprFile::kGroupW, 'W')) {
            step(p_.setGain(readBeWords<4>(slot('W')).data()));
        }
        applyWbWindow();
        applyMasks();
        applyGamma('g', 1);
        applyGamma('G', 0);
        applyDpc();
        applyColour();
        if (applies(qprFile::kGroupR, 'R')) {
            step(p_.setColorMatrix(readBeWords<9>(slot('R')).data()));
        }
        applyEdge('e', 1);
        applyEdge('E', 0);
        if (applies(qprFile::kGroupEdge, 'E')) {
            step(p_.setBayerMode(slot('E')[7]));
        }
        applySobel('s', 1);
        applySobel('S', 0);
        if (applies(qprFile::kGroupA, 'A')) {
            step(p_.setBytes(DspFunction::AEValues, slot('A')));
        }
        if (applies(qprFile::kGroupT, 'T')) {
            step(p_.setTarget(readBe16(slot('T'))));
        }
        applyWindows();
        applyScale();
        applyOvExp();
        applyOffsetAndFlip();
        if (applies(qprFile::kGroupScale, 'b')) {
            step(p_.setBytes(DspFunction::Binning, slot('b')));
        }
        if (applies(qprFile::kGroupConfig, 'u')) {
            step(p_.setucConfig(slot('u')));
        }
        return failures_;
    }

  private:
    // A dataset is written only when its group passed the filter and the file held it whole:
    // a group's other member never stands in with an empty slot.
    bool applies(uint32_t group, char letter) const {
        return (mask_ & group) != 0 && slots_.has(letter);
    }
    const uint8_t* slot(char letter) const { return slots_.slot(letter); }
    void step(uint8_t status) { failures_ += status != 0 ? 1 : 0; }

    void applyWbWindow() {
        if (applies(qprFile::kGroupB, 'B')) {
            const uint8_t* in = slot('B');
            const auto window = readBeWords<4>(in);
            step(p_.setWbWindow(window[0], window[1], window[2], window[3], normalisedFlag(in[8])));
        }
    }

    void applyMasks() {
        if (applies(qprFile::kGroupM, 'M')) {
            const uint8_t* in = slot('M');
            const auto params = readBeWords<5>(in + 3);
            step(p_.setMaskParams(params[0], params[1], params[2], params[3], params[4]));
            step(p_.setMaskEnable(normalisedFlag(in[0]), normalisedFlag(in[1]),
                                  normalisedFlag(in[2])));
        }
    }

    void applyGamma(char letter, uint8_t bank) {
        if (applies(qprFile::kGroupGamma, letter)) {
            const uint8_t* in = slot(letter);
            step(p_.setGamma(normalisedFlag(in[0]), in + 1, bank));
        }
    }

    void applyDpc() {
        if (applies(qprFile::kGroupDpc, 'P')) {
            std::array<DpcEntry, kDpcEntries> table{};
            const uint8_t* in = slot('P');
            for (int i = 0; i < kDpcEntries; ++i) {
                table[i] = DpcEntry{readLe16(&in[4 * i]), readLe16(&in[4 * i + 2])};
            }
            step(p_.setDpcTable(table.data()));
        }
        if (applies(qprFile::kGroupDpc, 'p')) {
            const uint8_t* in = slot('p');
            step(p_.setDpcConfig(flag(in[0]),
                                 static_cast<uint16_t>((in[1] & k12BitHigh) << 8 | in[2])));
        }
    }

    void applyColour() {
        if (applies(qprFile::kGroupY, 'Y')) {
            const auto values = readBeWords<7>(slot('Y'));
            step(p_.setCrCbGain(values[0], values[1], values[4], values[5], values[6]));
            step(p_.setHue(values[2]));
            step(p_.setSaturation(values[3]));
        }
    }

    void applyEdge(char letter, uint8_t bank) {
        if (applies(qprFile::kGroupEdge, letter)) {
            const uint8_t* in = slot(letter);
            step(p_.setEdgeEnhancement(normalisedFlag(in[0]), in[1], in[2], readBe16(&in[3]),
                                       readBe16(&in[5]), bank));
        }
    }

    void applySobel(char letter, uint8_t bank) {
        if (applies(qprFile::kGroupSobel, letter)) {
            const uint8_t* in = slot(letter);
            step(p_.setSobel(normalisedFlag(in[0]), in[1], in[2], in[3], bank));
        }
    }

    // The sizes take 33 bytes, the last of them the position's first.
    void applyWindows() {
        if (applies(qprFile::kGroupQ, 'Q')) {
            step(p_.setBytes(DspFunction::WindowSizes, slot('Q')));
            step(p_.setBytes(DspFunction::WindowPosition, slot('Q') + 32));
        }
    }

    void applyScale() {
        if (applies(qprFile::kGroupScale, 'N')) {
            const uint8_t* in = slot('N');
            const auto values = readBeWords<4>(in + 1);
            step(p_.setScaleZ(in[0], values[0], values[1], values[2], values[3], in[9]));
        }
    }

    // The first step value becomes the middle of p[0] and q[0]; the last step is 0. The mode
    // follows the weights after the camera's pause, its value shifted back by 4 bits.
    void applyOvExp() {
        if (!applies(qprFile::kGroupOvExp, 'O') || !applies(qprFile::kGroupOvExp, 'o')) {
            return;
        }
        const uint8_t* in = slot('O');
        const uint8_t* more = slot('o');
        const int p0 = in[5];
        const int q0 = in[6];
        const auto first = static_cast<uint8_t>(p0 + (q0 - p0) / 2);
        const uint8_t p[kSteps] = {in[5], more[0], more[1]};
        const uint8_t q[kSteps] = {in[6], more[2], more[3]};
        const uint8_t r[kSteps] = {in[7], more[4], more[5]};
        step(p_.setOvExpTargetSteps(first, p, q, r, 0));
        const auto weights = readBeWords<4>(in + 10);
        step(p_.setOvExpWeight(weights[0], weights[1], weights[2], weights[3], in + 18));
        pause_(qprSettings::kOvExpPause);
        step(p_.setOvExp(in[0], static_cast<uint16_t>(readLe16(in + 1) >> 4), in[3]));
    }

    // The flip byte keeps only the software bits: those set with the head's keys are the
    // head's.
    void applyOffsetAndFlip() {
        if (applies(qprFile::kGroupOffset, 'U')) {
            step(p_.setOffset(static_cast<int16_t>(readBe16(slot('U')))));
        }
        if (applies(qprFile::kGroupOffset, 'h')) {
            step(dsp_.setHvFlipByte(slot('h')[0] & kFlipSoftwareBits));
        }
    }

    dspParameterAccess& p_;
    cameraDsp& dsp_;
    const image& slots_;
    const uint32_t mask_;
    const qprSettings::pauseFunction& pause_;
    int failures_ = 0;
};

}  // namespace

qprSettings::qprSettings(cameraDsp& dsp, logger& log, const char* exportName, pauseFunction pause)
    : dsp_(dsp), log_(log), exportName_(exportName), pause_(std::move(pause)) {}

void qprSettings::sleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

bool qprSettings::capture(image& slots) {
    const auto unit = dsp_.holdBlocks();
    dspParameterAccess parameters(dsp_, log_, exportName_);
    capturer(parameters, slots).run();
    return parameters.readsWithoutData() == 0;
}

int qprSettings::apply(const image& slots, uint32_t mask) {
    dspParameterAccess parameters(dsp_, log_, exportName_);
    return applier(parameters, dsp_, slots, mask, pause_).run();
}

}  // namespace dravix
