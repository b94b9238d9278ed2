#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dravix::platform {

// Reads the whole of the regular file at `path` into `bytes`. Anything else (a directory, a FIFO,
// a device, a file larger than `maxBytes`) is refused at once, without waiting on it or reading
// it. 0, or a negative errno value (-EINVAL for a file that is not regular, -EFBIG for one too
// large).
int readRegularFile(const std::string& path, std::size_t maxBytes, std::vector<uint8_t>& bytes);

}  // namespace dravix::platform
