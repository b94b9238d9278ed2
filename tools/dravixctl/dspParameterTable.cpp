#include "dspParameterTable.h"

#include <array>

#include "commandLine.h"
#include "dravix/dravix.h"

namespace dravixctl {
namespace {

constexpr valueRange u8(std::size_t count) {
    return {count, 0, 255};
}
constexpr valueRange u16(std::size_t count) {
    return {count, 0, 65535};
}
constexpr valueRange flag(std::size_t count) {
    return {count, 0, 1};
}

// Parameters that are one array of `N` elements of type T, without a bank.
template <typename T, std::size_t N, int32_t (*Get)(int32_t, T*)>
int32_t getArray(int32_t index, uint8_t, int64_t* values) {
    std::array<T, N + 1> buffer{};  // one spare element for setters that read one more
    const int32_t result = Get(index, buffer.data());
    for (std::size_t i = 0; i < N; ++i) {
        values[i] = buffer[i];
    }
    return result;
}

template <typename T, std::size_t N, int32_t (*Set)(int32_t, const T*)>
int32_t setArray(int32_t index, uint8_t, const int64_t* values) {
    std::array<T, N> buffer{};
    for (std::size_t i = 0; i < N; ++i) {
        buffer[i] = static_cast<T>(values[i]);
    }
    return Set(index, buffer.data());
}

template <typename T>
T as(int64_t value) {
    return static_cast<T>(value);
}

int32_t getEdgeEnhancement(int32_t index, uint8_t bank, int64_t* v) {
    uint8_t enable = 0, a = 0, b = 0;
    uint16_t c = 0, d = 0;
    const int32_t result = ZEL_CAM_getEdgeEnhancement(index, &enable, &a, &b, &c, &d, bank);
    v[0] = enable, v[1] = a, v[2] = b, v[3] = c, v[4] = d;
    return result;
}
int32_t setEdgeEnhancement(int32_t index, uint8_t bank, const int64_t* v) {
    return ZEL_CAM_setEdgeEnhancement(index, as<uint8_t>(v[0]), as<uint8_t>(v[1]),
                                      as<uint8_t>(v[2]), as<uint16_t>(v[3]), as<uint16_t>(v[4]),
                                      bank);
}

// Five 16-bit values through five pointers.
template <int32_t (*Get)(int32_t, uint16_t*, uint16_t*, uint16_t*, uint16_t*, uint16_t*)>
int32_t getFive(int32_t index, uint8_t, int64_t* v) {
    uint16_t x[5] = {};
    const int32_t result = Get(index, &x[0], &x[1], &x[2], &x[3], &x[4]);
    for (int i = 0; i < 5; ++i) {
        v[i] = x[i];
    }
    return result;
}
template <int32_t (*Set)(int32_t, uint16_t, uint16_t, uint16_t, uint16_t, uint16_t)>
int32_t setFive(int32_t index, uint8_t, const int64_t* v) {
    return Set(index, as<uint16_t>(v[0]), as<uint16_t>(v[1]), as<uint16_t>(v[2]),
               as<uint16_t>(v[3]), as<uint16_t>(v[4]));
}

// One value through one pointer, and its setter by value.
template <typename T, int32_t (*Get)(int32_t, T*)>
int32_t getOne(int32_t index, uint8_t, int64_t* v) {
    T x{};
    const int32_t result = Get(index, &x);
    v[0] = x;
    return result;
}
template <typename T, int32_t (*Set)(int32_t, T)>
int32_t setOne(int32_t index, uint8_t, const int64_t* v) {
    return Set(index, as<T>(v[0]));
}

int32_t getMaskEnable(int32_t index, uint8_t, int64_t* v) {
    uint8_t m[3] = {};
    const int32_t result = ZEL_CAM_getMaskEnable(index, &m[0], &m[1], &m[2]);
    v[0] = m[0], v[1] = m[1], v[2] = m[2];
    return result;
}
int32_t setMaskEnable(int32_t index, uint8_t, const int64_t* v) {
    return ZEL_CAM_setMaskEnable(index, as<uint8_t>(v[0]), as<uint8_t>(v[1]), as<uint8_t>(v[2]));
}

constexpr std::size_t kGammaCurve = 36;
int32_t getGamma(int32_t index, uint8_t bank, int64_t* v) {
    uint8_t enable = 0;
    uint8_t curve[kGammaCurve] = {};
    const int32_t result = ZEL_CAM_getGamma(index, &enable, curve, bank);
    v[0] = enable;
    for (std::size_t i = 0; i < kGammaCurve; ++i) {
        v[1 + i] = curve[i];
    }
    return result;
}
int32_t setGamma(int32_t index, uint8_t bank, const int64_t* v) {
    uint8_t curve[kGammaCurve] = {};
    for (std::size_t i = 0; i < kGammaCurve; ++i) {
        curve[i] = as<uint8_t>(v[1 + i]);
    }
    return ZEL_CAM_setGamma(index, as<uint8_t>(v[0]), curve, bank);
}

int32_t getSobel(int32_t index, uint8_t bank, int64_t* v) {
    uint8_t x[4] = {};
    const int32_t result = ZEL_CAM_getSobel(index, &x[0], &x[1], &x[2], &x[3], bank);
    v[0] = x[0], v[1] = x[1], v[2] = x[2], v[3] = x[3];
    return result;
}
int32_t setSobel(int32_t index, uint8_t bank, const int64_t* v) {
    return ZEL_CAM_setSobel(index, as<uint8_t>(v[0]), as<uint8_t>(v[1]), as<uint8_t>(v[2]),
                            as<uint8_t>(v[3]), bank);
}

int32_t getWbWindow(int32_t index, uint8_t, int64_t* v) {
    uint16_t x[4] = {};
    uint8_t enable = 0;
    const int32_t result = ZEL_CAM_getWbWindow(index, &x[0], &x[1], &x[2], &x[3], &enable);
    v[0] = x[0], v[1] = x[1], v[2] = x[2], v[3] = x[3], v[4] = enable;
    return result;
}
int32_t setWbWindow(int32_t index, uint8_t, const int64_t* v) {
    return ZEL_CAM_setWbWindow(index, as<uint16_t>(v[0]), as<uint16_t>(v[1]), as<uint16_t>(v[2]),
                               as<uint16_t>(v[3]), as<uint8_t>(v[4]));
}

int32_t getScaleZ(int32_t index, uint8_t, int64_t* v) {
    uint8_t mode = 0, z = 0;
    uint16_t x[4] = {};
    const int32_t result = ZEL_CAM_getScaleZ(index, &mode, &x[0], &x[1], &x[2], &x[3], &z);
    v[0] = mode, v[1] = x[0], v[2] = x[1], v[3] = x[2], v[4] = x[3], v[5] = z;
    return result;
}
int32_t setScaleZ(int32_t index, uint8_t, const int64_t* v) {
    return ZEL_CAM_setScaleZ(index, as<uint8_t>(v[0]), as<uint16_t>(v[1]), as<uint16_t>(v[2]),
                             as<uint16_t>(v[3]), as<uint16_t>(v[4]), as<uint8_t>(v[5]));
}

int32_t getHvFlip(int32_t index, uint8_t, int64_t* v) {
    uint8_t h = 0, w = 0;
    const int32_t result = ZEL_CAM_getHvFlip(index, &h, &w);
    v[0] = h, v[1] = w;
    return result;
}
int32_t setHvFlip(int32_t index, uint8_t, const int64_t* v) {
    return ZEL_CAM_setHvFlip(index, as<uint8_t>(v[0]), as<uint8_t>(v[1]));
}

int32_t getHvFlipStatic(int32_t index, uint8_t, int64_t* v) {
    uint8_t x[4] = {};
    const int32_t result = ZEL_CAM_getHvFlipStatic(index, &x[0], &x[1], &x[2], &x[3]);
    v[0] = x[0], v[1] = x[1], v[2] = x[2], v[3] = x[3];
    return result;
}

// The getter's spare byte is not part of the value the setter takes.
int32_t getDpcConfig(int32_t index, uint8_t, int64_t* v) {
    uint8_t enable = 0, spare = 0;
    uint16_t value = 0;
    const int32_t result = ZEL_CAM_getDpcConfig(index, &enable, &spare, &value);
    v[0] = enable, v[1] = value;
    return result;
}
int32_t setDpcConfig(int32_t index, uint8_t, const int64_t* v) {
    return ZEL_CAM_setDpcConfig(index, as<uint8_t>(v[0]), as<uint16_t>(v[1]));
}

constexpr std::size_t kDpcEntries = 16;
int32_t getDpcTable(int32_t index, uint8_t, int64_t* v) {
    DpcEntry table[kDpcEntries] = {};
    const int32_t result = ZEL_CAM_getDpcTable(index, table);
    for (std::size_t i = 0; i < kDpcEntries; ++i) {
        v[2 * i] = table[i].x, v[2 * i + 1] = table[i].y;
    }
    return result;
}
int32_t setDpcTable(int32_t index, uint8_t, const int64_t* v) {
    DpcEntry table[kDpcEntries] = {};
    for (std::size_t i = 0; i < kDpcEntries; ++i) {
        table[i] = {as<uint16_t>(v[2 * i]), as<uint16_t>(v[2 * i + 1])};
    }
    return ZEL_CAM_setDpcTable(index, table);
}

int32_t getOvExp(int32_t index, uint8_t, int64_t* v) {
    uint8_t mode = 0, c = 0;
    uint16_t value = 0;
    const int32_t result = ZEL_CAM_getOvExp(index, &mode, &value, &c);
    v[0] = mode, v[1] = value, v[2] = c;
    return result;
}
int32_t setOvExp(int32_t index, uint8_t, const int64_t* v) {
    return ZEL_CAM_setOvExp(index, as<uint8_t>(v[0]), as<uint16_t>(v[1]), as<uint8_t>(v[2]));
}

int32_t getOvExpTarget(int32_t index, uint8_t, int64_t* v) {
    uint8_t x[4] = {};
    const int32_t result = ZEL_CAM_getOvExpTarget(index, &x[0], &x[1], &x[2], &x[3]);
    v[0] = x[0], v[1] = x[1], v[2] = x[2], v[3] = x[3];
    return result;
}
int32_t setOvExpTarget(int32_t index, uint8_t, const int64_t* v) {
    return ZEL_CAM_setOvExpTarget(index, as<uint8_t>(v[0]), as<uint8_t>(v[1]), as<uint8_t>(v[2]),
                                  as<uint8_t>(v[3]));
}

constexpr std::size_t kWeights = 16;
int32_t getOvExpWeight(int32_t index, uint8_t, int64_t* v) {
    uint16_t x[4] = {};
    uint8_t weights[kWeights] = {};
    const int32_t result = ZEL_CAM_getOvExpWeight(index, &x[0], &x[1], &x[2], &x[3], weights);
    for (std::size_t i = 0; i < 4; ++i) {
        v[i] = x[i];
    }
    for (std::size_t i = 0; i < kWeights; ++i) {
        v[4 + i] = weights[i];
    }
    return result;
}
int32_t setOvExpWeight(int32_t index, uint8_t, const int64_t* v) {
    uint8_t weights[kWeights] = {};
    for (std::size_t i = 0; i < kWeights; ++i) {
        weights[i] = as<uint8_t>(v[4 + i]);
    }
    return ZEL_CAM_setOvExpWeight(index, as<uint16_t>(v[0]), as<uint16_t>(v[1]), as<uint16_t>(v[2]),
                                  as<uint16_t>(v[3]), weights);
}

int32_t getBinning(int32_t index, uint8_t, int64_t* v) {
    uint8_t a = 0, b = 0;
    const int32_t result = ZEL_CAM_getBinning(index, &a, &b);
    v[0] = a, v[1] = b;
    return result;
}
int32_t setBinning(int32_t index, uint8_t, const int64_t* v) {
    return ZEL_CAM_setBinning(index, as<uint8_t>(v[0]), as<uint8_t>(v[1]));
}

// first, p[3], q[3], r[3], last.
int32_t getOvExpTargetSteps(int32_t index, uint8_t, int64_t* v) {
    uint8_t first = 0, last = 0, p[3] = {}, q[3] = {}, r[3] = {};
    const int32_t result = ZEL_CAM_getOvExpTargetSteps(index, &first, p, q, r, &last);
    v[0] = first;
    for (std::size_t i = 0; i < 3; ++i) {
        v[1 + i] = p[i], v[4 + i] = q[i], v[7 + i] = r[i];
    }
    v[10] = last;
    return result;
}
int32_t setOvExpTargetSteps(int32_t index, uint8_t, const int64_t* v) {
    uint8_t p[3] = {}, q[3] = {}, r[3] = {};
    for (std::size_t i = 0; i < 3; ++i) {
        p[i] = as<uint8_t>(v[1 + i]), q[i] = as<uint8_t>(v[4 + i]), r[i] = as<uint8_t>(v[7 + i]);
    }
    return ZEL_CAM_setOvExpTargetSteps(index, as<uint8_t>(v[0]), p, q, r, as<uint8_t>(v[10]));
}

std::vector<dspParameter> makeTable() {
    return {
        {"ae-values",
         "ZEL_CAM_getAEValues/setAEValues",
         false,
         {u8(15)},
         15,
         getArray<uint8_t, 15, ZEL_CAM_getAEValues>,
         setArray<uint8_t, 15, ZEL_CAM_setAEValues>},
        {"bayer-mode",
         "ZEL_CAM_getBayerMode/setBayerMode",
         false,
         {u8(1)},
         1,
         getOne<uint8_t, ZEL_CAM_getBayerMode>,
         setOne<uint8_t, ZEL_CAM_setBayerMode>},
        {"binning",
         "ZEL_CAM_getBinning/setBinning",
         false,
         {flag(1), {1, 0, 127}},
         2,
         getBinning,
         setBinning},
        {"cam-type",
         "ZEL_CAM_getCamType/setCamType",
         false,
         {u8(1)},
         1,
         getArray<uint8_t, 1, ZEL_CAM_getCamType>,
         setArray<uint8_t, 1, ZEL_CAM_setCamType>},
        {"color-matrix",
         "ZEL_CAM_getColorMatrix/setColorMatrix",
         false,
         {u16(9)},
         9,
         getArray<uint16_t, 9, ZEL_CAM_getColorMatrix>,
         setArray<uint16_t, 9, ZEL_CAM_setColorMatrix>},
        {"crcb-gain",
         "ZEL_CAM_getCrCbGain/setCrCbGain",
         false,
         {u16(5)},
         5,
         getFive<ZEL_CAM_getCrCbGain>,
         setFive<ZEL_CAM_setCrCbGain>},
        {"dpc-config",
         "ZEL_CAM_getDpcConfig/setDpcConfig",
         false,
         {flag(1), u16(1)},
         2,
         getDpcConfig,
         setDpcConfig},
        {"dpc-table",
         "ZEL_CAM_getDpcTable/setDpcTable (16 x,y pairs)",
         false,
         {{2 * kDpcEntries, 0, 4095}},
         2 * kDpcEntries,
         getDpcTable,
         setDpcTable},
        {"edge-enhancement",
         "ZEL_CAM_getEdgeEnhancement/setEdgeEnhancement",
         true,
         {flag(1), {2, 0, 15}, {2, 0, 2047}},
         5,
         getEdgeEnhancement,
         setEdgeEnhancement},
        {"edge-mode",
         "ZEL_CAM_getEdgeMode/setEdgeMode",
         false,
         {u8(1)},
         1,
         getArray<uint8_t, 1, ZEL_CAM_getEdgeMode>,
         setArray<uint8_t, 1, ZEL_CAM_setEdgeMode>},
        {"gain",
         "ZEL_CAM_getGain/setGain",
         false,
         {u16(4)},
         4,
         getArray<uint16_t, 4, ZEL_CAM_getGain>,
         setArray<uint16_t, 4, ZEL_CAM_setGain>},
        {"gamma",
         "ZEL_CAM_getGamma/setGamma (enable, 36-point curve)",
         true,
         {flag(1), u8(kGammaCurve)},
         1 + kGammaCurve,
         getGamma,
         setGamma},
        {"hue",
         "ZEL_CAM_getHue/setHue (degrees)",
         false,
         {{1, 0, 359}},
         1,
         getOne<uint16_t, ZEL_CAM_getHue>,
         setOne<uint16_t, ZEL_CAM_setHue>},
        {"hv-flip", "ZEL_CAM_getHvFlip/setHvFlip", false, {flag(2)}, 2, getHvFlip, setHvFlip},
        {"hv-flip-static",
         "ZEL_CAM_getHvFlipStatic (read-only)",
         false,
         {u8(4)},
         4,
         getHvFlipStatic,
         nullptr},
        {"key-setting",
         "ZEL_CAM_getKeySetting/setKeySetting",
         false,
         {u8(50)},
         50,
         getArray<uint8_t, 50, ZEL_CAM_getKeySetting>,
         setArray<uint8_t, 50, ZEL_CAM_setKeySetting>},
        {"mask-enable",
         "ZEL_CAM_getMaskEnable/setMaskEnable",
         false,
         {flag(3)},
         3,
         getMaskEnable,
         setMaskEnable},
        {"mask-params",
         "ZEL_CAM_getMaskParams/setMaskParams",
         false,
         {u16(5)},
         5,
         getFive<ZEL_CAM_getMaskParams>,
         setFive<ZEL_CAM_setMaskParams>},
        {"offset",
         "ZEL_CAM_getOffset/setOffset",
         false,
         {{1, -32768, 32767}},
         1,
         getOne<int16_t, ZEL_CAM_getOffset>,
         setOne<int16_t, ZEL_CAM_setOffset>},
        {"ov-exp",
         "ZEL_CAM_getOvExp/setOvExp",
         false,
         {u8(1), u16(1), u8(1)},
         3,
         getOvExp,
         setOvExp},
        {"ov-exp-target",
         "ZEL_CAM_getOvExpTarget/setOvExpTarget",
         false,
         {u8(4)},
         4,
         getOvExpTarget,
         setOvExpTarget},
        {"ov-exp-target-steps",
         "ZEL_CAM_getOvExpTargetSteps/setOvExpTargetSteps",
         false,
         {u8(11)},
         11,
         getOvExpTargetSteps,
         setOvExpTargetSteps},
        {"ov-exp-weight",
         "ZEL_CAM_getOvExpWeight/setOvExpWeight (4 values, 16 weights)",
         false,
         {u16(4), u8(kWeights)},
         4 + kWeights,
         getOvExpWeight,
         setOvExpWeight},
        {"raw-mode",
         "ZEL_CAM_setRawMode (write-only)",
         false,
         {u8(1)},
         0,
         nullptr,
         setArray<uint8_t, 1, ZEL_CAM_setRawMode>},
        {"saturation",
         "ZEL_CAM_getSaturation/setSaturation",
         false,
         {{1, 0, 4095}},
         1,
         getOne<uint16_t, ZEL_CAM_getSaturation>,
         setOne<uint16_t, ZEL_CAM_setSaturation>},
        {"scale",
         "ZEL_CAM_getScaleZ/setScaleZ (mode, 4 values, z)",
         false,
         {u8(1), u16(4), u8(1)},
         6,
         getScaleZ,
         setScaleZ},
        {"sobel", "ZEL_CAM_getSobel/setSobel", true, {flag(1), u8(3)}, 4, getSobel, setSobel},
        {"target",
         "ZEL_CAM_getTarget/setTarget",
         false,
         {u16(1)},
         1,
         getArray<uint16_t, 1, ZEL_CAM_getTarget>,
         setArray<uint16_t, 1, ZEL_CAM_setTarget>},
        {"toggle-state",
         "ZEL_CAM_getToggleState (read-only)",
         false,
         {u8(2)},
         2,
         getArray<uint8_t, 2, ZEL_CAM_getToggleState>,
         nullptr},
        {"uc-config",
         "ZEL_CAM_getucConfig/setucConfig",
         false,
         {u8(4)},
         4,
         getArray<uint8_t, 4, ZEL_CAM_getucConfig>,
         setArray<uint8_t, 4, ZEL_CAM_setucConfig>},
        {"wb-window",
         "ZEL_CAM_getWbWindow/setWbWindow (x1, y1, x2, y2, enable)",
         false,
         {u16(4), flag(1)},
         5,
         getWbWindow,
         setWbWindow},
        {"window-ae-mode",
         "ZEL_CAM_setWindowAEMode (write-only)",
         false,
         {u8(2)},
         0,
         nullptr,
         setArray<uint8_t, 2, ZEL_CAM_setWindowAEMode>},
        {"window-position",
         "ZEL_CAM_getWindowPosition/setWindowPosition",
         false,
         {u8(3)},
         3,
         getArray<uint8_t, 3, ZEL_CAM_getWindowPosition>,
         setArray<uint8_t, 3, ZEL_CAM_setWindowPosition>},
        // The getter fills 32 bytes, the setter sends 33.
        {"window-sizes",
         "ZEL_CAM_getWindowSizes (32)/setWindowSizes (33)",
         false,
         {u8(33)},
         32,
         getArray<uint8_t, 32, ZEL_CAM_getWindowSizes>,
         setArray<uint8_t, 33, ZEL_CAM_setWindowSizes>},
    };
}

}  // namespace

std::size_t dspParameter::setCount() const {
    std::size_t count = 0;
    for (const valueRange& range : ranges) {
        count += range.count;
    }
    return count;
}

valueRange dspParameter::rangeAt(std::size_t position) const {
    for (const valueRange& range : ranges) {
        if (position < range.count) {
            return range;
        }
        position -= range.count;
    }
    return {0, 0, 0};
}

std::string dspParameter::rangeText() const {
    std::string text;
    for (const valueRange& range : ranges) {
        text += (text.empty() ? "" : ", ") + std::to_string(range.minimum) + ".." +
                std::to_string(range.maximum) +
                (range.count > 1 ? " x" + std::to_string(range.count) : "");
    }
    return text;
}

const std::vector<dspParameter>& dspParameterTable::all() {
    static const std::vector<dspParameter> table = makeTable();
    return table;
}

const dspParameter* dspParameterTable::find(const std::string& name) {
    for (const dspParameter& parameter : all()) {
        if (name == parameter.name) {
            return &parameter;
        }
    }
    return nullptr;
}

std::vector<int64_t> dspParameterTable::parseValues(const dspParameter& parameter,
                                                    const std::vector<std::string>& texts,
                                                    std::string& problem) {
    if (parameter.set == nullptr) {
        problem = std::string(parameter.name) + " is read-only";
        return {};
    }
    if (texts.size() != parameter.setCount()) {
        problem = std::string(parameter.name) + " takes " + std::to_string(parameter.setCount()) +
                  " value(s) (" + parameter.rangeText() + "), not " + std::to_string(texts.size());
        return {};
    }
    std::vector<int64_t> values;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const valueRange range = parameter.rangeAt(i);
        const auto value = commandLine::parseNumber(texts[i], range.minimum, range.maximum);
        if (!value) {
            problem = "value " + std::to_string(i + 1) + " of " + parameter.name + " is '" +
                      texts[i] + "'; it must be a whole number from " +
                      std::to_string(range.minimum) + " to " + std::to_string(range.maximum);
            return {};
        }
        values.push_back(*value);
    }
    return values;
}

}  // namespace dravixctl
