#include "platform/linux/x11WindowDisplay.h"

#include <X11/Xutil.h>

#include <array>
#include <cerrno>
#include <new>
#include <sstream>
#include <utility>

#include "platform/linux/x11ErrorTrap.h"

namespace dravix::platform {
namespace {

// X coordinates and sizes are 16-bit signed on the wire; nothing larger can be shown.
constexpr int kMaxSide = 32767;

thread_local std::string lastOpenError;

std::string hex(unsigned long value) {
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

std::string windowName(Window window) {
    return "window " + hex(window);
}

const char* visualClassName(int visualClass) {
    static constexpr std::array<const char*, 6> kNames = {
        "StaticGray", "GrayScale", "StaticColor", "PseudoColor", "TrueColor", "DirectColor"};
    return visualClass >= 0 && visualClass < static_cast<int>(kNames.size()) ? kNames[visualClass]
                                                                             : "unknown";
}

std::string visualProblem(const XWindowAttributes& attributes) {
    if (attributes.c_class == InputOnly) {
        return "is input-only";
    }
    const int visualClass = attributes.visual->c_class;
    if (visualClass != TrueColor) {
        return std::string("has a ") + visualClassName(visualClass) + " visual of depth " +
               std::to_string(attributes.depth) + "; only TrueColor visuals are supported";
    }
    return {};
}

std::string layoutDescription(const XImage& image) {
    return "depth " + std::to_string(image.depth) + ", " + std::to_string(image.bits_per_pixel) +
           " bits per pixel, masks " + hex(image.red_mask) + "/" + hex(image.green_mask) + "/" +
           hex(image.blue_mask);
}

std::unique_ptr<x11WindowDisplay> failWith(std::string reason) {
    lastOpenError = std::move(reason);
    return nullptr;
}

}  // namespace

std::unique_ptr<x11WindowDisplay> x11WindowDisplay::open(Window window) {
    if (window == None) {
        return failWith("no window: the handle is 0");
    }
    Display* const connection = XOpenDisplay(nullptr);
    if (connection == nullptr) {
        return failWith(std::string("cannot connect to the X server \"") + XDisplayName(nullptr) +
                        "\"");
    }
    std::unique_ptr<x11WindowDisplay> display(new x11WindowDisplay(connection));
    std::string reason = display->attach(window);
    if (!reason.empty()) {
        return failWith(windowName(window) + ": " + reason);
    }
    lastOpenError.clear();
    return display;
}

const std::string& x11WindowDisplay::lastError() {
    return lastOpenError;
}

x11WindowDisplay::x11WindowDisplay(Display* display) : display_(display) {}

template <typename Requests>
int x11WindowDisplay::trapped(Requests&& requests) {
    x11ErrorTrap trap(display_);
    std::forward<Requests>(requests)();
    const int error = trap.sync();
    connectionLost_ = connectionLost_ || trap.connectionLost();
    return error;
}

x11WindowDisplay::~x11WindowDisplay() {
    images_.reset();
    // Closing waits for the server, so a server lost since the last draw is noticed here too.
    x11ErrorTrap trap(display_);
    if (gc_ != nullptr) {
        XFreeGC(display_, gc_);
    }
    trap.closeDisplay();
}

int x11WindowDisplay::draw(const uint8_t* bgr, int width, int height) {
    if (bgr == nullptr || width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
        return -EINVAL;
    }
    if (connectionLost_) {
        return -ENODEV;
    }
    XImage* image = nullptr;
    try {
        image = images_->imageOfSize(width, height);
    } catch (const std::bad_alloc&) {
        return -ENOMEM;
    }
    if (image == nullptr) {
        return -ENOMEM;
    }
    layout_->convert(bgr, width, height, *image);
    return putImage(*image);
}

std::string x11WindowDisplay::attach(Window window) {
    XWindowAttributes attributes{};
    std::string reason = readAttributes(window, attributes);
    if (reason.empty()) {
        reason = visualProblem(attributes);
    }
    if (reason.empty()) {
        reason = learnLayout(attributes);
    }
    if (reason.empty()) {
        reason = createGc(window);
    }
    window_ = window;
    return reason;
}

std::string x11WindowDisplay::readAttributes(Window window, XWindowAttributes& attributes) {
    Status status = 0;
    const int error =
        trapped([&] { status = XGetWindowAttributes(display_, window, &attributes); });
    if (connectionLost_) {
        return "lost the connection to the X server";
    }
    return status == 0 || error != Success ? "does not exist" : "";
}

std::string x11WindowDisplay::learnLayout(const XWindowAttributes& attributes) {
    images_.emplace(display_, attributes.visual, attributes.depth);
    // A one-pixel image carries the format that Xlib uses for every image of this visual.
    const XImage* const sample = images_->imageOfSize(1, 1);
    if (sample == nullptr) {
        return "Xlib cannot make an image of its depth " + std::to_string(attributes.depth);
    }
    layout_ = x11PixelLayout::fromImage(*sample);
    return layout_ ? "" : "has an unsupported pixel layout: " + layoutDescription(*sample);
}

std::string x11WindowDisplay::createGc(Window window) {
    const int error = trapped([&] { gc_ = XCreateGC(display_, window, 0, nullptr); });
    return error == Success && !connectionLost_ ? "" : "cannot get a graphics context";
}

int x11WindowDisplay::putImage(XImage& image) {
    const int error = trapped([&] {
        XPutImage(display_, window_, gc_, &image, 0, 0, 0, 0, static_cast<unsigned>(image.width),
                  static_cast<unsigned>(image.height));
    });
    if (connectionLost_ || error == BadWindow || error == BadDrawable) {
        return -ENODEV;
    }
    return error == Success ? 0 : -EIO;
}

}  // namespace dravix::platform
