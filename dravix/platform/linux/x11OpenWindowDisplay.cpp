#include <X11/Xlib.h>

#include <cstdint>
#include <memory>

#include "platform/display.h"
#include "platform/linux/x11WindowDisplay.h"

namespace dravix::platform {

// The handle carries the X11 window id itself, not a pointer to it. When null is returned,
// x11WindowDisplay::lastError() says why.
std::unique_ptr<windowDisplay> openWindowDisplay(void* window) {
    return x11WindowDisplay::open(static_cast<Window>(reinterpret_cast<uintptr_t>(window)));
}

}  // namespace dravix::platform
