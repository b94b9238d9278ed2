// The DSP parameter exports against an open emulated camera: one table row per export drives
// the wire bytes of every setter and the decoding of every getter, with read failures, foreign
// echoes, null pointers and banks; then the edge groups and a round trip of every pair.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "camera/camera.h"
#include "camera/libraryState.h"
#include "dravix/dravix.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "eventually.h"
#include "log/logger.h"
#include "openCameraTest.h"

namespace {

using dravix::emu::emulatedDspEvents;
using dravix::emu::wireKind;
using dravix::emu::wireRecord;
using ::testing::Contains;
using ::testing::HasSubstr;
using values = std::vector<int>;

constexpr uint8_t kCmdDspGet = 0x20;
constexpr uint8_t kCmdDspSet = 0x21;
constexpr uint8_t kCmdDspSave = 0x22;
constexpr uint8_t k8 = 0xAB;      // what a caller's byte holds before the call
constexpr uint16_t k16 = 0xABAB;  // the same for a 16-bit value
constexpr uint8_t kErrorStatus = 3;

// `pointer`, or null when it is argument `position` and that one is to be null.
template <typename T>
T* arg(T* pointer, int position, int nullArg) {
    return position == nullArg ? nullptr : pointer;
}

values bytesOf(const uint8_t* bytes, int count) {
    return values(bytes, bytes + count);
}

values repeated(int count, int value) {
    return values(static_cast<std::size_t>(count), value);
}

values concat(std::initializer_list<values> parts) {
    values all;
    for (const values& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

std::vector<uint8_t> sequence(int count, int first = 1) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<uint8_t>(first + i));
    }
    return bytes;
}

// A getter: it reads `code` and reports `decoded` from the camera's `block`, `failure` after a
// failed read. Pass-through getters read into the caller's buffer, which a reply for another
// function leaves as it was; the others then report their failure values.
struct getterRow {
    std::string name;
    uint8_t code;
    int pointers;
    std::function<int32_t(int32_t index, int nullArg, values& out)> call;
    std::vector<uint8_t> block;
    values decoded;
    values failure;
    bool passThrough = false;
};

// A setter: it writes `wire` (the value bytes after code and offset) to `code`.
struct setterRow {
    std::string name;
    uint8_t code;
    int pointers;
    std::function<int32_t(int32_t index, int nullArg)> call;
    std::vector<uint8_t> wire;
};

const uint16_t kGains[4] = {0xFFFF, 0x1234, 0x0400, 0x2000};
const uint16_t kMatrix[9] = {0xFFFF, 1, 2, 3, 4, 5, 6, 7, 0xE001};
const uint8_t kSteps[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};

// Entry i: x = 0xF000 | (0x100 i + 1) on the wire, y = i.
std::vector<uint8_t> dpcBlock() {
    std::vector<uint8_t> block;
    for (int i = 0; i < 16; ++i) {
        block.insert(block.end(),
                     {static_cast<uint8_t>(0xF0 | i), 1, 0xF0, static_cast<uint8_t>(i)});
    }
    return block;
}

values dpcDecoded() {
    values decoded;
    for (int i = 0; i < 16; ++i) {
        decoded.insert(decoded.end(), {0x100 * i + 1, i});
    }
    return decoded;
}

std::vector<uint8_t> gammaBlock() {
    std::vector<uint8_t> block = sequence(36);
    block.insert(block.begin(), 0xFF);
    return block;
}

