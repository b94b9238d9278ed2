#include "video/bmpImage.h"

#include <algorithm>
#include <cstring>

#include "video/colorConverter.h"

namespace dravix {
namespace {

constexpr int32_t kRedFirstMode = 8;
constexpr int32_t kSameValuesBlueFirst = 4;

void put16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* at, uint32_t value) {
    put16(at, value);
    put16(at + 2, value >> 16);
}

}  // namespace

std::size_t bmpImage::rowBytes(int width) {
    return (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
}

std::array<uint8_t, bmpImage::kHeaderSize> bmpImage::header(int width, int height) {
    std::array<uint8_t, kHeaderSize> bytes{};
    const std::size_t pixels = rowBytes(width) * static_cast<std::size_t>(height);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(&bytes[2], static_cast<uint32_t>(kHeaderSize + pixels));
    put32(&bytes[10], kHeaderSize);
    put32(&bytes[14], 40);
    put32(&bytes[18], static_cast<uint32_t>(width));
    put32(&bytes[22], static_cast<uint32_t>(-height));
    put16(&bytes[26], 1);
    put16(&bytes[28], 24);
    return bytes;  // compression, image size, resolutions and colour counts stay 0
}

void bmpImage::build(const uint8_t* yuy2, int width, int height, int32_t colorMode) {
    const int32_t mode = colorMode == kRedFirstMode ? kSameValuesBlueFirst : colorMode;
    const std::size_t row = rowBytes(width);
    const std::size_t pixelBytes = static_cast<std::size_t>(width) * 3;
    file_.resize(kHeaderSize + row * static_cast<std::size_t>(height));
    const auto head = header(width, height);
    std::copy(head.begin(), head.end(), file_.begin());
    uint8_t* pixels = file_.data() + kHeaderSize;
    if (row == pixelBytes) {
        colorConverter::convert(mode, yuy2, pixels,
                                static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        return;
    }
    for (int r = 0; r < height; ++r) {
        uint8_t* out = pixels + row * static_cast<std::size_t>(r);
        colorConverter::convert(mode, yuy2 + static_cast<std::size_t>(width) * 2 * r, out,
                                static_cast<std::size_t>(width));
        std::memset(out + pixelBytes, 0, row - pixelBytes);
    }
}

void bmpImage::release() {
    std::vector<uint8_t>().swap(file_);
}

}  // namespace dravix
