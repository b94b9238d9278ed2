// Image pipeline (DSP) parameter exports. An index outside the table counts as an empty slot.
// Each export checks its camera (held for the call) and its pointers, then hands over to
// dspParameterAccess; no exception leaves an export.
#include <initializer_list>
#include <memory>

#include "camera/camera.h"
#include "api/exportGuard.h"
#include "dravix/dravix.h"
#include "dsp/dspParameterAccess.h"
#include "log/logger.h"

using namespace dravix;

namespace {

// The guard, then the null-pointer check of every pointer argument (nothing is sent when one
// fails), then `action` on the camera's parameters; its status is the result.
template <typename Action>
int32_t dspExport(const char* exportName, int32_t index,
                  std::initializer_list<const void*> pointers, Action action) {
    const std::shared_ptr<camera> cam = guardedSlot(exportName, index);
    if (cam == nullptr) {
        return kResultFailure;
    }
    for (const void* pointer : pointers) {
        if (isNullArgument(exportName, pointer)) {
            return kResultFailure;
        }
    }
    dspParameterAccess parameters(*cam, libraryLog(), exportName);
    return action(parameters);
}

int32_t getBytes(const char* exportName, int32_t index, DspFunction function, uint8_t* out) {
    return dspExport(exportName, index, {out},
                     [&](dspParameterAccess& p) { return p.getBytes(function, out); });
}

int32_t setBytes(const char* exportName, int32_t index, DspFunction function, const uint8_t* in) {
    return dspExport(exportName, index, {in},
                     [&](dspParameterAccess& p) { return p.setBytes(function, in); });
}

int32_t trigger(const char* exportName, int32_t index, DspFunction function) {
    return dspExport(exportName, index, {},
                     [&](dspParameterAccess& p) { return p.trigger(function); });
}

}  // namespace