const std::vector<getterRow>& getters() {
    static const std::vector<getterRow> rows = {
        {"ZEL_CAM_getGain", 0x07, 1,
         [](int32_t i, int n, values& v) {
             uint16_t g[4] = {k16, k16, k16, k16};
             const int32_t r = ZEL_CAM_getGain(i, arg(g, 0, n));
             v = {g[0], g[1], g[2], g[3]};
             return r;
         },
         {0xFF, 0xFF, 0x12, 0x34, 0x04, 0x00, 0x20, 0x01},
         {0x1FFF, 0x1234, 0x400, 1},
         repeated(4, 1024)},
        {"ZEL_CAM_getCrCbGain", 0x00, 5,
         [](int32_t i, int n, values& v) {
             uint16_t a = k16, b = k16, c = k16, d = k16, e = k16;
             const int32_t r = ZEL_CAM_getCrCbGain(i, arg(&a, 0, n), arg(&b, 1, n), arg(&c, 2, n),
                                                   arg(&d, 3, n), arg(&e, 4, n));
             v = {a, b, c, d, e};
             return r;
         },
         {0xE0, 0x01, 0x1F, 0xFF, 0x12, 0x34, 0xFF, 0xFE, 0x80, 0x01},
         {1, 0x1FFF, 0x1234, 0xFFFE, 0x8001},
         {1024, 1024, k16, 0, 0}},
        {"ZEL_CAM_getHue", 0x01, 1,
         [](int32_t i, int n, values& v) {
             uint16_t hue = k16;
             const int32_t r = ZEL_CAM_getHue(i, arg(&hue, 0, n));
             v = {hue};
             return r;
         },
         {0xFF, 0x67},
         {359},
         {0}},
        {"ZEL_CAM_getSaturation", 0x02, 1,
         [](int32_t i, int n, values& v) {
             uint16_t s = k16;
             const int32_t r = ZEL_CAM_getSaturation(i, arg(&s, 0, n));
             v = {s};
             return r;
         },
         {0xFA, 0xBC},
         {0xABC},
         {0}},
        {"ZEL_CAM_getOffset", 0x1B, 1,
         [](int32_t i, int n, values& v) {
             int16_t o = -1;
             const int32_t r = ZEL_CAM_getOffset(i, arg(&o, 0, n));
             v = {o};
             return r;
         },
         {0xF8, 0x05},
         {-5},
         {0}},
        {"ZEL_CAM_getGamma", 0x06, 2,
         [](int32_t i, int n, values& v) {
             uint8_t e = k8;
             uint8_t curve[36];
             std::fill(std::begin(curve), std::end(curve), k8);
             const int32_t r = ZEL_CAM_getGamma(i, arg(&e, 0, n), arg(curve, 1, n), 0);
             v = concat({{e}, bytesOf(curve, 36)});
             return r;
         },
         gammaBlock(),
         concat({{1}, bytesOf(sequence(36).data(), 36)}),
         repeated(37, 0)},
        {"ZEL_CAM_getColorMatrix", 0x0B, 1,
         [](int32_t i, int n, values& v) {
             uint16_t m[9];
             std::fill(std::begin(m), std::end(m), k16);
             const int32_t r = ZEL_CAM_getColorMatrix(i, arg(m, 0, n));
             v = values(std::begin(m), std::end(m));
             return r;
         },
         {0xFF, 0xFF, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0xE0, 0x01},
         {0x1FFF, 1, 2, 3, 4, 5, 6, 7, 1},
         repeated(9, 1024)},
        {"ZEL_CAM_getBayerMode", 0x30, 1,
         [](int32_t i, int n, values& v) {
             uint8_t m = k8;
             const int32_t r = ZEL_CAM_getBayerMode(i, arg(&m, 0, n));
             v = {m};
             return r;
         },
         {0xFE},
         {1},
         {1}},
        {"ZEL_CAM_getEdgeEnhancement", 0x05, 5,
         [](int32_t i, int n, values& v) {
             uint8_t e = k8, a = k8, b = k8;
             uint16_t c = k16, d = k16;
             const int32_t r = ZEL_CAM_getEdgeEnhancement(i, arg(&e, 0, n), arg(&a, 1, n),
                                                          arg(&b, 2, n), arg(&c, 3, n),
                                                          arg(&d, 4, n), 0);
             v = {e, a, b, c, d};
             return r;
         },
         {0xFF, 0xF3, 0x25, 0xFF, 0xFF, 0x01, 0x23},
         {1, 3, 5, 0x7FF, 0x123},
         {0, 1, 0, 0, 0}},
        {"ZEL_CAM_getSobel", 0x09, 4,
         [](int32_t i, int n, values& v) {
             uint8_t e = k8, a = k8, b = k8, c = k8;
             const int32_t r = ZEL_CAM_getSobel(i, arg(&e, 0, n), arg(&a, 1, n), arg(&b, 2, n),
                                                arg(&c, 3, n), 0);
             v = {e, a, b, c};
             return r;
         },
         {0xFE, 0xF1, 0x02, 0x83},
         {0, 0xF1, 2, 0x83},
         {0, 0, 0, 0}},
        {"ZEL_CAM_getMaskEnable", 0x03, 3,
         [](int32_t i, int n, values& v) {
             uint8_t a = k8, b = k8, c = k8;
             const int32_t r =
                 ZEL_CAM_getMaskEnable(i, arg(&a, 0, n), arg(&b, 1, n), arg(&c, 2, n));
             v = {a, b, c};
             return r;
         },
         {0xFF, 0x02, 0x01},
         {1, 0, 1},
         {0, 0, 0}},
        {"ZEL_CAM_getMaskParams", 0x04, 5,
         [](int32_t i, int n, values& v) {
             uint16_t a = k16, b = k16, c = k16, d = k16, e = k16;
             const int32_t r = ZEL_CAM_getMaskParams(i, arg(&a, 0, n), arg(&b, 1, n),
                                                     arg(&c, 2, n), arg(&d, 3, n), arg(&e, 4, n));
             v = {a, b, c, d, e};
             return r;
         },
         {0xFF, 0xFF, 0x01, 0x02, 0xFF, 0xFF, 0x00, 0x03, 0xF8, 0x04},
         {0x7FF, 0x102, 0x3FF, 3, 4},
         repeated(5, 0)},
        {"ZEL_CAM_getWbWindow", 0x08, 5,
         [](int32_t i, int n, values& v) {
             uint16_t x1 = k16, y1 = k16, x2 = k16, y2 = k16;
             uint8_t e = k8;
             const int32_t r = ZEL_CAM_getWbWindow(i, arg(&x1, 0, n), arg(&y1, 1, n),
                                                   arg(&x2, 2, n), arg(&y2, 3, n), arg(&e, 4, n));
             v = {x1, y1, x2, y2, e};
             return r;
         },
         {0x07, 0xD0, 0x07, 0xD0, 0xF0, 0x64, 0x04, 0x37, 0x03},
         {1919, 1079, 100, 1079, 1},
         repeated(5, 0)},
        {"ZEL_CAM_getScaleZ", 0x16, 6,
         [](int32_t i, int n, values& v) {
             uint8_t m = k8, z = k8;
             uint16_t a = k16, b = k16, c = k16, d = k16;
             const int32_t r =
                 ZEL_CAM_getScaleZ(i, arg(&m, 0, n), arg(&a, 1, n), arg(&b, 2, n), arg(&c, 3, n),
                                   arg(&d, 4, n), arg(&z, 5, n));
             v = {m, a, b, c, d, z};
             return r;
         },
         {0xFF, 0xFF, 0xFF, 0x01, 0x02, 0x10, 0x03, 0x00, 0x04, 0x07},
         {0x7F, 0xFFF, 0x102, 3, 4, 7},
         repeated(6, 0)},
        {"ZEL_CAM_getScale", 0x16, 5,
         [](int32_t i, int n, values& v) {
             uint8_t m = k8;
             uint16_t a = k16, b = k16, c = k16, d = k16;
             const int32_t r = ZEL_CAM_getScale(i, arg(&m, 0, n), arg(&a, 1, n), arg(&b, 2, n),
                                                arg(&c, 3, n), arg(&d, 4, n));
             v = {m, a, b, c, d};
             return r;
         },
         {0x81, 0, 1, 0, 2, 0, 3, 0, 4, 0x07},
         {1, 1, 2, 3, 4},
         repeated(5, 0)},
        {"ZEL_CAM_getBinning", 0x2E, 2,
         [](int32_t i, int n, values& v) {
             uint8_t a = k8, b = k8;
             const int32_t r = ZEL_CAM_getBinning(i, arg(&a, 0, n), arg(&b, 1, n));
             v = {a, b};
             return r;
         },
         {0x07},
         {1, 3},
         {1, 0}},
        {"ZEL_CAM_getHvFlip", 0x1E, 2,
         [](int32_t i, int n, values& v) {
             uint8_t h = k8, vv = k8;
             const int32_t r = ZEL_CAM_getHvFlip(i, arg(&h, 0, n), arg(&vv, 1, n));
             v = {h, vv};
             return r;
         },
         {0x0E},
         {1, 1},
         {0, 0}},
        {"ZEL_CAM_getHvFlipStatic", 0x1E, 4,
         [](int32_t i, int n, values& v) {
             uint8_t h = k8, vv = k8, sh = k8, sv = k8;
             const int32_t r = ZEL_CAM_getHvFlipStatic(i, arg(&h, 0, n), arg(&vv, 1, n),
                                                       arg(&sh, 2, n), arg(&sv, 3, n));
             v = {h, vv, sh, sv};
             return r;
         },
         {0x0E},
         {1, 0, 1, 1},
         {0, 0, 0, 0}},
        {"ZEL_CAM_getTarget", 0x10, 1,
         [](int32_t i, int n, values& v) {
             uint16_t t = k16;
             const int32_t r = ZEL_CAM_getTarget(i, arg(&t, 0, n));
             v = {t};
             return r;
         },
         {0xFE, 0xDC},
         {0xFEDC},
         {0}},
        {"ZEL_CAM_getOvExp", 0x2A, 3,
         [](int32_t i, int n, values& v) {
             uint8_t m = k8, c = k8;
             uint16_t value = k16;
             const int32_t r = ZEL_CAM_getOvExp(i, arg(&m, 0, n), arg(&value, 1, n), arg(&c, 2, n));
             v = {m, value, c};
             return r;
         },
         {0xFD, 0xFF, 0xEE, 0x42},
         {5, 0xFFEE, 0x42},
         {0, 0, 0}},
        {"ZEL_CAM_getOvExpTarget", 0x2B, 4,
         [](int32_t i, int n, values& v) {
             uint8_t a = k8, b = k8, c = k8, d = k8;
             const int32_t r = ZEL_CAM_getOvExpTarget(i, arg(&a, 0, n), arg(&b, 1, n),
                                                      arg(&c, 2, n), arg(&d, 3, n));
             v = {a, b, c, d};
             return r;
         },
         {9, 8, 7, 0xFF},
         {9, 8, 7, 0xFF},
         {0, 0, 0, 0}},
        {"ZEL_CAM_getOvExpTargetSteps", 0x2F, 5,
         [](int32_t i, int n, values& v) {
             uint8_t first = k8, last = k8;
             uint8_t p[3] = {k8, k8, k8}, q[3] = {k8, k8, k8}, r3[3] = {k8, k8, k8};
             const int32_t r = ZEL_CAM_getOvExpTargetSteps(i, arg(&first, 0, n), arg(p, 1, n),
                                                           arg(q, 2, n), arg(r3, 3, n),
                                                           arg(&last, 4, n));
             v = concat({{first}, bytesOf(p, 3), bytesOf(q, 3), bytesOf(r3, 3), {last}});
             return r;
         },
         sequence(11),
         {1, 2, 5, 8, 3, 6, 9, 4, 7, 10, 11},
         repeated(11, 0)},
        {"ZEL_CAM_getOvExpWeight", 0x2C, 5,
         [](int32_t i, int n, values& v) {
             uint16_t a = k16, b = k16, c = k16, d = k16;
             uint8_t w[16];
             std::fill(std::begin(w), std::end(w), k8);
             const int32_t r = ZEL_CAM_getOvExpWeight(i, arg(&a, 0, n), arg(&b, 1, n),
                                                      arg(&c, 2, n), arg(&d, 3, n), arg(w, 4, n));
             v = concat({{a, b, c, d}, bytesOf(w, 16)});
             return r;
         },
         sequence(24),
         concat({{0x0102, 0x0304, 0x0506, 0x0708}, values{9,  10, 11, 12, 13, 14, 15, 16,
                                                          17, 18, 19, 20, 21, 22, 23, 24}}),
         repeated(20, 0)},
        {"ZEL_CAM_getDpcConfig", 0x28, 3,
         [](int32_t i, int n, values& v) {
             uint8_t e = k8, spare = k8;
             uint16_t value = k16;
             const int32_t r =
                 ZEL_CAM_getDpcConfig(i, arg(&e, 0, n), arg(&spare, 1, n), arg(&value, 2, n));
             v = {e, spare, value};
             return r;
         },
         {0x03, 0xFA, 0xBC},
         {1, 0, 0xABC},
         {0, 0, 0}},
        // Pass-through blocks.
        {"ZEL_CAM_getToggleState", 0x20, 1,
         [](int32_t i, int n, values& v) {
             uint8_t s[2] = {k8, k8};
             const int32_t r = ZEL_CAM_getToggleState(i, arg(s, 0, n));
             v = bytesOf(s, 2);
             return r;
         },
         {0xFF, 0x7E},
         {0xFF, 0x7E},
         {0, 0},
         true},
        {"ZEL_CAM_getWindowSizes", 0x0F, 1,
         [](int32_t i, int n, values& v) {
             uint8_t s[33];
             std::fill(std::begin(s), std::end(s), k8);
             const int32_t r = ZEL_CAM_getWindowSizes(i, arg(s, 0, n));
             v = bytesOf(s, 33);  // the 33rd byte is never written
             return r;
         },
         sequence(33),
         concat({bytesOf(sequence(32).data(), 32), {k8}}),
         concat({repeated(32, 0), {k8}}),
         true},
        {"ZEL_CAM_getWindowPosition", 0x0E, 1,
         [](int32_t i, int n, values& v) {
             uint8_t s[3] = {k8, k8, k8};
             const int32_t r = ZEL_CAM_getWindowPosition(i, arg(s, 0, n));
             v = bytesOf(s, 3);
             return r;
         },
         {0xF1, 2, 3},
         {0xF1, 2, 3},
         {0, 0, 0},
         true},
        {"ZEL_CAM_getAEValues", 0x0C, 1,
         [](int32_t i, int n, values& v) {
             uint8_t s[15];
             std::fill(std::begin(s), std::end(s), k8);
             const int32_t r = ZEL_CAM_getAEValues(i, arg(s, 0, n));
             v = bytesOf(s, 15);
             return r;
         },
         sequence(15, 0xF0),
         bytesOf(sequence(15, 0xF0).data(), 15),
         repeated(15, 0),
         true},
        {"ZEL_CAM_getKeySetting", 0x0D, 1,
         [](int32_t i, int n, values& v) {
             uint8_t s[50];
             std::fill(std::begin(s), std::end(s), k8);
             const int32_t r = ZEL_CAM_getKeySetting(i, arg(s, 0, n));
             v = bytesOf(s, 50);
             return r;
         },
         sequence(50, 100),
         bytesOf(sequence(50, 100).data(), 50),
         repeated(50, 0),
         true},
        {"ZEL_CAM_getucConfig", 0x1F, 1,
         [](int32_t i, int n, values& v) {
             uint8_t s[5] = {k8, k8, k8, k8, k8};
             const int32_t r = ZEL_CAM_getucConfig(i, arg(s, 0, n));
             v = bytesOf(s, 5);  // four read, the fifth untouched
             return r;
         },
         {9, 8, 7, 6, 5},
         {9, 8, 7, 6, k8},
         {0, 0, 0, 0, k8},
         true},
        {"ZEL_CAM_getEdgeMode", 0x15, 1,
         [](int32_t i, int n, values& v) {
             uint8_t m = k8;
             const int32_t r = ZEL_CAM_getEdgeMode(i, arg(&m, 0, n));
             v = {m};
             return r;
         },
         {0xFE},
         {0xFE},
         {0},
         true},
        {"ZEL_CAM_getCamType", 0x24, 1,
         [](int32_t i, int n, values& v) {
             uint8_t t = k8;
             const int32_t r = ZEL_CAM_getCamType(i, arg(&t, 0, n));
             v = {t};
             return r;
         },
         {0x33},
         {0x33},
         {0},
         true},
        {"ZEL_CAM_getDpcTable", 0x29, 1,
         [](int32_t i, int n, values& v) {
             DpcEntry table[16];
             std::fill(std::begin(table), std::end(table), DpcEntry{k16, k16});
             const int32_t r = ZEL_CAM_getDpcTable(i, arg(table, 0, n));
             v.clear();
             for (const DpcEntry& entry : table) {
                 v.insert(v.end(), {entry.x, entry.y});
             }
             return r;
         },
         dpcBlock(),
         dpcDecoded(),
         repeated(32, 0)},
    };
    return rows;
}

