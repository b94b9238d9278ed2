// The capture devices of the library on Linux: the system's V4L2 capture nodes, then the
// emulated cameras that DRAVIX_CAMEMU asks for.
#include "emu/emulatedCameraSet.h"
#include "platform/combinedVideoBackend.h"
#include "platform/linux/v4l2Backend.h"
#include "platform/video.h"

namespace dravix::platform {

videoBackend& systemVideo() {
    static v4l2Backend system;
    static combinedVideoBackend combined{&system,
                                         &emu::emulatedCameraSet::instance().videoBackend()};
    return combined;
}

}  // namespace dravix::platform
