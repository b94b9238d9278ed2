// Video exports: scale, frame counters, frame callback and colour mode.
#include "api/exportGuard.h"
#include "dravix/dravix.h"

using namespace dravix;

extern "C" {

int32_t ZEL_CAM_SetVideoScale(int32_t index, int32_t /*width*/, int32_t /*height*/,
                              float /*scale*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_GetFrameCounters(int32_t index, uint32_t* /*shownFrames*/,
                                 uint32_t* /*missedFrames*/, uint32_t* /*frameLength*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_FrameCallback(int32_t index, FrameCallback /*callback*/, void* /*user*/) {
    return unavailableForSlot(__func__, index);
}

int32_t ZEL_CAM_setColorMode(int32_t index, int32_t /*mode*/) {
    return unavailableForSlot(__func__, index);
}

}  // extern "C"