// 50 caller bytes, every one different and some with the high bits set.
const uint8_t* callerBytes() {
    static uint8_t bytes[50];
    for (int i = 0; i < 50; ++i) {
        bytes[i] = static_cast<uint8_t>(0xF5 ^ (i * 7));
    }
    return bytes;
}

std::vector<uint8_t> bytesOf50(int count) {
    return std::vector<uint8_t>(callerBytes(), callerBytes() + count);
}

std::vector<uint8_t> concatBytes(std::vector<uint8_t> first, const std::vector<uint8_t>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

const DpcEntry* dpcEntries() {
    static DpcEntry entries[16];
    for (int i = 0; i < 16; ++i) {
        entries[i] = {static_cast<uint16_t>(0xF000 | (0x100 * i + 1)), static_cast<uint16_t>(i)};
    }
    return entries;
}

const std::vector<setterRow>& setters() {
    static const uint8_t curve[36] = {1, 2, 3};
    static const uint8_t weights[16] = {0xFF, 1};
    static const uint8_t* bytes50 = callerBytes();
    static const uint8_t one = 0xFE;
    static const uint16_t target = 0xFEDC;
    static const std::vector<setterRow> rows = {
        {"ZEL_CAM_setGain",
         0x07,
         1,
         [](int32_t i, int n) { return ZEL_CAM_setGain(i, arg(kGains, 0, n)); },
         {0xFF, 0xFF, 0x12, 0x34, 0x04, 0x00, 0x20, 0x00}},
        {"ZEL_CAM_setCrCbGain",
         0x00,
         0,
         [](int32_t i, int) { return ZEL_CAM_setCrCbGain(i, 0xFFFF, 0x2001, 3, 0xFFFF, 0x8001); },
         {0x1F, 0xFF, 0x00, 0x01, 0x00, 0x03, 0xFF, 0xFF, 0x80, 0x01}},
        {"ZEL_CAM_setHue",
         0x01,
         0,
         [](int32_t i, int) { return ZEL_CAM_setHue(i, 0xFFFF); },
         {0xFF, 0xFF}},
        {"ZEL_CAM_setSaturation",
         0x02,
         0,
         [](int32_t i, int) { return ZEL_CAM_setSaturation(i, 0xF123); },
         {0xF1, 0x23}},
        {"ZEL_CAM_setOffset",
         0x1B,
         0,
         [](int32_t i, int) { return ZEL_CAM_setOffset(i, -5); },
         {0x08, 0x05}},
        {"ZEL_CAM_setGamma", 0x06, 1,
         [](int32_t i, int n) { return ZEL_CAM_setGamma(i, 0x81, arg(curve, 0, n), 0); },
         concatBytes({0x81, 1, 2, 3}, std::vector<uint8_t>(33, 0))},
        {"ZEL_CAM_setColorMatrix",
         0x0B,
         1,
         [](int32_t i, int n) { return ZEL_CAM_setColorMatrix(i, arg(kMatrix, 0, n)); },
         {0x1F, 0xFF, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0x00, 0x01}},
        {"ZEL_CAM_setBayerMode",
         0x30,
         0,
         [](int32_t i, int) { return ZEL_CAM_setBayerMode(i, 1); },
         {0x00}},
        {"ZEL_CAM_setEdgeEnhancement",
         0x05,
         0,
         [](int32_t i, int) {
             return ZEL_CAM_setEdgeEnhancement(i, 0xFF, 0xF3, 0x25, 0xFFFF, 0x0123, 0);
         },
         {0xFF, 0xF3, 0x25, 0xFF, 0xFF, 0x01, 0x23}},
        {"ZEL_CAM_setSobel",
         0x09,
         0,
         [](int32_t i, int) { return ZEL_CAM_setSobel(i, 0xFE, 1, 2, 0x83, 0); },
         {0xFE, 1, 2, 0x83}},
        {"ZEL_CAM_setMaskEnable",
         0x03,
         0,
         [](int32_t i, int) { return ZEL_CAM_setMaskEnable(i, 0xFF, 2, 1); },
         {0xFF, 2, 1}},
        {"ZEL_CAM_setMaskParams",
         0x04,
         0,
         [](int32_t i, int) { return ZEL_CAM_setMaskParams(i, 0xFFFF, 0x102, 0xFFFF, 3, 0xF804); },
         {0xFF, 0xFF, 0x01, 0x02, 0xFF, 0xFF, 0x00, 0x03, 0xF8, 0x04}},
        {"ZEL_CAM_setWbWindow",
         0x08,
         0,
         [](int32_t i, int) { return ZEL_CAM_setWbWindow(i, 101, 0xFFFF, 2000, 1079, 0xFE); },
         {0x00, 0x64, 0xFF, 0xFE, 0x07, 0xD0, 0x04, 0x36, 0xFE}},
        {"ZEL_CAM_doWbPush", 0x0A, 0, [](int32_t i, int) { return ZEL_CAM_doWbPush(i); }, {0}},
        {"ZEL_CAM_doWbPushCb",
         0x0A,
         0,
         [](int32_t i, int) { return ZEL_CAM_doWbPushCb(i, nullptr, nullptr); },
         {0}},
        {"ZEL_CAM_setScaleZ",
         0x16,
         0,
         [](int32_t i, int) { return ZEL_CAM_setScaleZ(i, 0xFF, 0xFFFF, 0x1102, 0xFFFF, 4, 9); },
         {0x7F, 0x0F, 0xFF, 0x01, 0x02, 0xFF, 0xFF, 0x00, 0x04, 9}},
        {"ZEL_CAM_setScale",
         0x16,
         0,
         [](int32_t i, int) { return ZEL_CAM_setScale(i, 0x81, 1, 2, 3, 4); },
         {0x01, 0, 1, 0, 2, 0, 3, 0, 4, 1}},
        {"ZEL_CAM_setBinning",
         0x2E,
         0,
         [](int32_t i, int) { return ZEL_CAM_setBinning(i, 1, 3); },
         {0x07}},
        {"ZEL_CAM_setHvFlip",
         0x1E,
         0,
         [](int32_t i, int) { return ZEL_CAM_setHvFlip(i, 5, 0); },
         {0x02}},
        {"ZEL_CAM_setTarget",
         0x10,
         1,
         [](int32_t i, int n) { return ZEL_CAM_setTarget(i, arg(&target, 0, n)); },
         {0xFE, 0xDC}},
        {"ZEL_CAM_setOvExp",
         0x2A,
         0,
         [](int32_t i, int) { return ZEL_CAM_setOvExp(i, 0xFD, 0xFFEE, 0x42); },
         {0x05, 0xFF, 0xEE, 0x42}},
        {"ZEL_CAM_setOvExpTarget",
         0x2B,
         0,
         [](int32_t i, int) { return ZEL_CAM_setOvExpTarget(i, 9, 8, 7, 0xFF); },
         {9, 8, 7, 0xFF}},
        {"ZEL_CAM_setOvExpTargetSteps",
         0x2F,
         3,
         [](int32_t i, int n) {
             return ZEL_CAM_setOvExpTargetSteps(i, 0xF0, arg(kSteps[0], 0, n), arg(kSteps[1], 1, n),
                                                arg(kSteps[2], 2, n), 0x0F);
         },
         {0xF0, 1, 4, 7, 2, 5, 8, 3, 6, 9, 0x0F}},
        {"ZEL_CAM_setOvExpWeight",
         0x2C,
         1,
         [](int32_t i, int n) {
             return ZEL_CAM_setOvExpWeight(i, 0x0102, 0xFFFF, 0, 0x8000, arg(weights, 0, n));
         },
         {0x01, 0x02, 0xFF, 0xFF, 0, 0, 0x80, 0, 0xFF, 1, 0, 0,
          0,    0,    0,    0,    0, 0, 0,    0, 0,    0, 0, 0}},
        {"ZEL_CAM_setDpcConfig",
         0x28,
         0,
         [](int32_t i, int) { return ZEL_CAM_setDpcConfig(i, 0xFF, 0xFABC); },
         {0xFF, 0x0A, 0xBC}},
        {"ZEL_CAM_setDpcDetect",
         0x27,
         0,
         [](int32_t i, int) { return ZEL_CAM_setDpcDetect(i); },
         {0}},
        {"ZEL_CAM_rqUpInt", 0x25, 0, [](int32_t i, int) { return ZEL_CAM_rqUpInt(i); }, {0}},
        {"ZEL_CAM_setWindowSizes", 0x0F, 1,
         [](int32_t i, int n) { return ZEL_CAM_setWindowSizes(i, arg(bytes50, 0, n)); },
         bytesOf50(33)},
        {"ZEL_CAM_setWindowPosition", 0x0E, 1,
         [](int32_t i, int n) { return ZEL_CAM_setWindowPosition(i, arg(bytes50, 0, n)); },
         bytesOf50(3)},
        {"ZEL_CAM_setWindowAEMode", 0x19, 1,
         [](int32_t i, int n) { return ZEL_CAM_setWindowAEMode(i, arg(bytes50, 0, n)); },
         bytesOf50(2)},
        {"ZEL_CAM_setAEValues", 0x0C, 1,
         [](int32_t i, int n) { return ZEL_CAM_setAEValues(i, arg(bytes50, 0, n)); },
         bytesOf50(15)},
        {"ZEL_CAM_setKeySetting", 0x0D, 1,
         [](int32_t i, int n) { return ZEL_CAM_setKeySetting(i, arg(bytes50, 0, n)); },
         bytesOf50(50)},
        {"ZEL_CAM_setucConfig", 0x1F, 1,
         [](int32_t i, int n) { return ZEL_CAM_setucConfig(i, arg(bytes50, 0, n)); },
         concatBytes(bytesOf50(4), {1})},
        {"ZEL_CAM_setEdgeMode",
         0x15,
         1,
         [](int32_t i, int n) { return ZEL_CAM_setEdgeMode(i, arg(&one, 0, n)); },
         {0xFE}},
        {"ZEL_CAM_setCamType",
         0x24,
         1,
         [](int32_t i, int n) { return ZEL_CAM_setCamType(i, arg(&one, 0, n)); },
         {0xFE}},
        {"ZEL_CAM_setRawMode",
         0x26,
         1,
         [](int32_t i, int n) { return ZEL_CAM_setRawMode(i, arg(&one, 0, n)); },
         {0xFE}},
    };
    return rows;
}

const getterRow& getter(const std::string& name) {
    for (const getterRow& row : getters()) {
        if (row.name == name) {
            return row;
        }
    }
    throw std::invalid_argument(name);
}

class dspExportsTest : public openCameraTest {
  protected:
    void SetUp() override {
        openCameraTest::SetUp();
        camera().setReplyLatency(std::chrono::microseconds(0));
        camera().startRecording();
    }

    // The command reports sent since the last call.
    std::vector<std::vector<uint8_t>> takeRequests() {
        std::vector<std::vector<uint8_t>> requests;
        for (const wireRecord& record : camera().recorded()) {
            if (record.kind == wireKind::output) {
                requests.push_back(record.bytes);
            }
        }
        camera().clearRecording();
        return requests;
    }
    // The value bytes of the DSP writes sent since the last call, with code and offset first.
    std::vector<std::vector<uint8_t>> takeWrites(std::size_t valueBytes) {
        std::vector<std::vector<uint8_t>> writes;
        for (const auto& request : takeRequests()) {
            if (request[1] == kCmdDspSet) {
                writes.emplace_back(request.begin() + 2,
                                    request.begin() + 5 + static_cast<long>(valueBytes));
            }
        }
        return writes;
    }
    // Counts `line` among the messages logged so far: a marker logged last is waited for, since
    // messages reach the callback on the logger's own thread.
    std::size_t countLines(const std::string& line) {
        const std::string marker = "settled " + std::to_string(++markers_);
        dravix::libraryLog().info("%s", marker.c_str());
        EXPECT_TRUE(log_.waitFor("INFO " + marker));
        return countOf(log_.lines(), line);
    }
    int markers_ = 0;
};

TEST_F(dspExportsTest, everyGetterDecodesTheCameraBlock) {
    for (const getterRow& row : getters()) {
        camera().dsp().setDspBlock(row.code, row.block);
        takeRequests();
        values out;
        EXPECT_EQ(row.call(0, -1, out), 0) << row.name;
        EXPECT_EQ(out, row.decoded) << row.name;
        bool asked = false;
        for (const auto& request : takeRequests()) {
            asked = asked || (request[1] == kCmdDspGet && request[2] == row.code);
        }
        EXPECT_TRUE(asked) << row.name;
    }
}

TEST_F(dspExportsTest, everyGetterStoresItsFailureValuesAfterAnErrorStatus) {
    for (const getterRow& row : getters()) {
        camera().dsp().setDspBlock(row.code, row.block);
        camera().dsp().setFailingCode(row.code, kErrorStatus);
        values out;
        EXPECT_EQ(row.call(0, -1, out), 1) << row.name;
        EXPECT_EQ(out, row.failure) << row.name;
        camera().dsp().setFailingCode(row.code, 0);
    }
}

TEST_F(dspExportsTest, everyGetterStoresItsFailureValuesAfterATimeOut) {
    for (const getterRow& row : getters()) {
        camera().dsp().setDspBlock(row.code, row.block);
        camera().queueNoReply();
        values out;
        EXPECT_EQ(row.call(0, -1, out), 1) << row.name;
        EXPECT_EQ(out, row.failure) << row.name;
    }
}

// Decoding getters never report data of another function; buffers stay as they were.
TEST_F(dspExportsTest, aReplyForAnotherFunctionGivesNoData) {
    for (const getterRow& row : getters()) {
        camera().dsp().setDspBlock(row.code, row.block);
        const uint8_t other = row.code ^ 0x40;
        camera().dsp().setEchoForCode(row.code, other);
        values out;
        EXPECT_EQ(row.call(0, -1, out), 0) << row.name;
        EXPECT_EQ(out, row.passThrough ? repeated(static_cast<int>(out.size()), k8) : row.failure)
            << row.name;
        camera().dsp().setEchoForCode(row.code, row.code);
        char line[128];
        std::snprintf(line, sizeof line,
                      "ERROR cameraDsp::getDspFunction: conflicting type (predicted: 0x%02X, "
                      "actual: 0x%02X)",
                      row.code, other);
        EXPECT_GE(countLines(line), 1u) << row.name;
    }
}

TEST_F(dspExportsTest, everySetterSendsItsBytes) {
    for (const setterRow& row : setters()) {
        camera().dsp().setDspBlock(row.code, {});
        takeRequests();
        EXPECT_EQ(row.call(0, -1), 0) << row.name;
        std::vector<uint8_t> expected = {row.code, 0, 0};
        expected.insert(expected.end(), row.wire.begin(), row.wire.end());
        const auto writes = takeWrites(row.wire.size());
        ASSERT_EQ(writes.size(), 1u) << row.name;
        EXPECT_EQ(writes[0], expected) << row.name;
        const auto block = camera().dsp().dspBlock(row.code);
        EXPECT_TRUE(std::equal(row.wire.begin(), row.wire.end(), block.begin())) << row.name;

        camera().dsp().setFailingCode(row.code, kErrorStatus);
        EXPECT_EQ(row.call(0, -1), 1) << row.name;
        camera().dsp().setFailingCode(row.code, 0);
        camera().dsp().setEchoForCode(row.code, 0x7F);
        EXPECT_EQ(row.call(0, -1), 0) << row.name;
        camera().dsp().setEchoForCode(row.code, row.code);
    }
}

TEST_F(dspExportsTest, nullPointersFailWithoutTraffic) {
    std::vector<std::pair<std::string, std::function<int32_t(int)>>> calls;
    for (const getterRow& row : getters()) {
        for (int n = 0; n < row.pointers; ++n) {
            calls.emplace_back(row.name, [&row, n](int) {
                values out;
                return row.call(0, n, out);
            });
        }
    }
    for (const setterRow& row : setters()) {
        for (int n = 0; n < row.pointers; ++n) {
            calls.emplace_back(row.name, [&row, n](int) { return row.call(0, n); });
        }
    }
    takeRequests();
    for (const auto& call : calls) {
        EXPECT_EQ(call.second(0), 1) << call.first;
    }
    EXPECT_TRUE(takeRequests().empty());
    for (const getterRow& row : getters()) {
        EXPECT_EQ(countLines("ERROR main::" + row.name + ": NULL POINTER"),
                  static_cast<std::size_t>(row.pointers))
            << row.name;
    }
}

TEST_F(dspExportsTest, anIndexWithoutCameraLeavesOutputsAndSendsNothing) {
    takeRequests();
    for (const getterRow& row : getters()) {
        for (int32_t index : {-1, 10, 5}) {
            values out;
            EXPECT_EQ(row.call(index, -1, out), 1) << row.name;
            EXPECT_EQ(out.size(), row.decoded.size()) << row.name;
        }
        EXPECT_EQ(countLines("ERROR main::" + row.name + ": CAMERA NOT INITIALIZED"), 3u)
            << row.name;
    }
    for (const setterRow& row : setters()) {
        EXPECT_EQ(row.call(7, -1), 1) << row.name;
    }
    EXPECT_TRUE(takeRequests().empty());
    EXPECT_EQ(countLines("ERROR main::ZEL_CAM_SaveDspToEEp: CAMERA NOT INITIALIZED"), 0u);
    EXPECT_EQ(ZEL_CAM_SaveDspToEEp(3), 1);
    EXPECT_EQ(countLines("ERROR main::ZEL_CAM_SaveDspToEEp: CAMERA NOT INITIALIZED"), 1u);
}

TEST_F(dspExportsTest, banksPickTheCodeAndOtherBanksFailWithoutTraffic) {
    struct bankCase {
        std::string name;
        uint8_t bank0;
        uint8_t bank1;
        std::function<int32_t(uint8_t bank, values& out)> get;
        std::function<int32_t(uint8_t bank)> set;
    };
    static const uint8_t curve[36] = {};
    const std::vector<bankCase> cases = {
        {"EdgeEnhancement", 0x05, 0x21,
         [](uint8_t bank, values& v) {
             uint8_t e = k8, a = k8, b = k8;
             uint16_t c = k16, d = k16;
             const int32_t r = ZEL_CAM_getEdgeEnhancement(0, &e, &a, &b, &c, &d, bank);
             v = {e, a, b, c, d};
             return r;
         },
         [](uint8_t bank) { return ZEL_CAM_setEdgeEnhancement(0, 1, 2, 3, 4, 5, bank); }},
        {"Sobel", 0x09, 0x23,
         [](uint8_t bank, values& v) {
             uint8_t e = k8, a = k8, b = k8, c = k8;
             const int32_t r = ZEL_CAM_getSobel(0, &e, &a, &b, &c, bank);
             v = {e, a, b, c};
             return r;
         },
         [](uint8_t bank) { return ZEL_CAM_setSobel(0, 1, 2, 3, 4, bank); }},
        {"Gamma", 0x06, 0x22,
         [](uint8_t bank, values& v) {
             uint8_t e = k8;
             uint8_t c[36];
             std::fill(std::begin(c), std::end(c), k8);
             const int32_t r = ZEL_CAM_getGamma(0, &e, c, bank);
             v = concat({{e}, bytesOf(c, 36)});
             return r;
         },
         [](uint8_t bank) { return ZEL_CAM_setGamma(0, 1, curve, bank); }},
    };
    for (const bankCase& c : cases) {
        for (uint8_t bank : {0, 1}) {
            takeRequests();
            values out;
            EXPECT_EQ(c.get(bank, out), 0) << c.name;
            EXPECT_EQ(c.set(bank), 0) << c.name;
            const auto requests = takeRequests();
            ASSERT_EQ(requests.size(), 2u) << c.name;
            for (const auto& request : requests) {
                EXPECT_EQ(request[2], bank == 0 ? c.bank0 : c.bank1) << c.name;
            }
        }
        for (uint8_t bank : {2, 255}) {
            values out;
            EXPECT_EQ(c.get(bank, out), 1) << c.name;
            EXPECT_EQ(out, repeated(static_cast<int>(out.size()), 0)) << c.name;
            EXPECT_EQ(c.set(bank), 1) << c.name;
            EXPECT_EQ(countLines("ERROR main::ZEL_CAM_get" + c.name + ": invalid bank " +
                                 std::to_string(bank)),
                      1u);
            EXPECT_EQ(countLines("ERROR main::ZEL_CAM_set" + c.name + ": invalid bank " +
                                 std::to_string(bank)),
                      1u);
        }
        EXPECT_TRUE(takeRequests().empty()) << c.name;
    }
}

TEST_F(dspExportsTest, offsetsAreSaturatedAtTheirMagnitudeLimit) {
    const std::vector<std::pair<int16_t, std::vector<uint8_t>>> cases = {
        {0, {0x00, 0x00}},         {-5, {0x08, 0x05}},        {2047, {0x07, 0xFF}},
        {-2047, {0x0F, 0xFF}},     {2048, {0x07, 0xFF}},      {-2048, {0x0F, 0xFF}},
        {INT16_MAX, {0x07, 0xFF}}, {INT16_MIN, {0x0F, 0xFF}},
    };
    for (const auto& c : cases) {
        takeRequests();
        ASSERT_EQ(ZEL_CAM_setOffset(0, c.first), 0);
        const auto writes = takeWrites(2);
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(std::vector<uint8_t>(writes[0].begin() + 3, writes[0].end()), c.second)
            << c.first;
        int16_t back = 1;
        ASSERT_EQ(ZEL_CAM_getOffset(0, &back), 0);
        EXPECT_EQ(back, std::max<int>(-2047, std::min<int>(2047, c.first)));
    }
}

TEST_F(dspExportsTest, flagArgumentsNeverReachTheNextField) {
    const std::vector<std::pair<std::function<int32_t()>, std::vector<uint8_t>>> cases = {
        {[] { return ZEL_CAM_setBinning(0, 2, 0); }, {0x01}},
        {[] { return ZEL_CAM_setBinning(0, 0xFF, 3); }, {0x07}},
        {[] { return ZEL_CAM_setBinning(0, 0, 3); }, {0x06}},
        {[] { return ZEL_CAM_setBayerMode(0, 2); }, {0x00}},
        {[] { return ZEL_CAM_setBayerMode(0, 0xFF); }, {0x00}},
        {[] { return ZEL_CAM_setBayerMode(0, 0); }, {0x01}},
    };
    for (const auto& c : cases) {
        takeRequests();
        ASSERT_EQ(c.first(), 0);
        const auto writes = takeWrites(1);
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0][3], c.second[0]);
    }
}

