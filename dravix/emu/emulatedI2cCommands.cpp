#include "emu/emulatedI2cCommands.h"

#include <algorithm>
#include <array>

namespace dravix::emu {

emulatedI2cCommands::emulatedI2cCommands(emulatedI2cBus& bus, emulatedFeaturePort& features)
    : bus_(bus), features_(features) {}

commandReply emulatedI2cCommands::read(const commandPayload& payload) {
    auto request = parse(payload);
    if (!request) {
        return status(replyStatus::badArgument);
    }
    std::size_t requestSize = std::max(request->dataLength, kHeaderSize + request->registerLength);
    if (requestSize < inReportLimit(*request)) {
        return readInReply(*request);
    }
    return readThroughFeature(*request);
}

commandReply emulatedI2cCommands::write(const commandPayload& payload) {
    auto request = parse(payload);
    if (!request) {
        return status(replyStatus::badArgument);
    }
    if (request->dataLength < inReportLimit(*request)) {
        return writeFromReport(*request, payload);
    }
    return writeThroughFeature(*request);
}

std::optional<emulatedI2cCommands::header> emulatedI2cCommands::parse(
    const commandPayload& payload) {
    header request{};
    request.address = payload[0];
    request.registerLength = payload[1];
    request.dataLength = static_cast<std::size_t>(payload[2]) << 8 | payload[3];
    if (kHeaderSize + request.registerLength > payload.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < request.registerLength; ++i) {
        // Leading zero bytes are fine; a set bit shifted past bit 31 is not.
        request.registerTooWide |= request.reg >> 24 != 0;
        request.reg = request.reg << 8 | payload[kHeaderSize + i];
    }
    return request;
}

std::size_t emulatedI2cCommands::inReportLimit(const header& request) {
    // Data shorter than this travels inside the command report (writes) or the reply (reads);
    // anything longer goes through a feature phase. The host decides by the same bound.
    return commandPayload{}.size() - kHeaderSize - request.registerLength;
}

commandReply emulatedI2cCommands::status(uint8_t value) {
    commandReply reply;
    reply.status = value;
    return reply;
}

commandReply emulatedI2cCommands::readInReply(const header& request) {
    commandReply reply;
    if (request.registerTooWide ||
        !bus_.read(request.address, request.reg, reply.payload.data(), request.dataLength)) {
        return status(replyStatus::i2cNotValid);
    }
    return reply;
}

commandReply emulatedI2cCommands::readThroughFeature(const header& request) {
    if (request.dataLength > emulatedFeaturePort::kDataSize) {
        return status(replyStatus::badArgument);
    }
    std::array<uint8_t, emulatedFeaturePort::kDataSize> data{};
    if (request.registerTooWide ||
        !bus_.read(request.address, request.reg, data.data(), request.dataLength)) {
        return status(replyStatus::i2cNotValid);
    }
    features_.serveRead(kFeatureReportId, data.data(), request.dataLength);
    return status(replyStatus::success);
}

commandReply emulatedI2cCommands::writeFromReport(const header& request,
                                                  const commandPayload& payload) {
    const uint8_t* data = payload.data() + kHeaderSize + request.registerLength;
    if (request.registerTooWide ||
        !bus_.write(request.address, request.reg, data, request.dataLength)) {
        return status(replyStatus::i2cNotValid);
    }
    return status(replyStatus::success);
}

commandReply emulatedI2cCommands::writeThroughFeature(const header& request) {
    if (request.dataLength > emulatedFeaturePort::kDataSize) {
        return status(replyStatus::badArgument);
    }
    if (request.registerTooWide) {
        return status(replyStatus::i2cNotValid);
    }
    // The bus write happens when the data arrives; its outcome is the end-of-transfer status.
    features_.acceptWrite(kFeatureReportId, [this, request](const uint8_t* data, std::size_t) {
        bool written = bus_.write(request.address, request.reg, data, request.dataLength);
        return written ? replyStatus::success : replyStatus::i2cNotValid;
    });
    return status(replyStatus::success);
}

}  // namespace dravix::emu
