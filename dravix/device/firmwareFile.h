#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dravix {

// Reads a firmware file, which the library can't trust: only a regular file, only up to a size
// limit checked before anything is allocated, and a file that changes while it is read (a short
// read) is a failure. A FIFO or a device node is refused without blocking on it.
class firmwareFile {
  public:
    enum class outcome { ok, cannotOpen, notRegular, tooLarge, readFailed };

    // Reads the whole file at `path` into `image` (emptied on failure).
    static outcome read(const std::string& path, uint64_t maxSize, std::vector<uint8_t>& image);
};

}  // namespace dravix
