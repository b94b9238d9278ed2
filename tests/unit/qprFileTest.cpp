// The QPR settings file without a camera: the parser and writer on hand-made and written files,
// and capture and apply against a recording stand-in of the DSP functions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dsp/cameraDsp.h"
#include "dsp/qprFile.h"
#include "dsp/qprSettings.h"
#include "emu/recordingDsp.h"
#include "log/logLineFormatter.h"
#include "log/logger.h"

namespace {

using dravix::dspCode;
using dravix::DspFunction;
using dravix::emu::recordingDsp;
using ::testing::ElementsAreArray;
using ::testing::IsSupersetOf;
namespace qpr = dravix::qprFile;
using bytes = std::vector<uint8_t>;

constexpr uint8_t kAnyHeadType = 0x80;

bytes identification() {
    return bytes(qpr::kIdentification, qpr::kIdentification + qpr::kIdentificationSize);
}

// One record with its declared length (the payload's own unless given).
bytes record(uint8_t type, const bytes& payload, int64_t length = -1) {
    const auto declared = static_cast<uint32_t>(length < 0 ? payload.size() : length);
    bytes out{type};
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(declared >> shift));
    }
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

bytes join(std::initializer_list<bytes> parts) {
    bytes all;
    for (const bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The identification, the records and the end marker.
bytes file(std::initializer_list<bytes> records) {
    bytes all = identification();
    for (const bytes& part : records) {
        all.insert(all.end(), part.begin(), part.end());
    }
    all.push_back('X');
    return all;
}

bytes counting(int count, int first = 1) {
    bytes out;
    for (int i = 0; i < count; ++i) {
        out.push_back(static_cast<uint8_t>(first + i));
    }
    return out;
}

std::vector<std::string> linesOf(const qpr::parseResult& parsed) {
    std::vector<std::string> lines;
    for (const qpr::message& message : parsed.messages) {
        lines.push_back(std::string(dravix::logLineFormatter::levelName(message.level)) + " " +
                        message.text);
    }
    return lines;
}

std::string presentLetters(const qpr::image& slots) {
    std::string letters;
    for (const qpr::datasetType& type : qpr::kDatasetTypes) {
        if (slots.has(type.letter)) {
            letters += type.letter;
        }
    }
    return letters;
}

qpr::image randomImage(uint32_t seed) {
    std::mt19937 random(seed);
    qpr::image slots;
    for (const qpr::datasetType& type : qpr::kDatasetTypes) {
        for (int i = 0; i < type.size; ++i) {
            slots.slot(type.letter)[i] = static_cast<uint8_t>(random());
        }
        slots.setPresent(type.letter, type.size != 0);
    }
    return slots;
}

// ---- The file format ------------------------------------------------------------------------

// What the library writes reads back whole, for every head type: the datasets, sizes and slots.
TEST(qprFileTest, writtenFilesReadBackWholeForEveryHeadType) {
    const std::map<int, std::pair<std::string, std::size_t>> expected = {
        {0, {"VZHFPp", 186}},
        {1, {"VZHKWBMGgYEeSsRNUuhbATQPp", 553}},
        {2, {"VZHKWBMGgYEeSsRNUuhbATQPp", 553}},
        {3, {"VZHKWBMGgYEeSsRNUuhbPp", 486}},
        {4, {"VZHKWBMGgYEeSsRNUuhbOIoPp", 544}},
        {5, {"VZHKWBMGgYEeSsRNUuhbOIoPp", 544}},
        {6, {"VZHPp", 173}},
    };
    for (const auto& [headType, sequence] : expected) {
        const qpr::image slots = randomImage(static_cast<uint32_t>(headType) + 7);
        const auto h = static_cast<uint8_t>(headType);
        EXPECT_EQ(qpr::datasetsOf(h), sequence.first);
        const bytes written = qpr::serialize(slots, h);
        EXPECT_EQ(written.size(), sequence.second) << headType;
        const qpr::parseResult parsed = qpr::parse(written.data(), written.size(), h);
        EXPECT_EQ(parsed.result, 0) << headType;
        EXPECT_EQ(parsed.mask, qpr::maskOf(h)) << headType;
        EXPECT_EQ(parsed.contents, h | qpr::kContentsMatched) << headType;
        EXPECT_EQ(parsed.count, static_cast<int>(sequence.first.size())) << headType;
        for (const std::string& line : linesOf(parsed)) {
            EXPECT_EQ(line.rfind("VERBOSE ", 0), 0u) << headType << ": " << line;
        }
        for (char letter : sequence.first) {
            if (letter == 'H' || letter == 'V' || letter == 'Z') {
                continue;
            }
            const uint8_t size = qpr::findType(letter)->size;
            EXPECT_THAT(bytes(parsed.slots.slot(letter), parsed.slots.slot(letter) + size),
                        ElementsAreArray(slots.slot(letter), size))
                << headType << " " << letter;
        }
    }
}

struct parseCase {
    std::string name;
    bytes file;
    uint8_t headType;
    int result;
    bool matched;
    uint32_t mask;
    std::string present;             // letters read whole
    std::vector<std::string> lines;  // among the messages, in any order
};

// Identification, head types, verdicts, unknown types, truncation and length arithmetic.
TEST(qprFileTest, parsesEveryKindOfDatasetAndDamage) {
    const bytes h1 = record('H', {1});
    const bytes t = record('T', {0, 5});
    const uint32_t kT = qpr::kGroupT;
    const uint32_t kH = qpr::kGroupH;
    const std::string wrongId = "ERROR Wrong camera type";
    const std::string aborted = "ERROR aborted, data structure error in qpr File";
    bytes cutDpcTable = record('P', bytes(64));
    cutDpcTable.resize(30);
    const std::vector<parseCase> cases = {
        {"empty", {}, 1, -1, false, 0, "", {wrongId}},
        {"13 bytes", counting(13), 1, -1, false, 0, "", {wrongId}},
        {"wrong digits",
         join({bytes{'D', 'r', 'a', 'v', 'i', 'x', ' ', ' ', ' ', '0', '1', '0', '1', 0}, {'X'}}),
         1,
         -1,
         false,
         0,
         "",
         {wrongId, "VERBOSE qpr-File type  Dravix   0101"}},
        {"identification and end",
         file({}),
         1,
         0,
         false,
         0,
         "",
         {"VERBOSE number of qpr-datasets read: 0"}},
        {"head 3 asked 3", file({record('H', {3})}), 3, 0, true, kH, "H", {"VERBOSE Head Type: 3"}},
        {"head 3 asked 4", file({record('H', {3})}), 4, 0, false, kH, "H", {}},
        {"head 3 forced", file({record('H', {3})}), 0x83, 0, true, kH, "H", {}},
        {"head of length 0 is 0",
         file({record('H', {})}),
         0,
         0,
         true,
         kH,
         "H",
         {"ERROR Type: 0 Error: 3", "WARN qpr entry short 'H'", "ERROR File Type: 0 Error: 3"}},
        {"head 7",
         file({record('H', {7}), t}),
         7,
         -1,
         false,
         kH,
         "",
         {"ERROR Type: 7 Error: 1", "ERROR invalid file"}},
        {"long head", file({record('H', {1, 1}), t}), 1, -1, false, kH, "", {"ERROR invalid file"}},
        {"second head matches", file({h1, record('H', {2})}), 2, 0, true, kH, "H", {}},
        {"60-byte key setting",
         file({h1, record('K', counting(60)), t}),
         1,
         0,
         true,
         kH | qpr::kGroupK | kT,
         "HKT",
         {"WARN invalid entry type K", "ERROR File Type: 1 Error: 2"}},
        {"zero-length target",
         file({h1, record('T', {})}),
         1,
         0,
         true,
         kH | kT,
         "HT",
         {"WARN qpr entry short 'T'", "ERROR File Type: 1 Error: 3"}},
        {"9-byte scale",
         file({h1, record('N', counting(9))}),
         1,
         0,
         true,
         kH | qpr::kGroupScale,
         "HN",
         {"WARN qpr entry short 'N'", "WARN default value used! 'N'"}},
        {"10-byte colour",
         file({h1, record('Y', counting(10))}),
         1,
         0,
         true,
         kH | qpr::kGroupY,
         "HY",
         {"WARN qpr entry short 'Y'", "ERROR File Type: 1 Error: 3"}},
        {"unknown type skipped",
         file({h1, record('L', {1, 2, 3}), t}),
         1,
         0,
         true,
         kH | kT | qpr::kGroupUnknown,
         "HT",
         {"WARN unknow data type"}},
        {"unknown type past the end",
         join({identification(), h1, t, record('L', {1}, 100)}),
         1,
         -1,
         true,
         kH | kT | qpr::kGroupUnknown,
         "HT",
         {"ERROR invalid file"}},
        {"odd type bytes",
         file({h1, record(0, {}), record(0xFF, {1}), record('\n', {2})}),
         1,
         0,
         true,
         kH | qpr::kGroupUnknown,
         "H",
         {}},
        {"skipped types",
         file({h1, record('C', {1}), record('D', {}), record('J', counting(9))}),
         1,
         0,
         true,
         kH | qpr::kGroupC | qpr::kGroupD | qpr::kGroupJ,
         "HCDJ",
         {}},
        {"no end marker",
         join({identification(), h1, t}),
         1,
         -1,
         true,
         kH | kT,
         "HT",
         {"ERROR qpr end marker missing"}},
        {"bytes after the end", join({file({h1, t}), {1, 2, 3}}), 1, 0, true, kH | kT, "HT", {}},
        {"cut in the length",
         join({identification(), h1, {'T', 2, 0}}),
         1,
         -1,
         true,
         kH,
         "H",
         {aborted}},
        {"cut after the type",
         join({identification(), h1, {'T'}}),
         1,
         -1,
         true,
         kH,
         "H",
         {aborted}},
        {"cut in the payload",
         join({identification(), h1, t, cutDpcTable}),
         1,
         -1,
         true,
         kH | kT | qpr::kGroupDpc,
         "HT",
         {aborted}},
        {"length 0xFFFFFFFF",
         file({h1, record('W', {}, 0xFFFFFFFF)}),
         1,
         -1,
         true,
         kH | qpr::kGroupW,
         "H",
         {aborted}},
        {"length 0xFFFFFFFB",
         file({h1, record('W', {}, 0xFFFFFFFB)}),
         1,
         -1,
         true,
         kH | qpr::kGroupW,
         "H",
         {aborted}},
        {"length 0x80000000",
         file({h1, record('W', {}, 0x80000000)}),
         1,
         -1,
         true,
         kH | qpr::kGroupW,
         "H",
         {aborted}},
    };
    for (const parseCase& c : cases) {
        SCOPED_TRACE(c.name);
        const qpr::parseResult parsed = qpr::parse(c.file.data(), c.file.size(), c.headType);
        EXPECT_EQ(parsed.result, c.result);
        EXPECT_EQ((parsed.contents & qpr::kContentsMatched) != 0, c.matched);
        EXPECT_EQ(parsed.mask, c.mask);
        EXPECT_EQ(presentLetters(parsed.slots), c.present);
        EXPECT_THAT(linesOf(parsed), IsSupersetOf(c.lines));
    }
}

// Long datasets keep their slot's bytes, short ones are padded (with the two defaults).
TEST(qprFileTest, longAndShortDatasetsKeepTheirSlotSize) {
    const bytes parsedFile =
        file({record('H', {1}), record('K', counting(60)), record('N', counting(9)),
              record('Y', counting(10)), record('T', {})});
    const qpr::parseResult parsed = qpr::parse(parsedFile.data(), parsedFile.size(), 1);
    EXPECT_THAT(bytes(parsed.slots.slot('K'), parsed.slots.slot('K') + 50),
                ElementsAreArray(counting(50)));
    EXPECT_THAT(bytes(parsed.slots.slot('N'), parsed.slots.slot('N') + 10),
                ElementsAreArray(join({counting(9), {1}})));
    EXPECT_THAT(bytes(parsed.slots.slot('Y'), parsed.slots.slot('Y') + 14),
                ElementsAreArray(join({counting(10), {0, 1, 0, 1}})));
    EXPECT_EQ(parsed.slots.slot('T')[0], 0);
    EXPECT_EQ(parsed.slots.slot('T')[1], 0);
}

// ---- Capture and apply ----------------------------------------------------------------------

class qprSettingsTest : public ::testing::Test {
  protected:
    // Applies `parsedFile` read with `headType`; the writes and pauses in order.
    std::vector<recordingDsp::access> apply(const bytes& parsedFile, uint8_t headType) {
        const qpr::parseResult parsed = qpr::parse(parsedFile.data(), parsedFile.size(), headType);
        dsp_.clearAccesses();
        failures_ = settings().apply(parsed.slots, qpr::applyFilter(parsed.mask, headType));
        return dsp_.writes();
    }
    std::vector<int> codesOf(const std::vector<recordingDsp::access>& writes) {
        std::vector<int> codes;
        for (const recordingDsp::access& write : writes) {
            codes.push_back(write.what == recordingDsp::kind::pause ? -1 : write.code);
        }
        return codes;
    }
    dravix::qprSettings settings() {
        return dravix::qprSettings(dsp_, log_, "test", [this](std::chrono::milliseconds pause) {
            EXPECT_EQ(pause, std::chrono::milliseconds(60));
            dsp_.notePause();
        });
    }

    dravix::logger log_;
    recordingDsp dsp_{log_};
    int failures_ = 0;
};

int code(DspFunction function) {
    return dspCode(function);
}

// The whole order of an apply; -1 is the pause.
const std::vector<int>& fullOrder() {
    static const std::vector<int> order = {
        code(DspFunction::KeySetting),
        code(DspFunction::Gain),
        code(DspFunction::WbWindow),
        code(DspFunction::MaskParams),
        code(DspFunction::MaskEnable),
        code(DspFunction::Gamma1),
        code(DspFunction::Gamma0),
        code(DspFunction::DpcTable),
        code(DspFunction::DpcConfig),
        code(DspFunction::CrCbGain),
        code(DspFunction::Hue),
        code(DspFunction::Saturation),
        code(DspFunction::ColorMatrix),
        code(DspFunction::EdgeEnhancement1),
        code(DspFunction::EdgeEnhancement0),
        code(DspFunction::BayerMode),
        code(DspFunction::Sobel1),
        code(DspFunction::Sobel0),
        code(DspFunction::AEValues),
        code(DspFunction::Target),
        code(DspFunction::WindowSizes),
        code(DspFunction::WindowPosition),
        code(DspFunction::Scale),
        code(DspFunction::OvExpTargetSteps),
        code(DspFunction::OvExpWeight),
        -1,
        code(DspFunction::OvExp),
        code(DspFunction::Offset),
        code(DspFunction::HvFlip),
        code(DspFunction::Binning),
        code(DspFunction::ucConfig),
    };
    return order;
}

std::vector<int> without(std::initializer_list<DspFunction> dropped, bool dropPause) {
    std::vector<int> order;
    for (int c : fullOrder()) {
        bool keep = !(c == -1 && dropPause);
        for (DspFunction function : dropped) {
            keep = keep && c != code(function);
        }
        if (keep) {
            order.push_back(c);
        }
    }
    return order;
}

// A file with every dataset, read with every head type: what each one applies, in order.
TEST_F(qprSettingsTest, eachHeadTypeAppliesItsDatasetsInTheCamerasOrder) {
    qpr::image slots = randomImage(3);
    bytes everything = identification();
    for (const qpr::datasetType& type : qpr::kDatasetTypes) {
        if (type.letter != 'H') {
            everything =
                join({everything,
                      record(static_cast<uint8_t>(type.letter),
                             bytes(slots.slot(type.letter), slots.slot(type.letter) + type.size))});
        }
    }
    const std::vector<int> all = fullOrder();
    const std::vector<int> noOvExp = without(
        {DspFunction::OvExpTargetSteps, DspFunction::OvExpWeight, DspFunction::OvExp}, true);
    const std::vector<int> noAe = without({DspFunction::AEValues, DspFunction::Target,
                                           DspFunction::WindowSizes, DspFunction::WindowPosition},
                                          false);
    const std::vector<std::pair<uint8_t, std::vector<int>>> cases = {
        {0, {}},  {1, noOvExp}, {2, noOvExp}, {3, noAe},
        {4, all}, {5, all},     {6, all},     {kAnyHeadType, all},
    };
    for (const auto& [headType, order] : cases) {
        // The 'H' dataset does not change what is applied.
        const uint8_t own = headType > qpr::kLastHeadType ? 1 : headType;
        for (uint8_t named : {own, uint8_t{6}}) {
            const bytes withHead = join({identification(),
                                         record('H', {named}),
                                         bytes(everything.begin() + 14, everything.end()),
                                         {'X'}});
            EXPECT_EQ(codesOf(apply(withHead, headType)), order)
                << int(headType) << " in a file for " << int(named);
            EXPECT_EQ(failures_, 0);
        }
    }
}

// A dataset is applied only when its own letter is in the file; the exposure pair needs both.
TEST_F(qprSettingsTest, aGroupsMemberAloneAppliesOnlyItself) {
    const std::vector<std::pair<bytes, std::vector<int>>> cases = {
        {record('p', {1, 2, 3, 0}), {code(DspFunction::DpcConfig)}},
        {record('P', bytes(64)), {code(DspFunction::DpcTable)}},
        {record('G', bytes(37)), {code(DspFunction::Gamma0)}},
        {record('g', bytes(37)), {code(DspFunction::Gamma1)}},
        {record('E', bytes(8)),
         {code(DspFunction::EdgeEnhancement0), code(DspFunction::BayerMode)}},
        {record('e', bytes(8)), {code(DspFunction::EdgeEnhancement1)}},
        {record('s', bytes(4)), {code(DspFunction::Sobel1)}},
        {record('O', bytes(36)), {}},
        {record('o', bytes(6)), {}},
        {record('N', bytes(10)), {code(DspFunction::Scale)}},
        {record('b', {4}), {code(DspFunction::Binning)}},
        {record('U', {0, 1}), {code(DspFunction::Offset)}},
        {record('h', {1}), {code(DspFunction::HvFlip)}},
        {record('u', bytes(4)), {code(DspFunction::ucConfig)}},
        {record('I', {1}), {}},
    };
    for (const auto& [dataset, order] : cases) {
        EXPECT_EQ(codesOf(apply(file({record('H', {4}), dataset}), 4)), order)
            << static_cast<char>(dataset[0]);
    }
}

// The bytes that reach the camera for each dataset.
TEST_F(qprSettingsTest, datasetsAreConvertedOnTheirWayToTheCamera) {
    struct conversion {
        bytes dataset;
        std::vector<std::pair<int, bytes>> writes;
    };
    const bytes curve = counting(36, 10);
    const std::vector<conversion> cases = {
        {record('B', {0x01, 0x23, 0x04, 0x57, 0x07, 0x81, 0x04, 0x39, 0x05}),
         {{code(DspFunction::WbWindow), {0x01, 0x22, 0x04, 0x56, 0x07, 0x80, 0x04, 0x38, 1}}}},
        {record('M', {2, 0, 1, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5}),
         {{code(DspFunction::MaskParams), {0, 1, 0, 2, 0, 3, 0, 4, 0, 5}},
          {code(DspFunction::MaskEnable), {1, 0, 1}}}},
        {record('G', join({{7}, curve})), {{code(DspFunction::Gamma0), join({{1}, curve})}}},
        {record('Y', {0xFF, 0xFF, 0, 1, 0, 2, 0, 3, 0xFF, 0xFF, 0xAB, 0xCD, 0x12, 0x34}),
         {{code(DspFunction::CrCbGain), {0x1F, 0xFF, 0, 1, 0x1F, 0xFF, 0xAB, 0xCD, 0x12, 0x34}},
          {code(DspFunction::Hue), {0, 2}},
          {code(DspFunction::Saturation), {0, 3}}}},
        {record('R', bytes(18, 0xFF)),
         {{code(DspFunction::ColorMatrix), join({bytes{0x1F, 0xFF},
                                                 {0x1F, 0xFF},
                                                 {0x1F, 0xFF},
                                                 {0x1F, 0xFF},
                                                 {0x1F, 0xFF},
                                                 {0x1F, 0xFF},
                                                 {0x1F, 0xFF},
                                                 {0x1F, 0xFF},
                                                 {0x1F, 0xFF}})}}},
        {record('E', {9, 2, 3, 0, 4, 0, 5, 0}),
         {{code(DspFunction::EdgeEnhancement0), {1, 2, 3, 0, 4, 0, 5}},
          {code(DspFunction::BayerMode), {1}}}},
        {record('E', {0, 2, 3, 0, 4, 0, 5, 7}),
         {{code(DspFunction::EdgeEnhancement0), {0, 2, 3, 0, 4, 0, 5}},
          {code(DspFunction::BayerMode), {0}}}},
        {record('S', {3, 1, 2, 3}), {{code(DspFunction::Sobel0), {1, 1, 2, 3}}}},
        {record('Q', counting(35)),
         {{code(DspFunction::WindowSizes), counting(33)},
          {code(DspFunction::WindowPosition), counting(3, 33)}}},
        {record('N', {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 7}),
         {{code(DspFunction::Scale), {0x7F, 0x0F, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 7}}}},
        {record('U', {0xFF, 0xFB}), {{code(DspFunction::Offset), {0x08, 0x05}}}},
        {record('U', {0x01, 0x2C}), {{code(DspFunction::Offset), {0x01, 0x2C}}}},
        {record('h', {0xFF}), {{code(DspFunction::HvFlip), {0x03}}}},
        {record('b', {0xFF}), {{code(DspFunction::Binning), {0xFF}}}},
        {record('u', {1, 2, 3, 4}), {{code(DspFunction::ucConfig), {1, 2, 3, 4, 1}}}},
        {record('p', {3, 0xF5, 0x67, 9}), {{code(DspFunction::DpcConfig), {1, 0x05, 0x67}}}},
        {record('P', join({{0x34, 0x12, 0x78, 0x06}, bytes(60)})),
         {{code(DspFunction::DpcTable), join({{0x02, 0x34, 0x06, 0x78}, bytes(60)})}}},
        {record('T', {0x12, 0x34}), {{code(DspFunction::Target), {0x12, 0x34}}}},
    };
    for (const conversion& c : cases) {
        const std::vector<recordingDsp::access> writes = apply(file({c.dataset}), kAnyHeadType);
        std::vector<std::pair<int, bytes>> seen;
        for (const recordingDsp::access& write : writes) {
            seen.emplace_back(write.code, write.bytes);
        }
        EXPECT_EQ(seen, c.writes) << static_cast<char>(c.dataset[0]);
    }
}

// The first step value is the middle of p[0] and q[0] in both directions; the steps interleave;
// the exposure mode follows the pause with 12 bits of its value.
TEST_F(qprSettingsTest, exposureStepsStartInTheMiddleAndTheModeFollowsThePause) {
    const std::vector<std::array<int, 3>> cases = {
        {10, 20, 15}, {20, 10, 15}, {0, 255, 127}, {255, 0, 128}, {7, 7, 7},
    };
    for (const auto& [p0, q0, first] : cases) {
        bytes o(36);
        o[0] = 0xFD;  // mode 5 in the low 3 bits
        o[1] = 0x5A;  // 0xBC5A, little-endian: the value 0xBC5 shifted left by 4, and 4 more bits
        o[2] = 0xBC;
        o[3] = 9;
        o[4] = 99;  // replaced by the middle
        o[5] = static_cast<uint8_t>(p0);
        o[6] = static_cast<uint8_t>(q0);
        o[7] = 3;
        for (int i = 10; i < 34; ++i) {
            o[i] = static_cast<uint8_t>(i);
        }
        const auto writes =
            apply(file({record('O', o), record('o', {21, 22, 23, 24, 25, 26})}), kAnyHeadType);
        ASSERT_EQ(codesOf(writes),
                  (std::vector<int>{code(DspFunction::OvExpTargetSteps),
                                    code(DspFunction::OvExpWeight), -1, code(DspFunction::OvExp)}));
        EXPECT_EQ(writes[0].bytes, (bytes{static_cast<uint8_t>(first), static_cast<uint8_t>(p0),
                                          static_cast<uint8_t>(q0), 3, 21, 23, 25, 22, 24, 26, 0}));
        EXPECT_EQ(writes[1].bytes, counting(24, 10));
        EXPECT_EQ(writes[3].bytes, (bytes{5, 0x0B, 0xC5, 9}));
    }
}

// Every failed write is counted and the next step still runs.
TEST_F(qprSettingsTest, failedWritesAreCountedAndTheRestStillRuns) {
    dsp_.setFailing(code(DspFunction::Gain));
    dsp_.setFailing(code(DspFunction::Hue));
    const auto writes = apply(
        file({record('W', bytes(8)), record('Y', bytes(14)), record('T', {0, 1})}), kAnyHeadType);
    EXPECT_EQ(failures_, 2);
    EXPECT_EQ(codesOf(writes),
              (std::vector<int>{code(DspFunction::Gain), code(DspFunction::CrCbGain),
                                code(DspFunction::Hue), code(DspFunction::Saturation),
                                code(DspFunction::Target)}));
}

// Capture reads the camera in its order and stores the getters' values; a failed read fails it.
TEST_F(qprSettingsTest, captureReadsTheCameraInOrderAndFailsOnAFailedRead) {
    dsp_.setBlock(code(DspFunction::Target), {0x12, 0x34});
    dsp_.setBlock(code(DspFunction::HvFlip), {0x0F});
    dsp_.setBlock(code(DspFunction::Offset), {0x08, 0x05});
    dsp_.setBlock(code(DspFunction::OvExp), {0xFF, 0x0A, 0xBC, 7});
    dsp_.setBlock(code(DspFunction::BayerMode), {1});
    dsp_.setBlock(code(DspFunction::DpcConfig), {3, 0xF1, 0x23});
    dsp_.setBlock(code(DspFunction::DpcTable), join({{0x12, 0x34, 0xF6, 0x78}, bytes(60)}));
    qpr::image slots;
    ASSERT_TRUE(settings().capture(slots));
    EXPECT_EQ(bytes(slots.slot('T'), slots.slot('T') + 2), (bytes{0x12, 0x34}));
    EXPECT_EQ(slots.slot('h')[0], 0x03);
    EXPECT_EQ(bytes(slots.slot('U'), slots.slot('U') + 2), (bytes{0xFF, 0xFB}));
    EXPECT_EQ(bytes(slots.slot('O'), slots.slot('O') + 4), (bytes{7, 0xC0, 0xAB, 7}));
    EXPECT_EQ(slots.slot('E')[7], 0);
    EXPECT_EQ(slots.slot('e')[7], 0);
    EXPECT_EQ(bytes(slots.slot('p'), slots.slot('p') + 4), (bytes{1, 0x01, 0x23, 0}));
    EXPECT_EQ(bytes(slots.slot('P'), slots.slot('P') + 4), (bytes{0x34, 0x02, 0x78, 0x06}));
    const std::vector<int> order = {
        code(DspFunction::KeySetting),
        code(DspFunction::EdgeEnhancement0),
        code(DspFunction::BayerMode),
        code(DspFunction::EdgeEnhancement1),
        code(DspFunction::Sobel0),
        code(DspFunction::Sobel1),
        code(DspFunction::CrCbGain),
        code(DspFunction::Hue),
        code(DspFunction::Saturation),
        code(DspFunction::Gain),
        code(DspFunction::MaskEnable),
        code(DspFunction::MaskParams),
        code(DspFunction::Gamma0),
        code(DspFunction::Gamma1),
        code(DspFunction::DpcConfig),
        code(DspFunction::DpcConfig),
        code(DspFunction::DpcTable),
        code(DspFunction::WbWindow),
        code(DspFunction::WindowSizes),
        code(DspFunction::WindowPosition),
        code(DspFunction::ColorMatrix),
        code(DspFunction::CamType),
        code(DspFunction::Target),
        code(DspFunction::AEValues),
        code(DspFunction::Scale),
        code(DspFunction::OvExp),
        code(DspFunction::OvExpTargetSteps),
        code(DspFunction::OvExpWeight),
        code(DspFunction::Offset),
        code(DspFunction::ucConfig),
        code(DspFunction::Binning),
        code(DspFunction::HvFlip),
    };
    EXPECT_EQ(codesOf(dsp_.accesses()), order);

    for (int failing : order) {
        recordingDsp failingDsp(log_);
        failingDsp.setFailing(static_cast<uint8_t>(failing));
        qpr::image ignored;
        EXPECT_FALSE(dravix::qprSettings(failingDsp, log_, "test", {}).capture(ignored)) << failing;
    }
}

}  // namespace
