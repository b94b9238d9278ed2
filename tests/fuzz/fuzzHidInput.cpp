// Fuzz target of the HID channel's input side: whatever a device sends (replies to other
// commands, malformed or stale replies, interrupt reports, feature data) must never crash the
// channel or be taken for the answer to the wrong command.
//
// The input is a sequence of 64-byte input reports that a scripted device plays back after
// each command report, followed by the proper reply; its first 1024 bytes also serve as the
// feature report of a read transfer. Its first 60 bytes (zero-padded) are then decoded as the
// data of a status interrupt, whose follow-up commands run on the same scripted device.
#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "device/deviceCommands.h"
#include "device/fx3Hid.h"
#include "device/identityRefresh.h"
#include "device/interruptDecoder.h"
#include "dsp/wbPushRegistration.h"

namespace {

using report = std::array<uint8_t, 64>;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzzHidInput: %s\n", what);
        std::abort();
    }
}

class scriptedDevice : public dravix::platform::hidDevice {
  public:
    // Starts a new script once the channel has taken every report of the previous one: a
    // late answer to an earlier exchange with the same command id is indistinguishable from
    // the answer itself, so no report may cross from one input to the next.
    void play(const uint8_t* data, std::size_t size) {
        std::unique_lock<std::mutex> lock(mutex_);
        drained_.wait(lock, [this] { return inputs_.empty() && readerIdle_; });
        script_.assign(data, data + size);
    }

    int writeReport(const uint8_t* output, std::size_t length, int) override {
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::size_t offset = 0; offset < script_.size(); offset += 64) {
            report input{};
            std::copy_n(script_.begin() + offset,
                        std::min<std::size_t>(64, script_.size() - offset), input.begin());
            inputs_.push_back(input);
        }
        report reply{};
        reply[0] = 1;
        reply[1] = output[1];
        inputs_.push_back(reply);
        arrived_.notify_all();
        return static_cast<int>(length);
    }

    // The reader asks for the next report only after the channel took the previous one.
    int readReport(uint8_t* buffer, std::size_t size, int timeoutMs) override {
        std::unique_lock<std::mutex> lock(mutex_);
        readerIdle_ = inputs_.empty();
        if (readerIdle_) {
            drained_.notify_all();
        }
        const bool arrived = arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                               [this] { return !inputs_.empty(); });
        readerIdle_ = false;
        if (!arrived) {
            return 0;
        }
        const std::size_t length = std::min(size, inputs_.front().size());
        std::copy_n(inputs_.front().begin(), length, buffer);
        inputs_.pop_front();
        return static_cast<int>(length);
    }

    int sendFeatureReport(const uint8_t*, std::size_t length) override {
        return static_cast<int>(length);
    }

    int getFeatureReport(uint8_t* feature, std::size_t length) override {
        std::fill_n(feature + 1, length - 1, 0);
        std::copy_n(script_.begin(), std::min(script_.size(), length - 1), feature + 1);
        return static_cast<int>(length);
    }

  private:
    std::vector<uint8_t> script_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::condition_variable drained_;
    std::deque<report> inputs_;
    bool readerIdle_ = false;
};

void onInterrupt(uint8_t, const uint8_t* data, void* context) {
    auto* copy = static_cast<std::array<uint8_t, 60>*>(context);
    std::copy_n(data, copy->size(), copy->begin());
}

class scriptedBackend : public dravix::platform::hidBackend {
  public:
    std::vector<dravix::platform::hidInterfaceInfo> enumerate(uint16_t vendorId,
                                                              uint16_t productId) override {
        return {{"scripted", vendorId, productId, 0x0001, 0x0000, ""}};
    }
    std::unique_ptr<dravix::platform::hidDevice> open(const std::string&) override {
        auto device = std::make_unique<scriptedDevice>();
        opened = device.get();
        return device;
    }

    scriptedDevice* opened = nullptr;
};

// One channel for the whole run: its reader thread keeps running between inputs.
struct channel {
    channel() {
        check(hid.open(0x20F1, 0x0107), "scripted device did not open");
        hid.setInterruptCallback(&onInterrupt, &interruptData);
    }
    dravix::logger quiet;  // never opened: messages are dropped
    scriptedBackend backend;
    dravix::fx3Hid hid{quiet, backend};
    std::array<uint8_t, 60> interruptData{};

    // The interrupt decoding on this channel, as a camera has it.
    DeviceStatus status{};
    std::recursive_mutex statusMutex;
    dravix::deviceCommands commands{
        quiet, [this] { return std::shared_ptr<dravix::fx3Hid>(&hid, [](dravix::fx3Hid*) {}); },
        status, statusMutex};
    dravix::identityRefresh refresh{quiet, commands};
    dravix::wbPushRegistration wbPush;
    int reports = 0;
    dravix::interruptDecoder decoder{
        quiet, commands, refresh, wbPush, [] { return false; }, [this] { ++reports; }};
};

// Any status interrupt: bounded names, one status report, and only high nibbles left in the
// head-key bytes.
void decodeStatusInterrupt(channel& shared, const uint8_t* data, std::size_t size) {
    dravix::interruptThread::data report{};
    std::copy_n(data, std::min(size, report.size()), report.begin());
    const uint32_t mask = static_cast<uint32_t>(report[1]) << 24 |
                          static_cast<uint32_t>(report[2]) << 16 |
                          static_cast<uint32_t>(report[3]) << 8 | report[4];
    check(std::strlen(dravix::interruptDecoder::typeName(report[0])) < 256, "type name too long");
    check(dravix::interruptDecoder::eventText(report[0], mask).size() < 1024,
          "event text too long");
    const int before = shared.reports;
    shared.decoder.decode(report);
    check(shared.reports == before + 1, "a status interrupt is reported once");
    check((shared.status.headKeys[0] & 0x0F) == 0 && (shared.status.headKeys[1] & 0x0F) == 0,
          "head-key low nibbles not cleared");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The channel keeps the last 16 replies for a waiter; a device that sends more than that
    // between a request and its answer is beyond what the first-answer rule can promise.
    if (size > 64 * 15) {
        return 0;
    }
    static channel* const shared = new channel();  // lives until the process ends
    dravix::fx3Hid& hid = shared->hid;
    shared->backend.opened->play(data, size);

    // The first report that answers the command decides the exchange: a scripted one, or else
    // the device's proper reply.
    constexpr uint8_t kCommand = 0x5A;
    report answer{};
    answer[0] = 1;
    answer[1] = kCommand;
    for (std::size_t offset = 0; offset + 3 <= size; offset += 64) {
        if (data[offset] == 1 && data[offset + 1] == kCommand) {
            answer.fill(0);
            std::copy_n(data + offset, std::min<std::size_t>(64, size - offset), answer.begin());
            break;
        }
    }
    std::array<uint8_t, 61> reply{};
    const uint8_t result = hid.command(kCommand, nullptr, 0, reply.data(), reply.size());
    check(result == (answer[2] == 0 ? 0 : 1), "the exchange's result is not its answer's status");
    if (result == 0) {
        check(std::equal(reply.begin(), reply.end(), answer.begin() + 3),
              "the reply payload is not the answer's");
    }

    std::vector<uint8_t> buffer(1024);
    if (hid.transferFeat(dravix::fx3Hid::kRead, kCommand, buffer.data(), 4, 1023) == 0) {
        check(buffer[0] == 1, "feature data must begin with its report id");
    }
    decodeStatusInterrupt(*shared, data, size);
    return 0;
}
