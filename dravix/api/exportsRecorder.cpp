// Recorder unit exports. An index outside the table counts as an empty slot. Each export checks
// its camera (held for the call), builds the parameter bytes of its recorder function and sends
// it; no exception leaves an export.
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "api/exportGuard.h"
#include "camera/camera.h"
#include "dravix/dravix.h"
#include "dsp/cameraRec.h"
#include "dsp/recorderParameters.h"
#include "log/logger.h"

using namespace dravix;

namespace {

// The guard, then function `function` with the parameter bytes `parameters` makes for the camera.
template <typename Parameters>
int32_t sendRecFunc(const char* exportName, int32_t index, RecFunction function,
                    Parameters parameters) {
    const std::shared_ptr<camera> cam = guardedSlot(exportName, index);
    if (cam == nullptr) {
        return kResultFailure;
    }
    const std::vector<uint8_t> bytes = parameters(*cam);
    return cam->setRecFunc(recCode(function), bytes.data(), static_cast<uint8_t>(bytes.size()));
}

// The functions without arguments send one zero byte.
int32_t sendPlain(const char* exportName, int32_t index, RecFunction function) {
    return sendRecFunc(exportName, index, function,
                       [](cameraRec&) { return std::vector<uint8_t>{0}; });
}

// A text too long for one report is refused, nothing sent: cut, it would lose its end marker and
// the recorder would run another command than asked. Reads no further than one character past
// the longest text that fits.
int32_t sendCommandText(const char* exportName, int32_t index, const char* text) {
    const std::shared_ptr<camera> cam = guardedSlot(exportName, index);
    if (cam == nullptr || isNullArgument(exportName, text)) {
        return kResultFailure;
    }
    const std::size_t length = strnlen(text, recorderParameters::kMaxCommandText + 1);
    const std::optional<std::vector<uint8_t>> frame =
        recorderParameters::commandFrame(text, length);
    if (!frame) {
        libraryLog().error("main::%s: command text longer than %zu characters", exportName,
                           recorderParameters::kMaxCommandText);
        return kResultFailure;
    }
    return cam->setRecFunc(recCode(RecFunction::SetCmd), frame->data(),
                           static_cast<uint8_t>(frame->size()));
}

}  // namespace

extern "C" {

int32_t ZEL_CAM_recStart(int32_t index) try {
    return sendPlain(__func__, index, RecFunction::Start);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recStop(int32_t index) try {
    return sendPlain(__func__, index, RecFunction::Stop);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recCapture(int32_t index) try {
    return sendPlain(__func__, index, RecFunction::Capture);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recUpdate(int32_t index) try {
    return sendPlain(__func__, index, RecFunction::Update);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recReboot(int32_t index) try {
    return sendPlain(__func__, index, RecFunction::Reboot);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recExplorer(int32_t index) try {
    return sendPlain(__func__, index, RecFunction::Explorer);
} catch (...) {
    return failedByException(__func__);
}

// The clock is read once the camera is found, at the moment of sending.
int32_t ZEL_CAM_recSetDate(int32_t index) try {
    return sendRecFunc(__func__, index, RecFunction::SetDate, [](cameraRec& rec) {
        const auto date = recorderParameters::dateBytes(rec.now());
        return std::vector<uint8_t>(date.begin(), date.end());
    });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recSetCmd(int32_t index, const char* command) try {
    return sendCommandText(__func__, index, command);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recSetDebugMode(int32_t index, uint8_t mode) try {
    return sendRecFunc(__func__, index, RecFunction::SetDebugMode,
                       [mode](cameraRec&) { return std::vector<uint8_t>{mode}; });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recSetOsdRec(int32_t index) try {
    return sendPlain(__func__, index, RecFunction::SetOsdRec);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recCopyLogfile(int32_t index) try {
    return sendPlain(__func__, index, RecFunction::CopyLogfile);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recReinitOsd(int32_t index) try {
    return sendPlain(__func__, index, RecFunction::ReinitOsd);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recPrepareUsb(int32_t index) try {
    return sendPlain(__func__, index, RecFunction::PrepareUsb);
} catch (...) {
    return failedByException(__func__);
}

}  // extern "C"
