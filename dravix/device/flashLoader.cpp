#include "device/flashLoader.h"

#include <array>

namespace dravix {

namespace {

using std::chrono::milliseconds;

constexpr uint8_t kEnterValue = 0x83;
constexpr uint8_t kQueryValue = 0x35;
constexpr uint8_t kEraseFirst = 0x08;
constexpr uint8_t kEraseLast = 0x7F;
constexpr uint8_t kBlockTrailer = 0x01;
// What the read-back returns from this byte on must be zero.
constexpr std::size_t kReadBackZeroFrom = 128;

}  // namespace

flashLoader::flashLoader(updateSession& session, uint8_t address)
    : session_(session), address_(address) {}

uint8_t flashLoader::run() {
    updateProgress& progress = session_.progress();
    if (!flashLoaderImage::convert(session_.image())) {
        session_.log().error("camera::elcUpdate: not a flash loader image");
        return 1;
    }
    blocks_ = flashLoaderImage::blocksToWrite(session_.image());
    progress.setTotal(blocks_.size());
    progress.setResult(0);
    deviceCommands& commands = session_.commands();
    commands.enableHeadInt(false);
    if (enterLoader()) {
        if (waitAfterErase()) {
            writeBlocks();
        }
        leaveLoader();
    }
    commands.enableHeadInt(true);
    return progress.result();
}

bool flashLoader::cancelledOrPaused(milliseconds duration) {
    return !session_.pause(duration);
}

bool flashLoader::failedWith(uint8_t code) {
    session_.keepFirstError(code);
    return true;
}

// Steps whose failure still leaves the loader through 'T' return true here after storing
// their code; only a failed switch into the loader returns false.
bool flashLoader::enterLoader() {
    write(kCmdStartLoader, {0x00});
    if (cancelledOrPaused(milliseconds(30))) {
        return !failedWith(1);
    }
    write(kCmdStartLoader, {0x00});
    if (cancelledOrPaused(milliseconds(300)) || cancelledOrPaused(milliseconds(100))) {
        return !failedWith(1);
    }
    const uint8_t entered = write(kCmdEnter, {kEnterValue});
    session_.progress().setResult(entered);
    return entered == 0;
}

// The loader's answer, the query and the erase; each failure stores its code and ends the
// block loop before its first block.
bool flashLoader::waitAfterErase() {
    switch (pollReady(kPollReads)) {
        case poll::ready:
            break;
        case poll::readFailed:
            return !failedWith(kFirstPollFailed);
        case poll::notReady:
            session_.log().error("camera::elcUpdate: WRONG FLASHLOAD VERSION");
            return !failedWith(kNoAnswer);
    }
    if (write(kCmdQuery, {kQueryValue}) != 0) {
        return !failedWith(kQueryFailed);
    }
    if (write(kCmdErase, {kEraseFirst, kEraseLast}) != 0) {
        return !failedWith(kEraseFailed);
    }
    if (cancelledOrPaused(milliseconds(600)) || cancelledOrPaused(milliseconds(20))) {
        return !failedWith(1);
    }
    poll state = pollReady(kPollReads);
    for (int round = 0; round < kExtraPollRounds && state != poll::ready; ++round) {
        if (cancelledOrPaused(milliseconds(20))) {
            return !failedWith(1);
        }
        state = pollReady(1);
    }
    if (state != poll::ready) {
        session_.log().error("camera::elcUpdate: WRONG FLASHLOAD VERSION");
        return !failedWith(kNoAnswer);
    }
    return true;
}

void flashLoader::writeBlocks() {
    for (const flashLoaderImage::block& block : blocks_) {
        if (session_.cancelled()) {
            failedWith(1);
            return;
        }
        session_.progress().advance(1);
        const uint8_t result = writeBlock(block);
        if (result != 0) {
            failedWith(result);
            return;
        }
    }
}

uint8_t flashLoader::writeBlock(const flashLoaderImage::block& block) {
    const uint8_t* bytes =
        session_.image().data() + std::size_t{block.number} * flashLoaderImage::kBlockSize;
    std::vector<uint8_t> data(bytes, bytes + flashLoaderImage::kBlockSize);
    data.insert(data.end(), {block.checksum, block.number, kBlockTrailer});
    const auto unit = session_.channel().transaction();
    if (write(kCmdSend, data) != 0) {
        return kBlockWriteFailed;
    }
    if (pollReady(kPollReads) != poll::ready) {
        session_.log().error("camera::elcUpdate: write error block %d", block.number);
        return kNoAnswer;
    }
    return checkReadBack(block);
}

// The read-back comes through a feature report whose first byte is the report id; from byte
// 128 on, what it returns must be zero.
uint8_t flashLoader::checkReadBack(const flashLoaderImage::block& block) {
    std::array<uint8_t, kReadBackLength> readBack{};
    const uint8_t reg = kCmdReadBack;
    if (session_.commands().i2cRead(address_, &reg, 1, readBack.data(), kReadBackLength) != 0) {
        return kReadBackFailed;
    }
    uint8_t result = 0;
    for (std::size_t i = kReadBackZeroFrom; i < readBack.size(); ++i) {
        if (readBack[i] != 0) {
            result = kVerifyFailed;
            session_.log().error(
                "camera::elcUpdate: %d %x", kVerifyFailed,
                static_cast<unsigned>(block.number * flashLoaderImage::kBlockSize));
        }
    }
    return result;
}

void flashLoader::leaveLoader() {
    session_.commands().enableHeadInt(true);
    if (write(kCmdTerminate, {0x00}) != 0) {
        session_.keepFirstError(kTerminateFailed);
    }
}

flashLoader::poll flashLoader::pollReady(int reads) {
    const uint8_t reg = kCmdPoll;
    poll state = poll::notReady;
    for (int i = 0; i < reads; ++i) {
        uint8_t answer = 0;
        if (session_.commands().i2cRead(address_, &reg, 1, &answer, 1) != 0) {
            state = poll::readFailed;
            continue;
        }
        if (answer == kReady) {
            return poll::ready;
        }
        state = poll::notReady;
    }
    return state;
}

uint8_t flashLoader::write(uint8_t command, const std::vector<uint8_t>& data) {
    return session_.commands().i2cWrite(address_, &command, 1, data.data(),
                                        static_cast<uint16_t>(data.size()));
}

}  // namespace dravix
