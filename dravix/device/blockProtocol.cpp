#include "device/blockProtocol.h"

#include <algorithm>

namespace dravix {

blockProtocol::blockProtocol(updateSession& session, uint8_t component)
    : session_(session), component_(component) {}

uint8_t blockProtocol::run() {
    const uint8_t result = transfer();
    session_.progress().setResult(result);
    if (result != 0) {
        session_.log().error("update failed");
        return result;
    }
    session_.log().info("update finished");
    return 0;
}

// A cancel counts as a failure until END is answered: from then on the image is the device's,
// and a cancel that follows (the camera restarting with it, a close) changes nothing.
uint8_t blockProtocol::transfer() {
    if (session_.cancelled()) {
        return 1;
    }
    uint8_t result = start();
    while (result == 0 && session_.progress().done() < session_.image().size()) {
        if (session_.cancelled()) {
            return 1;
        }
        result = sendBlock();
    }
    if (result != 0) {
        return result;
    }
    if (session_.cancelled()) {
        return 1;
    }
    return end();
}

uint8_t blockProtocol::start() {
    const uint32_t size = static_cast<uint32_t>(session_.image().size());
    const uint8_t request[] = {component_, static_cast<uint8_t>(size >> 24),
                               static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 8),
                               static_cast<uint8_t>(size)};
    return session_.channel().command(kCmdStart, request, sizeof request, nullptr, 0,
                                      kCommandTimeoutMs);
}

uint8_t blockProtocol::sendBlock() {
    fx3Hid& channel = session_.channel();
    updateProgress& progress = session_.progress();
    const uint64_t done = progress.done();
    const uint32_t number = static_cast<uint32_t>(done / kBlockSize);
    // The block number is the one little-endian value of the protocol.
    const uint8_t request[] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8)};
    const auto unit = channel.transaction();
    if (channel.command(kCmdBlock, request, sizeof request, nullptr, 0, kCommandTimeoutMs) != 0) {
        return 1;
    }
    const std::vector<uint8_t>& image = session_.image();
    const uint64_t length = std::min<uint64_t>(kBlockSize, image.size() - done);
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(done), length, block_.begin());
    progress.advance(length);
    return channel.hidSetFeature(kBlockReportId, block_.data(), kBlockReportData);
}

uint8_t blockProtocol::end() {
    return session_.channel().command(kCmdEnd, block_.data(), 1, nullptr, 0, kCommandTimeoutMs);
}

}  // namespace dravix
