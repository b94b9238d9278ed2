#include "platform/linux/x11PixelLayout.h"

#include <cstddef>

namespace dravix::platform {
namespace {

constexpr int kMaxChannelBits = 16;

// The bits a pixel of `depth` bits can use.
uint64_t depthMask(int depth) {
    return (uint64_t{1} << depth) - 1;
}

int lowestBit(uint64_t mask) {
    int shift = 0;
    while ((mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

int bitCount(uint64_t mask) {
    int count = 0;
    for (; mask != 0; mask &= mask - 1) {
        ++count;
    }
    return count;
}

// One run of set bits, no wider than a channel may be, inside the pixel's depth.
bool isUsableMask(uint64_t mask, int depth) {
    if (mask == 0 || (mask & ~depthMask(depth)) != 0) {
        return false;
    }
    const uint64_t run = mask >> lowestBit(mask);
    return (run & (run + 1)) == 0 && bitCount(mask) <= kMaxChannelBits;
}

bool hasUsableMasks(const XImage& image) {
    const uint64_t red = image.red_mask;
    const uint64_t green = image.green_mask;
    const uint64_t blue = image.blue_mask;
    const bool disjoint = (red & green) == 0 && (red & blue) == 0 && (green & blue) == 0;
    return disjoint && isUsableMask(red, image.depth) && isUsableMask(green, image.depth) &&
           isUsableMask(blue, image.depth);
}

bool hasUsableFormat(const XImage& image) {
    const int bpp = image.bits_per_pixel;
    const bool wholeBytes = bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    return image.format == ZPixmap && wholeBytes && image.depth >= 1 && image.depth <= bpp &&
           (image.byte_order == LSBFirst || image.byte_order == MSBFirst);
}

// An 8-bit channel value as a channel of `bits` bits.
uint32_t scaleChannel(uint32_t value, int bits) {
    if (bits <= 8) {
        return value >> (8 - bits);
    }
    return (value << (bits - 8)) | (value >> (16 - bits));
}

void fillChannelTable(std::array<uint32_t, 256>& table, uint64_t mask) {
    const int shift = lowestBit(mask);
    const int bits = bitCount(mask);
    for (uint32_t value = 0; value < table.size(); ++value) {
        table[value] = scaleChannel(value, bits) << shift;
    }
}

bool isBgrx(const XImage& image) {
    return image.bits_per_pixel == 32 && image.byte_order == LSBFirst &&
           image.red_mask == 0xff0000 && image.green_mask == 0xff00 && image.blue_mask == 0xff;
}

}  // namespace

std::optional<x11PixelLayout> x11PixelLayout::fromImage(const XImage& image) {
    if (!hasUsableFormat(image) || !hasUsableMasks(image)) {
        return std::nullopt;
    }
    x11PixelLayout layout;
    fillChannelTable(layout.red_, image.red_mask);
    fillChannelTable(layout.green_, image.green_mask);
    fillChannelTable(layout.blue_, image.blue_mask);
    const uint64_t colourBits = image.red_mask | image.green_mask | image.blue_mask;
    layout.fill_ = static_cast<uint32_t>(depthMask(image.depth) & ~colourBits);
    layout.bytesPerPixel_ = image.bits_per_pixel / 8;
    layout.mostSignificantFirst_ = image.byte_order == MSBFirst;
    layout.bgrx_ = isBgrx(image);
    return layout;
}

void x11PixelLayout::convert(const uint8_t* bgr, int width, int height, XImage& image) const {
    const std::size_t inStride = static_cast<std::size_t>(width) * 3;
    auto* out = reinterpret_cast<uint8_t*>(image.data);
    for (int y = 0; y < height; ++y) {
        convertRow(bgr + inStride * y, width,
                   out + static_cast<std::size_t>(image.bytes_per_line) * y);
    }
}

void x11PixelLayout::convertRow(const uint8_t* bgr, int width, uint8_t* out) const {
    if (bgrx_) {
        convertRowBgrx(bgr, width, out);
        return;
    }
    for (int x = 0; x < width; ++x, bgr += 3, out += bytesPerPixel_) {
        storePixel(red_[bgr[2]] | green_[bgr[1]] | blue_[bgr[0]] | fill_, out);
    }
}

void x11PixelLayout::convertRowBgrx(const uint8_t* bgr, int width, uint8_t* out) const {
    const auto fourth = static_cast<uint8_t>(fill_ >> 24);
    for (int x = 0; x < width; ++x, bgr += 3, out += 4) {
        out[0] = bgr[0];
        out[1] = bgr[1];
        out[2] = bgr[2];
        out[3] = fourth;
    }
}

void x11PixelLayout::storePixel(uint32_t pixel, uint8_t* out) const {
    for (int byte = 0; byte < bytesPerPixel_; ++byte) {
        const int significance = mostSignificantFirst_ ? bytesPerPixel_ - 1 - byte : byte;
        out[byte] = static_cast<uint8_t>(pixel >> (8 * significance));
    }
}

}  // namespace dravix::platform
