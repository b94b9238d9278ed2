#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <vector>

namespace dravix::platform {

// The client-side image that draws go through: Z format, in the depth and visual of one drawable.
// It is kept and reused while the size stays the same, so a stream of frames allocates once.
class x11ImageBuffer {
  public:
    x11ImageBuffer(Display* display, Visual* visual, int depth);

    // An image of `width` × `height` pixels, with its pixel memory; null when Xlib cannot describe
    // an image of that size. Throws std::bad_alloc when the memory cannot be had. The image stays
    // valid until the next call with another size.
    XImage* imageOfSize(int width, int height);

  private:
    struct imageDeleter {
        void operator()(XImage* image) const;
    };

    Display* const display_;
    Visual* const visual_;
    const int depth_;
    std::unique_ptr<XImage, imageDeleter> image_;
    std::vector<char> pixels_;
};

}  // namespace dravix::platform
