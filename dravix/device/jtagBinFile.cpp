#include "device/jtagBinFile.h"

#include <algorithm>
#include <cstring>

namespace dravix {

namespace {

constexpr char kHeaderText[] = "ZEL GmbH JTAG BIN File";
static_assert(sizeof kHeaderText - 1 == jtagBinFile::kHeaderSize);
constexpr uint32_t kPolynomial = 0x04C11DB7;

uint32_t bigEndian32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

bool isEndRecord(const uint8_t* record) {
    return std::all_of(record, record + jtagBinFile::kRecordSize,
                       [](uint8_t byte) { return byte == 0xFF; });
}

}  // namespace

uint32_t jtagBinFile::crc32(const uint8_t* bytes, std::size_t length) {
    uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= static_cast<uint32_t>(bytes[i]) << 24;
        for (int bit = 0; bit < 32; ++bit) {
            crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ kPolynomial : crc << 1;
        }
    }
    return crc;
}

jtagBinFile::problem jtagBinFile::parse(const std::vector<uint8_t>& file) {
    *this = jtagBinFile{};
    if (file.size() < kHeaderSize + kCrcSize ||
        std::memcmp(file.data(), kHeaderText, kHeaderSize) != 0) {
        return problem::wrongFile;
    }
    const std::size_t crcPosition = file.size() - kCrcSize;
    storedCrc_ = bigEndian32(file.data() + crcPosition);
    computedCrc_ = crc32(file.data(), crcPosition);
    if (storedCrc_ != computedCrc_) {
        return problem::crcMismatch;
    }
    if (!readRecords(file, crcPosition)) {
        return problem::wrongFile;
    }
    return problem::none;
}

// Records are read while a whole one fits before the CRC; the stream follows the end record.
bool jtagBinFile::readRecords(const std::vector<uint8_t>& file, std::size_t crcPosition) {
    std::size_t offset = kHeaderSize;
    while (offset + kRecordSize <= crcPosition) {
        const uint8_t* record = file.data() + offset;
        offset += kRecordSize;
        ++recordsRead_;
        if (isEndRecord(record)) {
            streamOffset_ = offset;
            streamLength_ = crcPosition - offset;
            std::stable_sort(pauses_.begin(), pauses_.end(), [](const pause& a, const pause& b) {
                return a.position < b.position;
            });
            return streamLength_ > 0;
        }
        pauses_.push_back({bigEndian32(record), static_cast<uint16_t>(record[4] << 8 | record[5])});
    }
    return false;
}

}  // namespace dravix
