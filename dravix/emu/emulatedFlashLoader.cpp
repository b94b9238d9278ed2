#include "emu/emulatedFlashLoader.h"

#include <algorithm>

namespace dravix::emu {

namespace {

constexpr uint8_t kStart = 'X';
constexpr uint8_t kEnter = 0x83;
constexpr uint8_t kPoll = '%';
constexpr uint8_t kQuery = 'Q';
constexpr uint8_t kErase = 'R';
constexpr uint8_t kSend = 'S';
constexpr uint8_t kReadBack = 'D';
constexpr uint8_t kTerminate = 'T';
constexpr std::size_t kSendLength = 131;
constexpr std::size_t kReadBackLength = 255;
constexpr std::size_t kVerifyFaultAt = 200;  // inside what the host checks

uint8_t reversed(uint8_t byte) {
    uint8_t out = 0;
    for (int bit = 0; bit < 8; ++bit) {
        out = static_cast<uint8_t>(out << 1 | ((byte >> bit) & 1));
    }
    return out;
}

// The loader's checksum (CRC-8, polynomial 0x1D, initial 0xFF, reflected in and out), computed
// in the unreflected form on bit-reversed bytes: the block number, then the bytes last first.
uint8_t blockChecksum(uint8_t number, const uint8_t* bytes) {
    uint8_t crc = 0xFF;
    auto feed = [&crc](uint8_t byte) {
        crc ^= reversed(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<uint8_t>((crc & 0x80) != 0 ? (crc << 1) ^ 0x1D : crc << 1);
        }
    };
    feed(number);
    for (std::size_t i = emulatedFlashLoader::kBlockSize; i > 0; --i) {
        feed(bytes[i - 1]);
    }
    return reversed(crc);
}

}  // namespace

emulatedFlashLoader::emulatedFlashLoader(std::function<void()> unplug)
    : unplug_(std::move(unplug)) {
    flash_.fill(0xFF);
}

bool emulatedFlashLoader::claims(uint32_t reg) const {
    for (const uint8_t command :
         {kStart, kEnter, kPoll, kQuery, kErase, kSend, kReadBack, kTerminate}) {
        if (reg == command) {
            return true;
        }
    }
    return false;
}

bool emulatedFlashLoader::faulted(uint8_t command) {
    return faults_.strike(command, unplug_);
}

bool emulatedFlashLoader::read(uint32_t reg, uint8_t* data, std::size_t length) {
    const uint8_t command = static_cast<uint8_t>(reg);
    if (reg > 0xFF || faulted(command)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (!inLoader_) {
        return false;
    }
    if (command == kPoll && length == 1) {
        data[0] = pollAnswer();
        return true;
    }
    if (command == kReadBack && length <= kReadBackLength) {
        // The read-back reaches the host behind a report id, which takes the place of its
        // last block byte: what the host checks for zeros starts right after the block.
        std::fill_n(data, length, 0);
        std::copy_n(lastBlock_.begin(), std::min(length, kBlockSize - 1), data);
        if (verifyFault_ && length > kVerifyFaultAt) {
            data[kVerifyFaultAt] = 0x5A;
        }
        return true;
    }
    return false;
}

uint8_t emulatedFlashLoader::pollAnswer() {
    if (busyPolls_ == kNeverReady) {
        return kBusy;
    }
    if (busyLeft_ > 0) {
        --busyLeft_;
        return kBusy;
    }
    return kReady;
}

bool emulatedFlashLoader::write(uint32_t reg, const uint8_t* data, std::size_t length) {
    const uint8_t command = static_cast<uint8_t>(reg);
    if (reg > 0xFF || length == 0 || faulted(command)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    busyLeft_ = busyPolls_;
    if (!inLoader_) {
        if (command == kStart) {
            startSeen_ = true;
            return true;
        }
        if (command == kEnter && startSeen_ && data[0] == kEnter) {
            inLoader_ = true;
            return true;
        }
        return false;
    }
    return writeInLoader(command, data, length);
}

bool emulatedFlashLoader::writeInLoader(uint8_t command, const uint8_t* data, std::size_t length) {
    switch (command) {
        case kQuery:
            return data[0] == 0x35;
        case kErase:
            if (length != 2 || data[0] != 0x08 || data[1] != 0x7F) {
                return false;
            }
            flash_.fill(0xFF);
            return true;
        case kSend:
            return storeBlock(data, length);
        case kTerminate:
            inLoader_ = false;
            startSeen_ = false;
            ++sessions_;
            return true;
        default:
            return false;
    }
}

bool emulatedFlashLoader::storeBlock(const uint8_t* data, std::size_t length) {
    const uint8_t number = data[kBlockSize + 1];
    if (length != kSendLength || data[kBlockSize + 2] != 0x01 ||
        data[kBlockSize] != blockChecksum(number, data)) {
        return false;
    }
    std::copy_n(data, kBlockSize, flash_.begin() + std::size_t{number} * kBlockSize);
    std::copy_n(data, kBlockSize, lastBlock_.begin());
    blocks_.push_back(number);
    return true;
}

void emulatedFlashLoader::setBusyPolls(int reads) {
    std::lock_guard<std::mutex> lock(mutex_);
    busyPolls_ = reads;
}

void emulatedFlashLoader::setVerifyFault(bool failing) {
    std::lock_guard<std::mutex> lock(mutex_);
    verifyFault_ = failing;
}

std::array<uint8_t, emulatedFlashLoader::kFlashSize> emulatedFlashLoader::flash() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return flash_;
}

std::vector<uint8_t> emulatedFlashLoader::blocksWritten() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return blocks_;
}

int emulatedFlashLoader::completedSessions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sessions_;
}

bool emulatedFlashLoader::inLoader() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return inLoader_;
}

}  // namespace dravix::emu
