#include "camera/backendRegistry.h"

#include "emu/emulatedCameraSet.h"
#include "platform/linux/hidapiBackend.h"
#include "platform/linux/v4l2Backend.h"

namespace dravix {

namespace {

emu::emulatedCameraSet& emulator() {
    return emu::emulatedCameraSet::instance();
}

}  // namespace

// The emulator's set is created here, before the registry's members refer to it, so that it
// outlives the registry and every camera that uses its devices.
backendRegistry::backendRegistry()
    : systemHid_(std::make_unique<platform::hidapiBackend>()),
      systemVideo_(std::make_unique<platform::v4l2Backend>()),
      hid_{systemHid_.get(), &emulator().hidBackend()},
      video_{systemVideo_.get(), &emulator().videoBackend()} {}

}  // namespace dravix
