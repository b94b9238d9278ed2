// Camera lifecycle exports. This build has no camera objects yet: Init and InitName only open
// the library log, and Destroy ends it.
#include "api/exportGuard.h"
#include "api/libraryState.h"
#include "dravix/dravix.h"

namespace dravix {
namespace {

int32_t initNotAvailable(const char* exportName) {
    libraryState::instance().openLogIfAbsent();
    return reportNotAvailable(exportName);
}

}  // namespace
}  // namespace dravix

using namespace dravix;

extern "C" {

int32_t ZEL_CAM_InitName(int32_t /*reserved*/, int32_t* /*index*/, uint8_t* /*count*/,
                         const char* /*matchName*/, uint16_t /*vendorId*/, uint16_t /*productId*/) {
    return initNotAvailable(__func__);
}

int32_t ZEL_CAM_Init(int32_t /*reserved*/, int32_t* /*index*/, uint8_t* /*count*/) {
    return initNotAvailable(__func__);
}

// An index beyond the table is reported and slot 9 is examined in its place, without being
// destroyed. The library log ends in every case.
int32_t ZEL_CAM_Destroy(uint8_t index) {
    libraryState& state = libraryState::instance();
    int32_t result = kResultSuccess;
    int32_t examined = index;
    if (!libraryState::isValidIndex(examined)) {
        reportDeviceNotFound(__func__);
        result = kResultFailure;
        examined = libraryState::kLastSlot;
    }
    if (state.cameraAt(examined) == nullptr) {
        reportCameraNotInitialized(__func__);
        result = kResultFailure;
    } else if (result == kResultSuccess) {
        result = reportNotAvailable(__func__);
    }
    state.closeLog();
    return result;
}

int32_t ZEL_CAM_Open(int32_t index) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_Close(int32_t index) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_Start(int32_t index, int32_t /*reserved*/, void* /*window*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_Stop(int32_t index) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_StartPic(int32_t index, int32_t /*reserved1*/, int32_t /*reserved2*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_StatusCallback(int32_t index, StatusCallback /*callback*/, void* /*user*/) {
    return unavailableForSlot(__func__, index);
}

}  // extern "C"
