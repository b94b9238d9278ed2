// Video exports: the window display's drawing area and scale, frame counters, frame callback
// and colour mode.
#include <cmath>

#include "api/exportGuard.h"
#include "camera/camera.h"
#include "dravix/dravix.h"
#include "log/logger.h"

namespace dravix {
namespace {

// A drawing area larger than any screen is refused before its buffer is allocated.
bool isValidDrawingArea(const char* exportName, int32_t width, int32_t height, float scale) {
    constexpr int32_t kMaxSide = fx3UvcVid::kMaxDisplaySide;
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) {
        libraryLog().error("main::%s: invalid display size %d x %d", exportName, width, height);
        return false;
    }
    if (!std::isfinite(scale) || scale <= 0.0f) {
        libraryLog().error("main::%s: invalid scale %f", exportName, static_cast<double>(scale));
        return false;
    }
    return true;
}

}  // namespace
}  // namespace dravix

using namespace dravix;

extern "C" {

int32_t ZEL_CAM_SetVideoScale(int32_t index, int32_t width, int32_t height, float scale) try {
    const std::shared_ptr<camera> cam = guardedCamera(__func__, index);
    if (cam == nullptr || !isValidDrawingArea(__func__, width, height, scale)) {
        return kResultFailure;
    }
    return cam->video().setVideoScale(width, height, scale);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_GetFrameCounters(int32_t index, uint32_t* shownFrames, uint32_t* missedFrames,
                                 uint32_t* frameLength) try {
    const std::shared_ptr<camera> cam = guardedCamera(__func__, index);
    if (cam == nullptr || isNullArgument(__func__, shownFrames) ||
        isNullArgument(__func__, missedFrames) || isNullArgument(__func__, frameLength)) {
        return kResultFailure;
    }
    const fx3UvcVid& video = cam->video();
    *shownFrames = video.shownFrames();
    *missedFrames = video.missedFrames();
    *frameLength = video.frameLength();
    return kResultSuccess;
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_FrameCallback(int32_t index, FrameCallback callback, void* user) try {
    const std::shared_ptr<camera> cam = guardedSlot(__func__, index);
    if (cam == nullptr) {
        return kResultFailure;
    }
    cam->video().setFrameCallback(callback, user);
    return kResultSuccess;
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_setColorMode(int32_t index, int32_t mode) try {
    const std::shared_ptr<camera> cam = guardedSlot(__func__, index);
    if (cam == nullptr) {
        return kResultFailure;
    }
    cam->video().setColorMode(mode);
    return kResultSuccess;
} catch (...) {
    return failedByException(__func__);
}

}  // extern "C"
