#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dravix {

// The head FPGA's JTAG BIN file: a 22-byte header text, pause records (u32 position, u16 delay
// in ms, big-endian) up to an end record of six 0xFF bytes, the JTAG data stream, and a
// big-endian CRC-32 of everything before it in the last four bytes.
//
// A file is accepted only whole: the header, the CRC, an end record before the CRC and at least
// one byte of stream. Nothing of a refused file reaches the camera.
class jtagBinFile {
  public:
    static constexpr std::size_t kHeaderSize = 22;
    static constexpr std::size_t kRecordSize = 6;
    static constexpr std::size_t kCrcSize = 4;

    struct pause {
        uint32_t position;
        uint16_t delayMs;
    };
    enum class problem { none, wrongFile, crcMismatch };

    // Checks and reads `file`; on a CRC mismatch `storedCrc` and `computedCrc` tell both values.
    problem parse(const std::vector<uint8_t>& file);
    uint32_t storedCrc() const { return storedCrc_; }
    uint32_t computedCrc() const { return computedCrc_; }

    // The pause records in ascending position order, equal positions in file order.
    const std::vector<pause>& pauses() const { return pauses_; }
    std::size_t recordsRead() const { return recordsRead_; }
    std::size_t streamOffset() const { return streamOffset_; }
    std::size_t streamLength() const { return streamLength_; }

    // CRC-32/MPEG-2 over every byte followed by three zero bytes (each byte fed as byte × 2^24).
    static uint32_t crc32(const uint8_t* bytes, std::size_t length);

  private:
    bool readRecords(const std::vector<uint8_t>& file, std::size_t crcPosition);

    uint32_t storedCrc_ = 0;
    uint32_t computedCrc_ = 0;
    std::vector<pause> pauses_;
    std::size_t recordsRead_ = 0;
    std::size_t streamOffset_ = 0;
    std::size_t streamLength_ = 0;
};

}  // namespace dravix
