// Built into the shared library only. A client may unload the library without calling
// ZEL_CAM_Destroy; the log's threads would then run on unmapped code, so the log is ended here.
#include "api/libraryState.h"

namespace {

__attribute__((destructor)) void closeLibraryLogOnUnload() {
    dravix::libraryState::instance().closeLog();
}

}  // namespace
