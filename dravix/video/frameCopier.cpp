#include "video/frameCopier.h"

#include <algorithm>
#include <cstring>

namespace dravix {

void frameCopier::copy(const uint8_t* source, std::size_t length, uint8_t* target, uint16_t width,
                       uint16_t height, bool flip) {
    const std::size_t rowLength = static_cast<std::size_t>(width) * 2;
    if (!flip || rowLength == 0) {
        std::memcpy(target, source, length);
        return;
    }
    const std::size_t rows = std::min<std::size_t>(length / rowLength, height);
    for (std::size_t row = 0; row < rows; ++row) {
        std::memcpy(target + (height - 1 - row) * rowLength, source + row * rowLength, rowLength);
    }
}

}  // namespace dravix