TEST_F(dspExportsTest, theDpcTableMovesAfterItsConfigurationInTwoChunks) {
    DpcEntry table[16];
    ASSERT_EQ(ZEL_CAM_setDpcTable(0, dpcEntries()), 0);
    auto requests = takeRequests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ((std::vector<uint8_t>(requests[0].begin() + 1, requests[0].begin() + 5)),
              (std::vector<uint8_t>{kCmdDspGet, 0x28, 0, 0}));
    EXPECT_EQ((std::vector<uint8_t>(requests[1].begin() + 1, requests[1].begin() + 5)),
              (std::vector<uint8_t>{kCmdDspSet, 0x29, 0, 0}));
    EXPECT_EQ((std::vector<uint8_t>(requests[2].begin() + 1, requests[2].begin() + 5)),
              (std::vector<uint8_t>{kCmdDspSet, 0x29, 0, 59}));
    const auto block = camera().dsp().dspBlock(0x29);
    EXPECT_EQ(block[0], 0x00);  // x = 0xF001 masked to 12 bits
    EXPECT_EQ(block[1], 0x01);
    EXPECT_EQ(block[60], 0x0F);  // entry 15: x = 0xFF01
    ASSERT_EQ(ZEL_CAM_getDpcTable(0, table), 0);
    requests = takeRequests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2][2], 0x29);
    EXPECT_EQ(requests[2][4], 60);
    EXPECT_EQ(table[15].x, 0xF01);
    EXPECT_EQ(table[15].y, 15);

    // Without its configuration the table is neither read nor written.
    camera().dsp().setFailingCode(0x28, kErrorStatus);
    EXPECT_EQ(ZEL_CAM_getDpcTable(0, table), 1);
    EXPECT_EQ(table[15].x, 0);
    EXPECT_EQ(ZEL_CAM_setDpcTable(0, dpcEntries()), 1);
    for (const auto& request : takeRequests()) {
        EXPECT_NE(request[2], 0x29);
    }
}

