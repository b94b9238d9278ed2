#include "x11TestWindow.h"

#include <cstdint>
#include <utility>

namespace dravix::test {
namespace {

Window createWindow(Display* display, int width, int height, const XVisualInfo& visual,
                    Colormap colormap) {
    XSetWindowAttributes attributes{};
    attributes.colormap = colormap;
    attributes.border_pixel = 0;
    attributes.background_pixel = 0;
    return XCreateWindow(display, RootWindow(display, visual.screen), 0, 0,
                         static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                         visual.depth, InputOutput, visual.visual,
                         CWColormap | CWBorderPixel | CWBackPixel, &attributes);
}

}  // namespace

x11TestWindow::x11TestWindow(Display* display, int width, int height)
    : x11TestWindow(display,
                    XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0,
                                        static_cast<unsigned>(width), static_cast<unsigned>(height),
                                        0, BlackPixel(display, DefaultScreen(display)),
                                        WhitePixel(display, DefaultScreen(display))),
                    None) {}

x11TestWindow::x11TestWindow(Display* display, int width, int height, const XVisualInfo& visual)
    : x11TestWindow(
          display, None,
          XCreateColormap(display, RootWindow(display, visual.screen), visual.visual, AllocNone)) {
    window_ = createWindow(display, width, height, visual, colormap_);
    mapAndWait();
}

x11TestWindow x11TestWindow::inputOnly(Display* display, int width, int height) {
    const Window window =
        XCreateWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, 0, InputOnly, CopyFromParent, 0, nullptr);
    return x11TestWindow(display, window, None);
}

x11TestWindow::x11TestWindow(Display* display, Window window, Colormap colormap)
    : display_(display), window_(window), colormap_(colormap) {
    if (window_ != None) {
        mapAndWait();
    }
}

x11TestWindow::x11TestWindow(x11TestWindow&& other) noexcept
    : display_(other.display_),
      window_(std::exchange(other.window_, None)),
      colormap_(std::exchange(other.colormap_, None)) {}

x11TestWindow::~x11TestWindow() {
    destroy();
    if (colormap_ != None) {
        XFreeColormap(display_, colormap_);
        XSync(display_, False);
    }
}

void* x11TestWindow::handleOf(Window window) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(window));
}

void x11TestWindow::destroy() {
    if (window_ != None) {
        XDestroyWindow(display_, window_);
        XSync(display_, False);
        window_ = None;
    }
}

x11ImagePtr x11TestWindow::read(int width, int height) const {
    return x11ImagePtr(XGetImage(display_, window_, 0, 0, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), AllPlanes, ZPixmap));
}

void x11TestWindow::mapAndWait() {
    XSelectInput(display_, window_, StructureNotifyMask);
    XMapWindow(display_, window_);
    XEvent event{};
    do {
        XWindowEvent(display_, window_, StructureNotifyMask, &event);
    } while (event.type != MapNotify);
}

}  // namespace dravix::test