extern "C" {

int32_t ZEL_CAM_getToggleState(int32_t index, uint8_t* state) try {
    return getBytes(__func__, index, DspFunction::ToggleState, state);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_SaveDspToEEp(int32_t index) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.saveDspSettings(); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getEdgeEnhancement(int32_t index, uint8_t* enable, uint8_t* a, uint8_t* b,
                                   uint16_t* c, uint16_t* d, uint8_t bank) try {
    return dspExport(__func__, index, {enable, a, b, c, d}, [&](dspParameterAccess& p) {
        return p.getEdgeEnhancement(enable, a, b, c, d, bank);
    });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setEdgeEnhancement(int32_t index, uint8_t enable, uint8_t a, uint8_t b, uint16_t c,
                                   uint16_t d, uint8_t bank) try {
    return dspExport(__func__, index, {}, [&](dspParameterAccess& p) {
        return p.setEdgeEnhancement(enable, a, b, c, d, bank);
    });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getCrCbGain(int32_t index, uint16_t* a, uint16_t* b, uint16_t* c, uint16_t* d,
                            uint16_t* e) try {
    return dspExport(__func__, index, {a, b, c, d, e},
                     [&](dspParameterAccess& p) { return p.getCrCbGain(a, b, c, d, e); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setCrCbGain(int32_t index, uint16_t a, uint16_t b, uint16_t c, uint16_t d,
                            uint16_t e) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setCrCbGain(a, b, c, d, e); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getHue(int32_t index, uint16_t* hue) try {
    return dspExport(__func__, index, {hue}, [&](dspParameterAccess& p) { return p.getHue(hue); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setHue(int32_t index, uint16_t hue) try {
    return dspExport(__func__, index, {}, [&](dspParameterAccess& p) { return p.setHue(hue); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getSaturation(int32_t index, uint16_t* saturation) try {
    return dspExport(__func__, index, {saturation},
                     [&](dspParameterAccess& p) { return p.getSaturation(saturation); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setSaturation(int32_t index, uint16_t saturation) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setSaturation(saturation); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getMaskEnable(int32_t index, uint8_t* m1, uint8_t* m2, uint8_t* m3) try {
    return dspExport(__func__, index, {m1, m2, m3},
                     [&](dspParameterAccess& p) { return p.getMaskEnable(m1, m2, m3); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setMaskEnable(int32_t index, uint8_t m1, uint8_t m2, uint8_t m3) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setMaskEnable(m1, m2, m3); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getMaskParams(int32_t index, uint16_t* a, uint16_t* b, uint16_t* c, uint16_t* d,
                              uint16_t* e) try {
    return dspExport(__func__, index, {a, b, c, d, e},
                     [&](dspParameterAccess& p) { return p.getMaskParams(a, b, c, d, e); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setMaskParams(int32_t index, uint16_t a, uint16_t b, uint16_t c, uint16_t d,
                              uint16_t e) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setMaskParams(a, b, c, d, e); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getGamma(int32_t index, uint8_t* enable, uint8_t* curve, uint8_t bank) try {
    return dspExport(__func__, index, {enable, curve},
                     [&](dspParameterAccess& p) { return p.getGamma(enable, curve, bank); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setGamma(int32_t index, uint8_t enable, const uint8_t* curve, uint8_t bank) try {
    return dspExport(__func__, index, {curve},
                     [&](dspParameterAccess& p) { return p.setGamma(enable, curve, bank); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getGain(int32_t index, uint16_t* gains) try {
    return dspExport(__func__, index, {gains},
                     [&](dspParameterAccess& p) { return p.getGain(gains); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setGain(int32_t index, const uint16_t* gains) try {
    return dspExport(__func__, index, {gains},
                     [&](dspParameterAccess& p) { return p.setGain(gains); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getSobel(int32_t index, uint8_t* enable, uint8_t* a, uint8_t* b, uint8_t* c,
                         uint8_t bank) try {
    return dspExport(__func__, index, {enable, a, b, c},
                     [&](dspParameterAccess& p) { return p.getSobel(enable, a, b, c, bank); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setSobel(int32_t index, uint8_t enable, uint8_t a, uint8_t b, uint8_t c,
                         uint8_t bank) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setSobel(enable, a, b, c, bank); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getWbWindow(int32_t index, uint16_t* x1, uint16_t* y1, uint16_t* x2, uint16_t* y2,
                            uint8_t* enable) try {
    return dspExport(__func__, index, {x1, y1, x2, y2, enable},
                     [&](dspParameterAccess& p) { return p.getWbWindow(x1, y1, x2, y2, enable); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setWbWindow(int32_t index, uint16_t x1, uint16_t y1, uint16_t x2, uint16_t y2,
                            uint8_t enable) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setWbWindow(x1, y1, x2, y2, enable); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_doWbPush(int32_t index) try {
    return dspExport(__func__, index, {}, [&](dspParameterAccess& p) { return p.doWbPush(); });
} catch (...) {
    return failedByException(__func__);
}

// A null callback is allowed: it clears the registration.
int32_t ZEL_CAM_doWbPushCb(int32_t index, WbPushCallback callback, void* user) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.doWbPushCb(callback, user); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getColorMatrix(int32_t index, uint16_t* matrix) try {
    return dspExport(__func__, index, {matrix},
                     [&](dspParameterAccess& p) { return p.getColorMatrix(matrix); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setColorMatrix(int32_t index, const uint16_t* matrix) try {
    return dspExport(__func__, index, {matrix},
                     [&](dspParameterAccess& p) { return p.setColorMatrix(matrix); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getWindowSizes(int32_t index, uint8_t* sizes) try {
    return getBytes(__func__, index, DspFunction::WindowSizes, sizes);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setWindowSizes(int32_t index, const uint8_t* sizes) try {
    return setBytes(__func__, index, DspFunction::WindowSizes, sizes);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getWindowPosition(int32_t index, uint8_t* position) try {
    return getBytes(__func__, index, DspFunction::WindowPosition, position);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setWindowPosition(int32_t index, const uint8_t* position) try {
    return setBytes(__func__, index, DspFunction::WindowPosition, position);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getTarget(int32_t index, uint16_t* target) try {
    return dspExport(__func__, index, {target},
                     [&](dspParameterAccess& p) { return p.getTarget(target); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setTarget(int32_t index, const uint16_t* target) try {
    return dspExport(__func__, index, {target},
                     [&](dspParameterAccess& p) { return p.setTarget(*target); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getAEValues(int32_t index, uint8_t* values) try {
    return getBytes(__func__, index, DspFunction::AEValues, values);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setAEValues(int32_t index, const uint8_t* values) try {
    return setBytes(__func__, index, DspFunction::AEValues, values);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getKeySetting(int32_t index, uint8_t* setting) try {
    return getBytes(__func__, index, DspFunction::KeySetting, setting);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setKeySetting(int32_t index, const uint8_t* setting) try {
    return setBytes(__func__, index, DspFunction::KeySetting, setting);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getEdgeMode(int32_t index, uint8_t* mode) try {
    return getBytes(__func__, index, DspFunction::EdgeMode, mode);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setEdgeMode(int32_t index, const uint8_t* mode) try {
    return setBytes(__func__, index, DspFunction::EdgeMode, mode);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getScale(int32_t index, uint8_t* mode, uint16_t* a, uint16_t* b, uint16_t* c,
                         uint16_t* d) try {
    return dspExport(__func__, index, {mode, a, b, c, d},
                     [&](dspParameterAccess& p) { return p.getScaleZ(mode, a, b, c, d, nullptr); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setScale(int32_t index, uint8_t mode, uint16_t a, uint16_t b, uint16_t c,
                         uint16_t d) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setScaleZ(mode, a, b, c, d, 1); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getMeasVals(int32_t index, void* /*values*/) try {
    if (guardedSlot(__func__, index) != nullptr) {
        libraryLog().warn("not implemented!");
    }
    return kResultFailure;
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setWindowAEMode(int32_t index, const uint8_t* mode) try {
    return setBytes(__func__, index, DspFunction::WindowAEMode, mode);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getOffset(int32_t index, int16_t* offset) try {
    return dspExport(__func__, index, {offset},
                     [&](dspParameterAccess& p) { return p.getOffset(offset); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setOffset(int32_t index, int16_t offset) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setOffset(offset); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getCamType(int32_t index, uint8_t* type) try {
    return getBytes(__func__, index, DspFunction::CamType, type);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setCamType(int32_t index, const uint8_t* type) try {
    return setBytes(__func__, index, DspFunction::CamType, type);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_rqUpInt(int32_t index) try {
    return trigger(__func__, index, DspFunction::UpInt);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setRawMode(int32_t index, const uint8_t* mode) try {
    return setBytes(__func__, index, DspFunction::RawMode, mode);
} catch (...) {
    return failedByException(__func__);
}

// Removed from the camera: no guard, only the warning.
int32_t ZEL_CAM_getGammaChroma(int32_t /*index*/, uint8_t* /*curve*/, uint8_t /*bank*/) try {
    libraryLog().warn("getGammaChroma: not longer available!");
    return kResultFailure;
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setGammaChroma(int32_t /*index*/, const uint8_t* /*curve*/, uint8_t /*bank*/) try {
    libraryLog().warn("setGammaChroma: not longer available!");
    return kResultFailure;
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getHvFlip(int32_t index, uint8_t* horizontal, uint8_t* vertical) try {
    return dspExport(__func__, index, {horizontal, vertical},
                     [&](dspParameterAccess& p) { return p.getHvFlip(horizontal, vertical); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setHvFlip(int32_t index, uint8_t horizontal, uint8_t vertical) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setHvFlip(horizontal, vertical); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getDpcConfig(int32_t index, uint8_t* enable, uint8_t* spare, uint16_t* value) try {
    return dspExport(__func__, index, {enable, spare, value},
                     [&](dspParameterAccess& p) { return p.getDpcConfig(enable, spare, value); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setDpcConfig(int32_t index, uint8_t enable, uint16_t value) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setDpcConfig(enable, value); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setDpcDetect(int32_t index) try {
    return trigger(__func__, index, DspFunction::DpcDetect);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getDpcTable(int32_t index, DpcEntry* table) try {
    return dspExport(__func__, index, {table},
                     [&](dspParameterAccess& p) { return p.getDpcTable(table); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setDpcTable(int32_t index, const DpcEntry* table) try {
    return dspExport(__func__, index, {table},
                     [&](dspParameterAccess& p) { return p.setDpcTable(table); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getOvExp(int32_t index, uint8_t* mode, uint16_t* value, uint8_t* c) try {
    return dspExport(__func__, index, {mode, value, c},
                     [&](dspParameterAccess& p) { return p.getOvExp(mode, value, c); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setOvExp(int32_t index, uint8_t mode, uint16_t value, uint8_t c) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setOvExp(mode, value, c); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getOvExpTarget(int32_t index, uint8_t* a, uint8_t* b, uint8_t* c, uint8_t* d) try {
    return dspExport(__func__, index, {a, b, c, d},
                     [&](dspParameterAccess& p) { return p.getOvExpTarget(a, b, c, d); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setOvExpTarget(int32_t index, uint8_t a, uint8_t b, uint8_t c, uint8_t d) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setOvExpTarget(a, b, c, d); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getOvExpWeight(int32_t index, uint16_t* a, uint16_t* b, uint16_t* c, uint16_t* d,
                               uint8_t* weights) try {
    return dspExport(__func__, index, {a, b, c, d, weights},
                     [&](dspParameterAccess& p) { return p.getOvExpWeight(a, b, c, d, weights); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setOvExpWeight(int32_t index, uint16_t a, uint16_t b, uint16_t c, uint16_t d,
                               const uint8_t* weights) try {
    return dspExport(__func__, index, {weights},
                     [&](dspParameterAccess& p) { return p.setOvExpWeight(a, b, c, d, weights); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getucConfig(int32_t index, uint8_t* config) try {
    return getBytes(__func__, index, DspFunction::ucConfig, config);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setucConfig(int32_t index, const uint8_t* config) try {
    return dspExport(__func__, index, {config},
                     [&](dspParameterAccess& p) { return p.setucConfig(config); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getBinning(int32_t index, uint8_t* a, uint8_t* b) try {
    return dspExport(__func__, index, {a, b},
                     [&](dspParameterAccess& p) { return p.getBinning(a, b); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setBinning(int32_t index, uint8_t a, uint8_t b) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setBinning(a, b); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getScaleZ(int32_t index, uint8_t* mode, uint16_t* a, uint16_t* b, uint16_t* c,
                          uint16_t* d, uint8_t* z) try {
    return dspExport(__func__, index, {mode, a, b, c, d, z},
                     [&](dspParameterAccess& p) { return p.getScaleZ(mode, a, b, c, d, z); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setScaleZ(int32_t index, uint8_t mode, uint16_t a, uint16_t b, uint16_t c,
                          uint16_t d, uint8_t z) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setScaleZ(mode, a, b, c, d, z); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getOvExpTargetSteps(int32_t index, uint8_t* first, uint8_t* p, uint8_t* q,
                                    uint8_t* r, uint8_t* last) try {
    return dspExport(__func__, index, {first, p, q, r, last}, [&](dspParameterAccess& params) {
        return params.getOvExpTargetSteps(first, p, q, r, last);
    });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setOvExpTargetSteps(int32_t index, uint8_t first, const uint8_t* p,
                                    const uint8_t* q, const uint8_t* r, uint8_t last) try {
    return dspExport(__func__, index, {p, q, r}, [&](dspParameterAccess& params) {
        return params.setOvExpTargetSteps(first, p, q, r, last);
    });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getBayerMode(int32_t index, uint8_t* mode) try {
    return dspExport(__func__, index, {mode},
                     [&](dspParameterAccess& p) { return p.getBayerMode(mode); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setBayerMode(int32_t index, uint8_t mode) try {
    return dspExport(__func__, index, {},
                     [&](dspParameterAccess& p) { return p.setBayerMode(mode); });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getHvFlipStatic(int32_t index, uint8_t* horizontal, uint8_t* vertical,
                                uint8_t* staticHorizontal, uint8_t* staticVertical) try {
    return dspExport(__func__, index, {horizontal, vertical, staticHorizontal, staticVertical},
                     [&](dspParameterAccess& p) {
                         return p.getHvFlipStatic(horizontal, vertical, staticHorizontal,
                                                  staticVertical);
                     });
} catch (...) {
    return failedByException(__func__);
}

}  // extern "C"
