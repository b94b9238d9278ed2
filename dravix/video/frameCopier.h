#pragma once

#include <cstddef>
#include <cstdint>

namespace dravix {

// Copies one received YUY2 frame into the frame buffer: straight, or turned upside down row by
// row (row r of the source becomes row height − 1 − r).
class frameCopier {
  public:
    // `length` bytes of `source` into `target`, which holds width × height × 2 bytes; `length`
    // is at most that. Flipped, only whole rows are copied.
    static void copy(const uint8_t* source, std::size_t length, uint8_t* target, uint16_t width,
                     uint16_t height, bool flip);
};

}  // namespace dravix