TEST_F(dspExportsTest, storingTheSettingsSendsTheSaveCommand) {
    camera().dspEvents().setCompletionInterrupts(true);
    ASSERT_EQ(ZEL_CAM_SaveDspToEEp(0), 0);
    const auto requests = takeRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0][1], kCmdDspSave);
    EXPECT_EQ(requests[0][2], 0);
    EXPECT_EQ(camera().dsp().saveCount(), 1);
    camera().setCommandHandler(kCmdDspSave, [](const dravix::emu::commandPayload&) {
        dravix::emu::commandReply reply;
        reply.status = kErrorStatus;
        return reply;
    });
    EXPECT_EQ(ZEL_CAM_SaveDspToEEp(0), 1);
}

TEST_F(dspExportsTest, deadExportsOnlyWarn) {
    uint8_t curve[36] = {};
    EXPECT_EQ(ZEL_CAM_getGammaChroma(42, curve, 0), 1);
    EXPECT_EQ(ZEL_CAM_setGammaChroma(0, nullptr, 0), 1);
    EXPECT_EQ(ZEL_CAM_getMeasVals(0, nullptr), 1);
    EXPECT_EQ(ZEL_CAM_getMeasVals(4, nullptr), 1);
    EXPECT_EQ(countLines("WARN getGammaChroma: not longer available!"), 1u);
    EXPECT_EQ(countLines("WARN setGammaChroma: not longer available!"), 1u);
    EXPECT_EQ(countLines("WARN not implemented!"), 1u);
    EXPECT_EQ(countLines("ERROR main::ZEL_CAM_getMeasVals: CAMERA NOT INITIALIZED"), 1u);
    EXPECT_TRUE(takeRequests().empty());
}

