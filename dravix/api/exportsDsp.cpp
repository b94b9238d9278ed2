// Image pipeline (DSP) parameter exports. An index outside the table counts as an empty slot.
#include "api/exportGuard.h"
#include "dravix/dravix.h"

using namespace dravix;

extern "C" {

int32_t ZEL_CAM_getToggleState(int32_t index, uint8_t* /*state*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_SaveDspToEEp(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getEdgeEnhancement(int32_t index, uint8_t* /*enable*/, uint8_t* /*a*/,
                                   uint8_t* /*b*/, uint16_t* /*c*/, uint16_t* /*d*/,
                                   uint8_t /*bank*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setEdgeEnhancement(int32_t index, uint8_t /*enable*/, uint8_t /*a*/, uint8_t /*b*/,
                                   uint16_t /*c*/, uint16_t /*d*/, uint8_t /*bank*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getCrCbGain(int32_t index, uint16_t* /*a*/, uint16_t* /*b*/, uint16_t* /*c*/,
                            uint16_t* /*d*/, uint16_t* /*e*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setCrCbGain(int32_t index, uint16_t /*a*/, uint16_t /*b*/, uint16_t /*c*/,
                            uint16_t /*d*/, uint16_t /*e*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getHue(int32_t index, uint16_t* /*hue*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setHue(int32_t index, uint16_t /*hue*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getSaturation(int32_t index, uint16_t* /*saturation*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setSaturation(int32_t index, uint16_t /*saturation*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getMaskEnable(int32_t index, uint8_t* /*m1*/, uint8_t* /*m2*/,
                              uint8_t* /*m3*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setMaskEnable(int32_t index, uint8_t /*m1*/, uint8_t /*m2*/, uint8_t /*m3*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getMaskParams(int32_t index, uint16_t* /*a*/, uint16_t* /*b*/, uint16_t* /*c*/,
                              uint16_t* /*d*/, uint16_t* /*e*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setMaskParams(int32_t index, uint16_t /*a*/, uint16_t /*b*/, uint16_t /*c*/,
                              uint16_t /*d*/, uint16_t /*e*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getGamma(int32_t index, uint8_t* /*enable*/, uint8_t* /*curve*/,
                         uint8_t /*bank*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setGamma(int32_t index, uint8_t /*enable*/, const uint8_t* /*curve*/,
                         uint8_t /*bank*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getGain(int32_t index, uint16_t* /*gains*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setGain(int32_t index, const uint16_t* /*gains*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getSobel(int32_t index, uint8_t* /*enable*/, uint8_t* /*a*/, uint8_t* /*b*/,
                         uint8_t* /*c*/, uint8_t /*bank*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setSobel(int32_t index, uint8_t /*enable*/, uint8_t /*a*/, uint8_t /*b*/,
                         uint8_t /*c*/, uint8_t /*bank*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getWbWindow(int32_t index, uint16_t* /*x1*/, uint16_t* /*y1*/, uint16_t* /*x2*/,
                            uint16_t* /*y2*/, uint8_t* /*enable*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setWbWindow(int32_t index, uint16_t /*x1*/, uint16_t /*y1*/, uint16_t /*x2*/,
                            uint16_t /*y2*/, uint8_t /*enable*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_doWbPush(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_doWbPushCb(int32_t index, WbPushCallback /*callback*/, void* /*user*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getColorMatrix(int32_t index, uint16_t* /*matrix*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setColorMatrix(int32_t index, const uint16_t* /*matrix*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getWindowSizes(int32_t index, uint8_t* /*sizes*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setWindowSizes(int32_t index, const uint8_t* /*sizes*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getWindowPosition(int32_t index, uint8_t* /*position*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setWindowPosition(int32_t index, const uint8_t* /*position*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getTarget(int32_t index, uint16_t* /*target*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setTarget(int32_t index, const uint16_t* /*target*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getAEValues(int32_t index, uint8_t* /*values*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setAEValues(int32_t index, const uint8_t* /*values*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getKeySetting(int32_t index, uint8_t* /*setting*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setKeySetting(int32_t index, const uint8_t* /*setting*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getEdgeMode(int32_t index, uint8_t* /*mode*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setEdgeMode(int32_t index, const uint8_t* /*mode*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getScale(int32_t index, uint8_t* /*mode*/, uint16_t* /*a*/, uint16_t* /*b*/,
                         uint16_t* /*c*/, uint16_t* /*d*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setScale(int32_t index, uint8_t /*mode*/, uint16_t /*a*/, uint16_t /*b*/,
                         uint16_t /*c*/, uint16_t /*d*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getMeasVals(int32_t index, void* /*values*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setWindowAEMode(int32_t index, const uint8_t* /*mode*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getOffset(int32_t index, int16_t* /*offset*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setOffset(int32_t index, int16_t /*offset*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getCamType(int32_t index, uint8_t* /*type*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setCamType(int32_t index, const uint8_t* /*type*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_rqUpInt(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setRawMode(int32_t index, const uint8_t* /*mode*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getGammaChroma(int32_t index, uint8_t* /*curve*/, uint8_t /*bank*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setGammaChroma(int32_t index, const uint8_t* /*curve*/, uint8_t /*bank*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getHvFlip(int32_t index, uint8_t* /*horizontal*/, uint8_t* /*vertical*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setHvFlip(int32_t index, uint8_t /*horizontal*/, uint8_t /*vertical*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getDpcConfig(int32_t index, uint8_t* /*enable*/, uint8_t* /*spare*/,
                             uint16_t* /*value*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setDpcConfig(int32_t index, uint8_t /*enable*/, uint16_t /*value*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setDpcDetect(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getDpcTable(int32_t index, DpcEntry* /*table*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setDpcTable(int32_t index, const DpcEntry* /*table*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getOvExp(int32_t index, uint8_t* /*mode*/, uint16_t* /*value*/,
                         uint8_t* /*c*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setOvExp(int32_t index, uint8_t /*mode*/, uint16_t /*value*/, uint8_t /*c*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getOvExpTarget(int32_t index, uint8_t* /*a*/, uint8_t* /*b*/, uint8_t* /*c*/,
                               uint8_t* /*d*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setOvExpTarget(int32_t index, uint8_t /*a*/, uint8_t /*b*/, uint8_t /*c*/,
                               uint8_t /*d*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getOvExpWeight(int32_t index, uint16_t* /*a*/, uint16_t* /*b*/, uint16_t* /*c*/,
                               uint16_t* /*d*/, uint8_t* /*weights*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setOvExpWeight(int32_t index, uint16_t /*a*/, uint16_t /*b*/, uint16_t /*c*/,
                               uint16_t /*d*/, const uint8_t* /*weights*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getucConfig(int32_t index, uint8_t* /*config*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setucConfig(int32_t index, const uint8_t* /*config*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getBinning(int32_t index, uint8_t* /*a*/, uint8_t* /*b*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setBinning(int32_t index, uint8_t /*a*/, uint8_t /*b*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getScaleZ(int32_t index, uint8_t* /*mode*/, uint16_t* /*a*/, uint16_t* /*b*/,
                          uint16_t* /*c*/, uint16_t* /*d*/, uint8_t* /*z*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setScaleZ(int32_t index, uint8_t /*mode*/, uint16_t /*a*/, uint16_t /*b*/,
                          uint16_t /*c*/, uint16_t /*d*/, uint8_t /*z*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getOvExpTargetSteps(int32_t index, uint8_t* /*first*/, uint8_t* /*p*/,
                                    uint8_t* /*q*/, uint8_t* /*r*/, uint8_t* /*last*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setOvExpTargetSteps(int32_t index, uint8_t /*first*/, const uint8_t* /*p*/,
                                    const uint8_t* /*q*/, const uint8_t* /*r*/,
                                    uint8_t /*last*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getBayerMode(int32_t index, uint8_t* /*mode*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setBayerMode(int32_t index, uint8_t /*mode*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getHvFlipStatic(int32_t index, uint8_t* /*horizontal*/, uint8_t* /*vertical*/,
                                uint8_t* /*staticHorizontal*/, uint8_t* /*staticVertical*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

}  // extern "C"
