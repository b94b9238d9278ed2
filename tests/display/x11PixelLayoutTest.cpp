// GoogleTest comes before Xlib, whose macros (None, Bool, Status) break its declarations.
#include <gtest/gtest.h>

#include "platform/linux/x11PixelLayout.h"

#include <X11/Xutil.h>

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "bgrTestImage.h"

namespace dravix::platform {
namespace {

using test::bgrTestImage;

struct imageFormat {
    const char* name;
    int format;
    int depth;
    int bitsPerPixel;
    int byteOrder;
    unsigned long red;
    unsigned long green;
    unsigned long blue;
};

void PrintTo(const imageFormat& format, std::ostream* out) {
    *out << format.name;
}

// A client-side image of `format`, described the way Xlib describes the server's images, with
// rows longer than needed so that a wrong row stride shows.
class formattedImage {
  public:
    formattedImage(const imageFormat& format, int width, int height) {
        image_.width = width;
        image_.height = height;
        image_.format = format.format;
        image_.byte_order = format.byteOrder;
        image_.bitmap_unit = 32;
        image_.bitmap_bit_order = format.byteOrder;
        image_.bitmap_pad = 32;
        image_.depth = format.depth;
        image_.bits_per_pixel = format.bitsPerPixel;
        image_.bytes_per_line = (width * format.bitsPerPixel + 31) / 32 * 4 + 12;
        image_.red_mask = format.red;
        image_.green_mask = format.green;
        image_.blue_mask = format.blue;
        pixels_.assign(static_cast<std::size_t>(image_.bytes_per_line) * height, '\0');
        image_.data = pixels_.data();
        initialised_ = XInitImage(&image_) != 0;
    }
    bool initialised() const { return initialised_; }
    XImage& image() { return image_; }

  private:
    XImage image_{};
    std::vector<char> pixels_;
    bool initialised_ = false;
};

class x11PixelLayoutWrites : public ::testing::TestWithParam<imageFormat> {};

TEST_P(x11PixelLayoutWrites, everyPixelAsXlibReadsIt) {
    const bgrTestImage picture(13, 7, 1);
    formattedImage target(GetParam(), picture.width(), picture.height());
    ASSERT_TRUE(target.initialised());
    const auto layout = x11PixelLayout::fromImage(target.image());
    ASSERT_TRUE(layout.has_value());
    layout->convert(picture.data(), picture.width(), picture.height(), target.image());
    EXPECT_TRUE(picture.isShownIn(target.image()));
}

INSTANTIATE_TEST_SUITE_P(
    formats, x11PixelLayoutWrites,
    ::testing::Values(
        imageFormat{"bgrx32", ZPixmap, 24, 32, LSBFirst, 0xff0000, 0xff00, 0xff},
        imageFormat{"bgra32", ZPixmap, 32, 32, LSBFirst, 0xff0000, 0xff00, 0xff},
        imageFormat{"xrgb32", ZPixmap, 24, 32, MSBFirst, 0xff0000, 0xff00, 0xff},
        imageFormat{"rgbx32", ZPixmap, 24, 32, LSBFirst, 0xff, 0xff00, 0xff0000},
        imageFormat{"argb32BigEndian", ZPixmap, 32, 32, MSBFirst, 0xff0000, 0xff00, 0xff},
        imageFormat{"bgr24", ZPixmap, 24, 24, LSBFirst, 0xff0000, 0xff00, 0xff},
        imageFormat{"rgb24", ZPixmap, 24, 24, MSBFirst, 0xff0000, 0xff00, 0xff},
        imageFormat{"rgb565", ZPixmap, 16, 16, LSBFirst, 0xf800, 0x7e0, 0x1f},
        imageFormat{"rgb565BigEndian", ZPixmap, 16, 16, MSBFirst, 0xf800, 0x7e0, 0x1f},
        imageFormat{"rgb555", ZPixmap, 15, 16, LSBFirst, 0x7c00, 0x3e0, 0x1f},
        imageFormat{"bgr233", ZPixmap, 8, 8, LSBFirst, 0x7, 0x38, 0xc0},
        imageFormat{"rgb30", ZPixmap, 30, 32, LSBFirst, 0x3ff00000, 0xffc00, 0x3ff}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(x11PixelLayout, widensNarrowValuesToFullIntensity) {
    const imageFormat rgb30{"rgb30", ZPixmap, 30, 32, LSBFirst, 0x3ff00000, 0xffc00, 0x3ff};
    formattedImage target(rgb30, 2, 1);
    ASSERT_TRUE(target.initialised());
    const uint8_t whiteThenBlack[] = {0xff, 0xff, 0xff, 0, 0, 0};
    x11PixelLayout::fromImage(target.image())->convert(whiteThenBlack, 2, 1, target.image());
    EXPECT_EQ(XGetPixel(&target.image(), 0, 0), 0x3fffffffUL);
    EXPECT_EQ(XGetPixel(&target.image(), 1, 0), 0UL);
}

class x11PixelLayoutRefuses : public ::testing::TestWithParam<imageFormat> {};

TEST_P(x11PixelLayoutRefuses, formatsItCannotWrite) {
    formattedImage target(GetParam(), 4, 2);
    EXPECT_FALSE(x11PixelLayout::fromImage(target.image()).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    formats, x11PixelLayoutRefuses,
    ::testing::Values(
        imageFormat{"planes", XYPixmap, 24, 32, LSBFirst, 0xff0000, 0xff00, 0xff},
        imageFormat{"fourBitsPerPixel", ZPixmap, 4, 4, LSBFirst, 0x1, 0x6, 0x8},
        imageFormat{"depthAboveBitsPerPixel", ZPixmap, 24, 16, LSBFirst, 0xff0000, 0xff00, 0xff},
        imageFormat{"noBlue", ZPixmap, 24, 32, LSBFirst, 0xff0000, 0xff00, 0},
        imageFormat{"splitMask", ZPixmap, 24, 32, LSBFirst, 0xf0f000, 0x0f0f00, 0xff},
        imageFormat{"overlappingMasks", ZPixmap, 24, 32, LSBFirst, 0xff0000, 0x1ff00, 0xff},
        imageFormat{"maskOutsideDepth", ZPixmap, 24, 32, LSBFirst, 0xff000000, 0xff00, 0xff},
        imageFormat{"channelTooWide", ZPixmap, 32, 32, LSBFirst, 0xfffff000, 0xf00, 0xff}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dravix::platform
