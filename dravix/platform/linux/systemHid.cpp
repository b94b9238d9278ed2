// The HID access of the library on Linux: the system's hidraw devices, then the emulated
// cameras that DRAVIX_CAMEMU asks for.
#include "emu/emulatedCameraSet.h"
#include "platform/combinedHidBackend.h"
#include "platform/hid.h"
#include "platform/linux/hidapiBackend.h"

namespace dravix::platform {

hidBackend& systemHid() {
    static hidapiBackend system;
    static combinedHidBackend combined{&system, &emu::emulatedCameraSet::instance().hidBackend()};
    return combined;
}

void releaseSystemHid() {
    hidapiBackend::releaseLibrary();
}

}  // namespace dravix::platform
