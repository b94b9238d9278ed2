#include "device/flashLoaderImage.h"

#include <algorithm>
#include <cstring>

namespace dravix {

namespace {

constexpr uint8_t kErased = 0xFF;
constexpr std::size_t kKindBytes = 128;
constexpr uint8_t kReflectedPolynomial = 0xB8;

bool isKnownKind(uint8_t kind) {
    return kind == 2 || kind == 3 || kind == 5 || kind == 16;
}

uint8_t crc8Step(uint8_t crc, uint8_t byte) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
        crc = static_cast<uint8_t>((crc & 1) != 0 ? (crc >> 1) ^ kReflectedPolynomial : crc >> 1);
    }
    return crc;
}

}  // namespace

bool flashLoaderImage::isValid(const std::vector<uint8_t>& file) {
    if (file.size() < kMinFileSize || file.size() > kMaxFileSize || !isKnownKind(file[0])) {
        return false;
    }
    return std::all_of(file.begin() + 1, file.begin() + kKindBytes,
                       [](uint8_t byte) { return byte == kErased; });
}

// The program moves down over the discarded bytes; the buffer's last 128 bytes keep what the
// file had there, and the last counted block takes its tail from them.
bool flashLoaderImage::convert(std::vector<uint8_t>& file) {
    if (!isValid(file)) {
        return false;
    }
    const std::size_t programLength = file.size() - kProgramOffset;
    std::memmove(file.data() + kFlashProgramOffset, file.data() + kProgramOffset, programLength);
    std::fill_n(file.begin(), kFlashProgramOffset, kErased);
    return true;
}

std::size_t flashLoaderImage::blockCount(std::size_t fileSize) {
    return (fileSize - kProgramOffset) / kBlockSize + kFlashProgramOffset / kBlockSize + 1;
}

std::vector<flashLoaderImage::block> flashLoaderImage::blocksToWrite(
    const std::vector<uint8_t>& image) {
    std::vector<block> blocks;
    if (image.size() < kMinFileSize) {
        return blocks;
    }
    const std::size_t count = std::min<std::size_t>(blockCount(image.size()), 256);
    for (std::size_t number = 0; number < count; ++number) {
        const uint8_t* bytes = image.data() + number * kBlockSize;
        if (std::any_of(bytes, bytes + kBlockSize, [](uint8_t byte) { return byte != kErased; })) {
            blocks.push_back(
                {static_cast<uint8_t>(number), blockChecksum(static_cast<uint8_t>(number), bytes)});
        }
    }
    return blocks;
}

uint8_t flashLoaderImage::crc8(const uint8_t* bytes, std::size_t length, uint8_t crc) {
    for (std::size_t i = 0; i < length; ++i) {
        crc = crc8Step(crc, bytes[i]);
    }
    return crc;
}

uint8_t flashLoaderImage::blockChecksum(uint8_t number, const uint8_t* bytes) {
    uint8_t crc = crc8(&number, 1);
    for (std::size_t i = kBlockSize; i > 0; --i) {
        crc = crc8Step(crc, bytes[i - 1]);
    }
    return crc;
}

}  // namespace dravix
