#include "platform/linux/x11ImageBuffer.h"

#include <X11/Xutil.h>

#include <cstddef>
#include <utility>

namespace dravix::platform {
namespace {

// Rows start at 32-bit boundaries, the padding every X server accepts.
constexpr int kRowPadBits = 32;

}  // namespace

x11ImageBuffer::x11ImageBuffer(Display* display, Visual* visual, int depth)
    : display_(display), visual_(visual), depth_(depth) {}

XImage* x11ImageBuffer::imageOfSize(int width, int height) {
    if (image_ && image_->width == width && image_->height == height) {
        return image_.get();
    }
    image_.reset();
    // Xlib computes the format (bits per pixel, byte order, row length) of the display's images.
    std::unique_ptr<XImage, imageDeleter> image(
        XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                     static_cast<unsigned>(width), static_cast<unsigned>(height), kRowPadBits, 0));
    if (!image) {
        return nullptr;
    }
    pixels_.assign(static_cast<std::size_t>(image->bytes_per_line) * height, 0);
    image->data = pixels_.data();
    image_ = std::move(image);
    return image_.get();
}

void x11ImageBuffer::imageDeleter::operator()(XImage* image) const {
    // The pixels belong to the vector; XDestroyImage would free() them.
    image->data = nullptr;
    XDestroyImage(image);
}

}  // namespace dravix::platform
