#include "platform/linux/x11ErrorTrap.h"

#include <atomic>
#include <mutex>

namespace dravix::platform {
namespace {

// The handlers are process-wide, so one trap at a time may own them.
std::mutex trapMutex;
// The connection of the active trap and the trap. Handlers on other threads compare only the
// connection: the trap itself is touched only for errors of its own connection, which are read on
// the trap's thread while it lives.
std::atomic<Display*> activeDisplay{nullptr};
std::atomic<x11ErrorTrap*> activeTrap{nullptr};
// The handlers installed before the active trap: the errors of other connections go there.
std::atomic<XErrorHandler> outerErrorHandler{nullptr};
std::atomic<XIOErrorHandler> outerIoErrorHandler{nullptr};

// Puts `previous` back. A handler that another thread installed over `ours` meanwhile stays.
template <typename Handler>
void restoreHandler(Handler (*install)(Handler), Handler previous, Handler ours) {
    const Handler current = install(previous);
    if (current != ours) {
        install(current);
    }
}

}  // namespace

x11ErrorTrap::x11ErrorTrap(Display* display) : display_(display) {
    trapMutex.lock();
    XSetIOErrorExitHandler(display_, &continueAfterIoError, nullptr);
    outerErrorHandler.store(XSetErrorHandler(&handleError));
    outerIoErrorHandler.store(XSetIOErrorHandler(&handleIoError));
    activeTrap.store(this);
    activeDisplay.store(display_);
}

x11ErrorTrap::~x11ErrorTrap() {
    restoreHandler(&XSetIOErrorHandler, outerIoErrorHandler.load(), &handleIoError);
    restoreHandler(&XSetErrorHandler, outerErrorHandler.load(), &handleError);
    activeDisplay.store(nullptr);
    activeTrap.store(nullptr);
    trapMutex.unlock();
}

int x11ErrorTrap::sync() {
    // After a lost connection Xlib's calls return at once; nothing more can arrive.
    if (!connectionLost_) {
        XSync(display_, False);
    }
    return firstError_;
}

void x11ErrorTrap::closeDisplay() {
    XCloseDisplay(display_);
    activeDisplay.store(nullptr);
}

int x11ErrorTrap::handleError(Display* display, XErrorEvent* event) {
    if (display == activeDisplay.load()) {
        x11ErrorTrap* const trap = activeTrap.load();
        if (trap->firstError_ == Success) {
            trap->firstError_ = event->error_code;
        }
        return 0;
    }
    const XErrorHandler outer = outerErrorHandler.load();
    return outer != nullptr ? outer(display, event) : 0;
}

int x11ErrorTrap::handleIoError(Display* display) {
    if (display == activeDisplay.load()) {
        // Returning hands over to the connection's exit handler, which returns as well.
        activeTrap.load()->connectionLost_ = true;
        return 0;
    }
    // Another connection: its own handlers decide, as if no trap were active.
    const XIOErrorHandler outer = outerIoErrorHandler.load();
    return outer != nullptr ? outer(display) : 0;
}

void x11ErrorTrap::continueAfterIoError(Display* display, void*) {
    // Returning instead of exiting: Xlib has marked the connection dead and its calls fail from now
    // on. Before calling here Xlib took the connection's XLockDisplay lock for this thread, to be
    // held until exit; released, another thread can still close the connection.
    XUnlockDisplay(display);
}

}  // namespace dravix::platform