TEST_F(dspExportsTest, aStaticFlipKeyWinsWithOneVerboseMessage) {
    uint8_t h = 0, v = 0;
    camera().dsp().setDspBlock(0x1E, {0x02});
    ASSERT_EQ(ZEL_CAM_getHvFlip(0, &h, &v), 0);
    EXPECT_EQ(countLines("VERBOSE DSP settings: detected static flip mirror key set"), 0u);
    camera().dsp().setDspBlock(0x1E, {0x0E});
    ASSERT_EQ(ZEL_CAM_getHvFlip(0, &h, &v), 0);
    EXPECT_EQ(countLines("VERBOSE DSP settings: detected static flip mirror key set"), 1u);
}

// Counts the calls of a white-balance push callback.
class wbCounter {
  public:
    static int onPush(void* user) {
        auto* self = static_cast<wbCounter*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        ++self->calls_;
        self->called_.notify_all();
        return 0;
    }
    bool waitFor(int calls) {
        std::unique_lock<std::mutex> lock(mutex_);
        return called_.wait_for(lock, std::chrono::seconds(10), [&] { return calls_ >= calls; });
    }
    int calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable called_;
    int calls_ = 0;
};

class dspWbPushTest : public dspExportsTest {
  protected:
    // Sends a white-balance completion of `source` and waits until the interrupt thread handled
    // it, then one more through `marker` from the FPGA, which keeps its callback.
    void completeAndSettle(uint8_t source, uint32_t mask) {
        injectHandled(source, mask);
        const int before = marker_.calls();
        ASSERT_EQ(ZEL_CAM_doWbPushCb(0, &wbCounter::onPush, &marker_), 0);
        camera().injectInterrupt(1, emulatedDspEvents::statusData(0, 1u << 6));
        ASSERT_TRUE(marker_.waitFor(before + 1));
        ZEL_CAM_doWbPush(0);
    }
    // Sends a status interrupt and waits until the interrupt thread has handled it, so that a
    // registration made next cannot replace the pair the report was meant for.
    void injectHandled(uint8_t source, uint32_t mask) {
        const auto cam = dravix::libraryState::instance().cameraAt(0);
        // Reports are handled in order: once more are handled than were taken before this one,
        // this one is done (counting from the handled reports could count one still running).
        const uint64_t earlier = cam->interruptReportsTaken();
        camera().injectInterrupt(1, emulatedDspEvents::statusData(source, mask));
        EXPECT_TRUE(eventually([&] { return cam->interruptReportsHandled() > earlier; }));
    }
    wbCounter marker_;
};

