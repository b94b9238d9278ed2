#pragma once

#include <X11/Xlib.h>

namespace dravix::platform {

// Catches the X errors and the loss of the connection of one Display for as long as it lives, so
// that neither ends the process. Xlib's default handlers print and call exit().
//
// Xlib has only process-wide handlers. A trap installs its own for its lifetime and restores the
// previous ones afterwards; one trap at a time is active in the process (others wait), and errors
// of other connections meanwhile go on to the handlers that were installed before. Errors of a
// connection are only read during calls on it, so a connection used only inside traps never hands
// an error to the application's handlers. An application that replaces the handlers from another
// thread while a trap is active races with it: Xlib offers no per-connection handler.
//
// On the trap's Display, a lost connection makes the current and every later Xlib call fail
// instead of exiting; the Display must then only be closed, which any thread may do.
class x11ErrorTrap {
  public:
    explicit x11ErrorTrap(Display* display);
    ~x11ErrorTrap();
    x11ErrorTrap(const x11ErrorTrap&) = delete;
    x11ErrorTrap& operator=(const x11ErrorTrap&) = delete;

    // Waits until the server has handled every request sent so far. The code of the first error
    // caught since the trap was set up, or Success (0).
    int sync();
    // Closes the connection, still catching what closing finds, and stops matching its address,
    // which the next connection opened by any thread may get.
    void closeDisplay();
    // Whether the connection was lost while the trap was active.
    bool connectionLost() const { return connectionLost_; }

  private:
    static int handleError(Display* display, XErrorEvent* event);
    static int handleIoError(Display* display);
    static void continueAfterIoError(Display* display, void* userData);

    Display* const display_;
    int firstError_ = Success;
    bool connectionLost_ = false;
};

}  // namespace dravix::platform
