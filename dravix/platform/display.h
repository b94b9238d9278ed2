#pragma once

#include <cstdint>
#include <memory>

// Drawing into a client's window: the library's own live display.
namespace dravix::platform {

// A window to draw into. Created on one thread and then used by one thread at a time.
class windowDisplay {
public:
    virtual ~windowDisplay() = default;
    // Draws a top-down image of 24-bit pixels (blue, green, red), `width` × `height`, with rows
    // width × 3 bytes apart, at the window's origin. 0, or a negative value when it failed.
    virtual int draw(const uint8_t* bgr, int width, int height) = 0;
};

// The display of the native window `window` (on Linux an X11 window id); null when the window
// cannot be reached.
std::unique_ptr<windowDisplay> openWindowDisplay(void* window);

}  // namespace dravix::platform
