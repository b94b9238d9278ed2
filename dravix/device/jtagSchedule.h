#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/jtagBinFile.h"

namespace dravix {

// Cuts a JTAG stream into chunks of at most 128 bytes and places the pauses between them: a
// pause applies when the bytes sent equal its position ÷ 2, so a chunk ends exactly there.
// Every pause due at one point is taken before the next chunk, so no chunk is empty. Pauses
// beyond the stream's end never apply.
class jtagSchedule {
  public:
    static constexpr std::size_t kMaxChunk = 128;

    jtagSchedule(std::vector<jtagBinFile::pause> pauses, std::size_t streamLength);

    // The delays of the pauses due after `sent` bytes, in order; they are taken.
    std::vector<uint16_t> takeDuePauses(std::size_t sent);
    // The next chunk after `sent` bytes: 1 to 128 bytes, ending at the next pending pause;
    // 0 at the end of the stream.
    std::size_t chunkLength(std::size_t sent) const;

  private:
    std::vector<jtagBinFile::pause> pauses_;
    std::size_t next_ = 0;
    const std::size_t streamLength_;
};

}  // namespace dravix
