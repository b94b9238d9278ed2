#pragma once

#include <cstdint>
#include <vector>

namespace dravix {

// The image a microcontroller's flash loader writes, made from its file: byte 0 names the kind
// (2, 3, 5 or 16), bytes 1 to 127 are 0xFF, bytes 128 to 1151 are not written, and the program
// follows from byte 1152. The flash image has the program at offset 1024 behind 0xFF bytes and
// is written in 128-byte blocks numbered from 0; blocks of 0xFF only are left out.
//
// A file outside 1153 to 32,767 bytes is refused: a shorter one has no program (and the
// conversion would reach outside it), a longer one overflows the loader's 8-bit block count.
class flashLoaderImage {
  public:
    static constexpr std::size_t kBlockSize = 128;
    static constexpr std::size_t kProgramOffset = 1152;
    static constexpr std::size_t kFlashProgramOffset = 1024;
    static constexpr std::size_t kMinFileSize = kProgramOffset + 1;
    static constexpr std::size_t kMaxFileSize = 32767;

    struct block {
        uint8_t number;
        uint8_t checksum;
    };

    // Checks the file and converts it in place; false (the file left as it was) when the file
    // is not a loader image.
    static bool convert(std::vector<uint8_t>& file);
    // The blocks of a converted image that hold anything but 0xFF, in ascending order.
    static std::vector<block> blocksToWrite(const std::vector<uint8_t>& image);
    // CRC-8 (polynomial 0x1D reflected, initial 0xFF, reflected in and out) over the block
    // number and then the block's bytes from the last to the first.
    static uint8_t blockChecksum(uint8_t number, const uint8_t* bytes);
    // CRC-8 of the same kind over `length` bytes.
    static uint8_t crc8(const uint8_t* bytes, std::size_t length, uint8_t crc = 0xFF);

  private:
    static bool isValid(const std::vector<uint8_t>& file);
    static std::size_t blockCount(std::size_t fileSize);
};

}  // namespace dravix