TEST_F(dspWbPushTest, eachSourceCompletesAPushAsItsRuleSays) {
    struct sourceCase {
        emulatedDspEvents::wbSource source;
        std::chrono::milliseconds delay;
        int callsAfterSecondCompletion;  // 1: one-shot, 2: the callback stays
    };
    const std::vector<sourceCase> cases = {
        {emulatedDspEvents::wbSource::controller, std::chrono::milliseconds(0), 1},
        {emulatedDspEvents::wbSource::head, std::chrono::milliseconds(30), 1},
        {emulatedDspEvents::wbSource::fpga, std::chrono::milliseconds(0), 2},
    };
    static constexpr uint32_t kDoneBit[] = {1u << 6, 1u << 5, 1u << 4};
    for (const sourceCase& c : cases) {
        wbCounter counter;
        const auto number = static_cast<uint8_t>(c.source);
        camera().dspEvents().setWbCompletion(c.source, c.delay);
        ASSERT_EQ(ZEL_CAM_doWbPushCb(0, &wbCounter::onPush, &counter), 0);
        ASSERT_TRUE(counter.waitFor(1)) << int(number);
        camera().dspEvents().setWbCompletion(std::nullopt);
        completeAndSettle(number, kDoneBit[number]);
        EXPECT_EQ(counter.calls(), c.callsAfterSecondCompletion) << int(number);
        ZEL_CAM_doWbPush(0);
    }
}

TEST_F(dspWbPushTest, reRegistrationCallsTheNewPairOnly) {
    wbCounter first;
    wbCounter second;
    camera().dspEvents().setWbCompletion(emulatedDspEvents::wbSource::controller);
    ASSERT_EQ(ZEL_CAM_doWbPushCb(0, &wbCounter::onPush, &first), 0);
    ASSERT_TRUE(first.waitFor(1));
    ASSERT_EQ(ZEL_CAM_doWbPushCb(0, &wbCounter::onPush, &second), 0);
    ASSERT_TRUE(second.waitFor(1));
    EXPECT_EQ(first.calls(), 1);
    // doWbPush clears the pair before it starts the push.
    ASSERT_EQ(ZEL_CAM_doWbPush(0), 0);
    camera().dspEvents().setWbCompletion(std::nullopt);
    completeAndSettle(2, 1u << 4);
    EXPECT_EQ(second.calls(), 1);
}

TEST_F(dspWbPushTest, aFailedPushWithdrawsItsRegistration) {
    wbCounter counter;
    camera().dsp().setFailingCode(0x0A, kErrorStatus);
    EXPECT_EQ(ZEL_CAM_doWbPushCb(0, &wbCounter::onPush, &counter), 1);
    camera().dsp().setFailingCode(0x0A, 0);
    // The marker registers after the FPGA completion; the counter must not have been called.
    completeAndSettle(0, 1u << 6);
    EXPECT_EQ(counter.calls(), 0);
}

TEST_F(dspWbPushTest, theSkipBitLeavesTheHeadsCallbackRegistered) {
    wbCounter counter;
    ASSERT_EQ(ZEL_CAM_doWbPushCb(0, &wbCounter::onPush, &counter), 0);
    injectHandled(1, (1u << 15) | (1u << 5));
    camera().injectInterrupt(1, emulatedDspEvents::statusData(1, 1u << 5));
    ASSERT_TRUE(counter.waitFor(1));
    EXPECT_EQ(counter.calls(), 1);
}

// Two writers of the whole table and a reader: every table read is one writer's whole table.
TEST_F(dspExportsTest, concurrentDpcTablesNeverInterleave) {
    camera().stopRecording();
    auto uniformTable = [](uint16_t value) {
        std::array<DpcEntry, 16> table;
        table.fill(DpcEntry{value, value});
        return table;
    };
    const auto first = uniformTable(0x111);
    const auto second = uniformTable(0x222);
    ASSERT_EQ(ZEL_CAM_setDpcTable(0, first.data()), 0);
    std::atomic<bool> mixed{false};
    auto writer = [&](const std::array<DpcEntry, 16>& table) {
        for (int i = 0; i < 40; ++i) {
            ZEL_CAM_setDpcTable(0, table.data());
        }
    };
    std::thread a(writer, std::cref(first));
    std::thread b(writer, std::cref(second));
    for (int i = 0; i < 40; ++i) {
        std::array<DpcEntry, 16> read{};
        ASSERT_EQ(ZEL_CAM_getDpcTable(0, read.data()), 0);
        for (const DpcEntry& entry : read) {
            mixed = mixed || entry.x != read[0].x || entry.y != read[0].y;
        }
    }
    a.join();
    b.join();
    EXPECT_FALSE(mixed);
}

