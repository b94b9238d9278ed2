// Built into the shared library only. A client may unload the library without calling
// ZEL_CAM_Destroy; the threads of its cameras and of the log would then run on unmapped code, so
// the cameras are destroyed and the log is ended here. This runs before the library's static
// objects are destroyed. Last, the HID library's process-wide state is freed: the HID library
// may stay loaded for another user, and would keep it for good.
#include "camera/libraryState.h"
#include "log/logger.h"
#include "platform/hid.h"

namespace {

__attribute__((destructor)) void endLibraryOnUnload() {
    if (dravix::libraryState* state = dravix::libraryState::existing()) {
        state->destroyAll();
    }
    dravix::libraryLog().close();
    dravix::platform::releaseSystemHid();
}

}  // namespace
