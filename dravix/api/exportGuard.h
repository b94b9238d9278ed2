#pragma once

#include <cstdint>
#include <memory>

// Checks shared by the exports. Each takes the export's own name (pass __func__) so that its
// messages name the export that failed.
//
// No C++ exception leaves an export: every export's body is a function-try-block whose handler
// is failedByException(__func__):
//
//     int32_t ZEL_CAM_Something(int32_t index) try {
//         ...
//     } catch (...) {
//         return failedByException(__func__);
//     }
namespace dravix {

class camera;

constexpr int32_t kResultSuccess = 0;
constexpr int32_t kResultFailure = 1;

// ERROR "main::<export>: DEVICE NOT FOUND".
void reportDeviceNotFound(const char* exportName);
// ERROR "main::<export>: CAMERA NOT INITIALIZED".
void reportCameraNotInitialized(const char* exportName);

// The common guard: an index outside the table is DEVICE NOT FOUND, an empty slot CAMERA NOT
// INITIALIZED. Returns the camera, held for the export until it drops the pointer (a Destroy or
// Init meanwhile waits for that), or null after the message.
std::shared_ptr<camera> guardedCamera(const char* exportName, int32_t index);
// The guard of the exports that treat an index outside the table as an empty slot: only CAMERA
// NOT INITIALIZED. Returns the held camera, or null after the message.
std::shared_ptr<camera> guardedSlot(const char* exportName, int32_t index);

// The handler of every export, called inside `catch (...)`: logs ERROR "main::<export>: ..."
// naming the exception (out of memory, a system error with its code, or its text) and returns
// kResultFailure, the failure result of the exports that return an int32_t.
int32_t failedByException(const char* exportName) noexcept;

// True (after ERROR "main::<export>: NULL POINTER") when `pointer` is null.
bool isNullArgument(const char* exportName, const void* pointer);

// WARN "<export>: not available in this build"; returns kResultFailure.
int32_t reportNotAvailable(const char* exportName);
// An export whose feature this build lacks: the common guard, then "not available".
int32_t unavailableForCamera(const char* exportName, int32_t index);
// The same behind the empty-slot-only guard.
int32_t unavailableForSlot(const char* exportName, int32_t index);
// An export that does nothing: the common guard, then WARN "not implemented!"; returns
// kResultFailure.
int32_t notImplementedForCamera(const char* exportName, int32_t index);

}  // namespace dravix
