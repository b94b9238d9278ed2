#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/display.h"
#include "platform/linux/x11ImageBuffer.h"
#include "platform/linux/x11PixelLayout.h"

namespace dravix::platform {

// Draws into an X11 window through a connection of its own to the X server of $DISPLAY, with
// XPutImage. Every Xlib call on that connection runs inside an x11ErrorTrap, so neither an X
// error (the window destroyed meanwhile) nor the loss of the server ends the process.
//
// Threads: the object is created on one thread and then used by one thread at a time, with the
// hand-over synchronised by the caller; it may be destroyed on any thread. Its connection is never
// used by two threads at once, so it needs no XInitThreads for itself. Without XInitThreads Xlib
// promises nothing for calls on different connections at the same moment either (other instances,
// the application's own); libX11 1.8 and later calls it when it is loaded, which covers that.
// Xlib's error handlers are process-wide; see x11ErrorTrap for how they are shared.
class x11WindowDisplay final : public windowDisplay {
  public:
    // Null when the X server cannot be reached, `window` does not exist or is input-only, or its
    // visual is not TrueColor with a layout that x11PixelLayout supports; lastError() says why.
    static std::unique_ptr<x11WindowDisplay> open(Window window);
    // Why the calling thread's last open() failed, for the log; empty after a successful one.
    static const std::string& lastError();

    ~x11WindowDisplay() override;
    x11WindowDisplay(const x11WindowDisplay&) = delete;
    x11WindowDisplay& operator=(const x11WindowDisplay&) = delete;

    // Converts the image into the window's pixel layout, sends it and waits until the server has
    // drawn it: one round trip per frame, which also keeps a fast producer from piling frames up
    // in the server. 0; -EINVAL for a null image or a side outside 1..32767; -ENOMEM when no
    // image of that size can be had; -ENODEV when the window or the connection to the X server is
    // gone; -EIO for another X error.
    int draw(const uint8_t* bgr, int width, int height) override;

  private:
    explicit x11WindowDisplay(Display* display);

    // Each returns why the window cannot be drawn into, or an empty string.
    std::string attach(Window window);
    std::string readAttributes(Window window, XWindowAttributes& attributes);
    std::string learnLayout(const XWindowAttributes& attributes);
    std::string createGc(Window window);

    int putImage(XImage& image);
    // Runs `requests` on the connection inside an error trap and waits for the server: the first
    // X error code, or Success.
    template <typename Requests>
    int trapped(Requests&& requests);

    Display* const display_;
    Window window_ = None;
    GC gc_ = nullptr;
    std::optional<x11ImageBuffer> images_;
    std::optional<x11PixelLayout> layout_;
    bool connectionLost_ = false;
};

}  // namespace dravix::platform
