// Version queries, the analysis functions and the other exports that report "not implemented!".
#include <cstdio>
#include <string>

#include "api/apiVersion.h"
#include "api/exportGuard.h"
#include "camera/libraryState.h"
#include "dravix/dravix.h"
#include "log/logger.h"

namespace dravix {
namespace {

void logPointerWidth() {
    libraryLog().info("dll: %d bit ", apiVersion::kPointerBits);
}

// The common guard, then the WARN `text`; always a failure.
int32_t guardedNotImplemented(const char* exportName, int32_t index, const std::string& text) {
    if (guardedCamera(exportName, index) != nullptr) {
        libraryLog().warn("%s", text.c_str());
    }
    return kResultFailure;
}

// The analysis functions have no guard messages: they only say so when a camera is there.
int32_t analysisNotImplemented(int32_t index) {
    if (libraryState::instance().cameraAt(index) != nullptr) {
        libraryLog().warn("not implemented!");
    }
    return kResultFailure;
}

}  // namespace
}  // namespace dravix

using namespace dravix;

// Defined with C linkage, so that a definition whose parameters differ from the header's
// prototype is a conflicting declaration rather than a silent overload.
extern "C" {

int32_t ZEL_CAM_GetApiVersion(char* text) try {
    libraryState::instance().openLogIfAbsent();
    if (isNullArgument(__func__, text)) {
        return kResultFailure;
    }
    const int written = std::snprintf(text, apiVersion::kTextBufferSize, "%d.%d.%d",
                                      apiVersion::kMajor, apiVersion::kMinor, apiVersion::kPatch);
    logger& log = libraryLog();
    log.info("API Version: %d.%d.%d", apiVersion::kMajor, apiVersion::kMinor, apiVersion::kPatch);
    log.info("API Build:   %2d.%2d.%d.%d", apiVersion::kBuildYear, apiVersion::kBuildWeek,
             apiVersion::kBuildMinor, apiVersion::kBuildNumber);
    logPointerWidth();
    return written;
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_GetApiBuild(char* text) try {
    if (isNullArgument(__func__, text)) {
        return kResultFailure;
    }
    const int written =
        std::snprintf(text, apiVersion::kTextBufferSize, "%2d.%2d.%d.%d", apiVersion::kBuildYear,
                      apiVersion::kBuildWeek, apiVersion::kBuildMinor, apiVersion::kBuildNumber);
    libraryLog().info("API Build: %2d.%2d.%d.%d", apiVersion::kBuildYear, apiVersion::kBuildWeek,
                      apiVersion::kBuildMinor, apiVersion::kBuildNumber);
    logPointerWidth();
    return written;
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_GetApiVersionNumber(uint32_t* version) try {
    if (isNullArgument(__func__, version)) {
        return kResultFailure;
    }
    *version = apiVersion::kNumber;
    return kResultSuccess;
} catch (...) {
    return failedByException(__func__);
}

// A camera that loses its device is always reopened by its device watcher.
int32_t ZEL_CAM_setAutorestart(int32_t index, int32_t /*enable*/) try {
    return guardedNotImplemented(__func__, index, "not implemented!");
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_getIni(int32_t index, char* /*text*/, int32_t /*length*/) try {
    return guardedNotImplemented(__func__, index, std::string(__func__) + ": not implemented!");
} catch (...) {
    return failedByException(__func__);
}

// One analysis function per arity; the others of that arity are aliases of it.
int32_t ZEL_CAM_getVectorscopeArr(int32_t index, uint8_t* /*data*/) try {
    return analysisNotImplemented(index);
} catch (...) {
    return failedByException(__func__);
}
int32_t ZEL_CAM_getHistogramArr(int32_t, uint8_t*)
    __attribute__((alias("ZEL_CAM_getVectorscopeArr")));
int32_t ZEL_CAM_getDiffArr(int32_t, uint8_t*) __attribute__((alias("ZEL_CAM_getVectorscopeArr")));

int32_t ZEL_CAM_getVectorscopeArrW(int32_t index, uint8_t* /*data*/, int32_t /*width*/) try {
    return analysisNotImplemented(index);
} catch (...) {
    return failedByException(__func__);
}
int32_t ZEL_CAM_getHistogramArrW(int32_t, uint8_t*, int32_t)
    __attribute__((alias("ZEL_CAM_getVectorscopeArrW")));

int32_t ZEL_CAM_getLine(int32_t index, uint8_t* /*line*/, uint16_t /*row*/, int32_t /*mode*/) try {
    return analysisNotImplemented(index);
} catch (...) {
    return failedByException(__func__);
}
int32_t ZEL_CAM_getWave(int32_t, uint8_t*, uint16_t, int32_t)
    __attribute__((alias("ZEL_CAM_getLine")));
int32_t ZEL_CAM_getRGBWave(int32_t, uint8_t*, uint16_t, int32_t)
    __attribute__((alias("ZEL_CAM_getLine")));

int32_t ZEL_CAM_getWaveW(int32_t index, uint8_t* /*data*/, uint16_t /*row*/, int32_t /*mode*/,
                         int32_t /*width*/) try {
    return analysisNotImplemented(index);
} catch (...) {
    return failedByException(__func__);
}
int32_t ZEL_CAM_getRGBWaveW(int32_t, uint8_t*, uint16_t, int32_t, int32_t)
    __attribute__((alias("ZEL_CAM_getWaveW")));

}  // extern "C"
