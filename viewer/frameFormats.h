#pragma once

#include <cstdint>

// The camera formats the viewer knows. The library hands each frame over with its byte count
// only, so the format is derived from that count: width × height × 2 bytes of packed 4:2:2.
class frameFormats {
  public:
    struct size {
        int32_t width;
        int32_t height;
    };

    // The format whose frames have `bytes` bytes; {0, 0} for any other count.
    static size forByteCount(int64_t bytes);
};
