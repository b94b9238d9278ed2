// What the system's HID access keeps for the whole process on Linux: hidapi's state.
#include "platform/hid.h"
#include "platform/linux/hidapiBackend.h"

namespace dravix::platform {

void releaseSystemHid() {
    hidapiBackend::releaseLibrary();
}

}  // namespace dravix::platform