// Values read from random blocks, written back to a cleared block and read again are the same.
TEST_F(dspExportsTest, everyPairRoundTripsThroughTheCamera) {
    using setter = std::function<int32_t(const values&)>;
    auto u8 = [](const values& v, std::size_t i) { return static_cast<uint8_t>(v[i]); };
    auto u16 = [](const values& v, std::size_t i) { return static_cast<uint16_t>(v[i]); };
    auto bytes = [](const values& v, std::size_t from, std::size_t count) {
        return std::vector<uint8_t>(v.begin() + static_cast<long>(from),
                                    v.begin() + static_cast<long>(from + count));
    };
    auto words = [](const values& v, std::size_t from, std::size_t count) {
        return std::vector<uint16_t>(v.begin() + static_cast<long>(from),
                                     v.begin() + static_cast<long>(from + count));
    };
    const std::vector<std::pair<std::string, setter>> pairs = {
        {"ZEL_CAM_getGain",
         [&](const values& v) { return ZEL_CAM_setGain(0, words(v, 0, 4).data()); }},
        {"ZEL_CAM_getCrCbGain",
         [&](const values& v) {
             return ZEL_CAM_setCrCbGain(0, u16(v, 0), u16(v, 1), u16(v, 2), u16(v, 3), u16(v, 4));
         }},
        {"ZEL_CAM_getHue", [&](const values& v) { return ZEL_CAM_setHue(0, u16(v, 0)); }},
        {"ZEL_CAM_getSaturation",
         [&](const values& v) { return ZEL_CAM_setSaturation(0, u16(v, 0)); }},
        {"ZEL_CAM_getOffset",
         [&](const values& v) { return ZEL_CAM_setOffset(0, static_cast<int16_t>(v[0])); }},
        {"ZEL_CAM_getGamma",
         [&](const values& v) { return ZEL_CAM_setGamma(0, u8(v, 0), bytes(v, 1, 36).data(), 0); }},
        {"ZEL_CAM_getColorMatrix",
         [&](const values& v) { return ZEL_CAM_setColorMatrix(0, words(v, 0, 9).data()); }},
        {"ZEL_CAM_getBayerMode",
         [&](const values& v) { return ZEL_CAM_setBayerMode(0, u8(v, 0)); }},
        {"ZEL_CAM_getEdgeEnhancement",
         [&](const values& v) {
             return ZEL_CAM_setEdgeEnhancement(0, u8(v, 0), u8(v, 1), u8(v, 2), u16(v, 3),
                                               u16(v, 4), 0);
         }},
        {"ZEL_CAM_getSobel",
         [&](const values& v) {
             return ZEL_CAM_setSobel(0, u8(v, 0), u8(v, 1), u8(v, 2), u8(v, 3), 0);
         }},
        {"ZEL_CAM_getMaskEnable",
         [&](const values& v) { return ZEL_CAM_setMaskEnable(0, u8(v, 0), u8(v, 1), u8(v, 2)); }},
        {"ZEL_CAM_getMaskParams",
         [&](const values& v) {
             return ZEL_CAM_setMaskParams(0, u16(v, 0), u16(v, 1), u16(v, 2), u16(v, 3), u16(v, 4));
         }},
        {"ZEL_CAM_getWbWindow",
         [&](const values& v) {
             return ZEL_CAM_setWbWindow(0, u16(v, 0), u16(v, 1), u16(v, 2), u16(v, 3), u8(v, 4));
         }},
        {"ZEL_CAM_getScaleZ",
         [&](const values& v) {
             return ZEL_CAM_setScaleZ(0, u8(v, 0), u16(v, 1), u16(v, 2), u16(v, 3), u16(v, 4),
                                      u8(v, 5));
         }},
        {"ZEL_CAM_getScale",
         [&](const values& v) {
             return ZEL_CAM_setScale(0, u8(v, 0), u16(v, 1), u16(v, 2), u16(v, 3), u16(v, 4));
         }},
        {"ZEL_CAM_getBinning",
         [&](const values& v) { return ZEL_CAM_setBinning(0, u8(v, 0), u8(v, 1)); }},
        {"ZEL_CAM_getHvFlip",
         [&](const values& v) { return ZEL_CAM_setHvFlip(0, u8(v, 0), u8(v, 1)); }},
        {"ZEL_CAM_getTarget",
         [&](const values& v) {
             const uint16_t target = u16(v, 0);
             return ZEL_CAM_setTarget(0, &target);
         }},
        {"ZEL_CAM_getOvExp",
         [&](const values& v) { return ZEL_CAM_setOvExp(0, u8(v, 0), u16(v, 1), u8(v, 2)); }},
        {"ZEL_CAM_getOvExpTarget",
         [&](const values& v) {
             return ZEL_CAM_setOvExpTarget(0, u8(v, 0), u8(v, 1), u8(v, 2), u8(v, 3));
         }},
        {"ZEL_CAM_getOvExpTargetSteps",
         [&](const values& v) {
             return ZEL_CAM_setOvExpTargetSteps(0, u8(v, 0), bytes(v, 1, 3).data(),
                                                bytes(v, 4, 3).data(), bytes(v, 7, 3).data(),
                                                u8(v, 10));
         }},
        {"ZEL_CAM_getOvExpWeight",
         [&](const values& v) {
             return ZEL_CAM_setOvExpWeight(0, u16(v, 0), u16(v, 1), u16(v, 2), u16(v, 3),
                                           bytes(v, 4, 16).data());
         }},
        {"ZEL_CAM_getDpcConfig",
         [&](const values& v) { return ZEL_CAM_setDpcConfig(0, u8(v, 0), u16(v, 2)); }},
        {"ZEL_CAM_getDpcTable",
         [&](const values& v) {
             DpcEntry table[16];
             for (int i = 0; i < 16; ++i) {
                 table[i] = {u16(v, 2 * i), u16(v, 2 * i + 1)};
             }
             return ZEL_CAM_setDpcTable(0, table);
         }},
        {"ZEL_CAM_getWindowSizes",
         [&](const values& v) { return ZEL_CAM_setWindowSizes(0, bytes(v, 0, 33).data()); }},
        {"ZEL_CAM_getWindowPosition",
         [&](const values& v) { return ZEL_CAM_setWindowPosition(0, bytes(v, 0, 3).data()); }},
        {"ZEL_CAM_getAEValues",
         [&](const values& v) { return ZEL_CAM_setAEValues(0, bytes(v, 0, 15).data()); }},
        {"ZEL_CAM_getKeySetting",
         [&](const values& v) { return ZEL_CAM_setKeySetting(0, bytes(v, 0, 50).data()); }},
        {"ZEL_CAM_getucConfig",
         [&](const values& v) { return ZEL_CAM_setucConfig(0, bytes(v, 0, 4).data()); }},
        {"ZEL_CAM_getEdgeMode",
         [&](const values& v) {
             const uint8_t mode = u8(v, 0);
             return ZEL_CAM_setEdgeMode(0, &mode);
         }},
        {"ZEL_CAM_getCamType",
         [&](const values& v) {
             const uint8_t type = u8(v, 0);
             return ZEL_CAM_setCamType(0, &type);
         }},
    };
    camera().stopRecording();
    camera().dsp().fillRandom(20261207);
    // Coordinates beyond the reported limits, odd ones and static flip keys read back changed
    // on purpose; these blocks get values that survive the trip.
    camera().dsp().setDspBlock(0x08, {0x07, 0x7E, 0x04, 0x36, 0x00, 0x10, 0x00, 0x20, 0x01});
    camera().dsp().setDspBlock(0x1E, {0x03});
    for (const auto& pair : pairs) {
        const getterRow& row = getter(pair.first);
        values before;
        ASSERT_EQ(row.call(0, -1, before), 0) << row.name;
        camera().dsp().setDspBlock(row.code, {});
        ASSERT_EQ(pair.second(before), 0) << row.name;
        values after;
        ASSERT_EQ(row.call(0, -1, after), 0) << row.name;
        EXPECT_EQ(after, before) << row.name;
    }
}

}  // namespace

namespace {

// A closed camera has no command channel: getters report their failure values, setters fail.
TEST_F(dspExportsTest, withoutTheCommandChannelEveryCallFails) {
    ASSERT_EQ(ZEL_CAM_Close(0), 0);
    for (const getterRow& row : getters()) {
        values out;
        EXPECT_EQ(row.call(0, -1, out), 1) << row.name;
        EXPECT_EQ(out, row.failure) << row.name;
    }
    for (const setterRow& row : setters()) {
        EXPECT_EQ(row.call(0, -1), 1) << row.name;
    }
    EXPECT_EQ(ZEL_CAM_SaveDspToEEp(0), 1);
    EXPECT_GE(countLines("ERROR cameraDsp::getDspFunction: HID not initialized"), 1u);
    EXPECT_GE(countLines("ERROR cameraDsp::setDspFunction: HID not initialized"), 1u);
}

}  // namespace
