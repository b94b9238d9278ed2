#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

namespace dravix::test {

struct x11ImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); }
};
using x11ImagePtr = std::unique_ptr<XImage, x11ImageDeleter>;

// A mapped top-level window of the test's own X connection, destroyed with the object.
class x11TestWindow {
  public:
    // A window made with XCreateSimpleWindow, on the screen's default visual.
    x11TestWindow(Display* display, int width, int height);
    // A window of `visual`, with a colormap of its own as X requires for non-default visuals.
    x11TestWindow(Display* display, int width, int height, const XVisualInfo& visual);
    // An input-only window: nothing can be drawn into it.
    static x11TestWindow inputOnly(Display* display, int width, int height);
    ~x11TestWindow();
    x11TestWindow(x11TestWindow&& other) noexcept;
    x11TestWindow(const x11TestWindow&) = delete;
    x11TestWindow& operator=(const x11TestWindow&) = delete;
    x11TestWindow& operator=(x11TestWindow&&) = delete;

    Window id() const { return window_; }
    // The window as the library receives it: the id itself in a pointer.
    void* handle() const { return handleOf(window_); }
    static void* handleOf(Window window);
    // Destroys the window and waits until the server has done it.
    void destroy();
    // The top-left `width` × `height` pixels as the server has them now.
    x11ImagePtr read(int width, int height) const;

  private:
    x11TestWindow(Display* display, Window window, Colormap colormap);
    // Maps the window and waits until the server reports it mapped.
    void mapAndWait();

    Display* display_;
    Window window_;
    Colormap colormap_;
};

}  // namespace dravix::test
