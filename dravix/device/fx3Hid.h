#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "log/logger.h"
#include "platform/hid.h"
#include "platform/manualResetEvent.h"
#include "platform/ownedThread.h"
#include "platform/threadAnnotations.h"

namespace dravix {

// Receives interrupt reports on the reader thread: the interrupt type and the 60 data bytes.
// It must only copy the data and signal, or input stalls.
using InterruptCallback = void (*)(uint8_t type, const uint8_t* data, void* context);

// The command channel to one camera over its HID interface: command reports, the replies that
// carry the same command id, interrupt reports and feature-report data phases.
//
// A request and its reply form a transaction. transaction() serialises them across every
// thread that uses the channel (client, interrupt handling, firmware update): hold it from
// hidReport() to copyReplyPayload(). command() and transferFeat() take it themselves.
class fx3Hid {
  public:
    static constexpr std::size_t kReportSize = 64;
    static constexpr std::size_t kMaxRequestPayload = 62;
    static constexpr std::size_t kReplyPayloadOffset = 3;
    static constexpr std::size_t kMaxReplyPayload = kReportSize - kReplyPayloadOffset;
    static constexpr std::size_t kInterruptDataSize = 60;
    static constexpr std::size_t kFeatureSize = 1024;
    static constexpr std::size_t kMaxFeatureData = kFeatureSize - 1;
    static constexpr uint32_t kReplyTimeoutMs = 1000;
    static constexpr uint32_t kMinimumReplyTimeoutMs = 100;
    static constexpr uint32_t kWaitSliceMs = 10;
    static constexpr int kWriteTimeoutMs = 5000;
    static constexpr int kReadPollMs = 50;
    static constexpr uint8_t kCommandReportId = 1;
    static constexpr uint8_t kInterruptReportId = 2;
    static constexpr uint8_t kFeatureDataReportId = 1;
    static constexpr uint8_t kFeatureEndCommand = 0xE2;
    static constexpr uint8_t kWrite = 0;
    static constexpr uint8_t kRead = 1;

    fx3Hid(logger& log, platform::hidBackend& hid);
    ~fx3Hid();
    fx3Hid(const fx3Hid&) = delete;
    fx3Hid& operator=(const fx3Hid&) = delete;

    // Opens the command collection (these ids, usage page 0x0001, usage 0x0000) of the USB
    // device `deviceKey` and starts reading. Where no collection carries that key, the first
    // one whose device is unknown is taken, and with an empty key the first one: nothing tells
    // them apart. A collection known to belong to another device is never taken. True when the
    // channel is open.
    bool open(uint16_t vendorId, uint16_t productId, const std::string& deviceKey = {});
    // True when open() with these arguments would find a collection to open.
    bool isPresent(uint16_t vendorId, uint16_t productId, const std::string& deviceKey) const;
    // Stops reading and closes the device; a caller waiting for a reply that has not arrived
    // then fails at once.
    void close();
    // Makes every reply wait that has no reply yet fail at once, the one in progress and all
    // later ones until the next open(): for an owner about to close the channel, whose threads
    // must not wait out their time-outs first. A reply that did arrive still answers its wait.
    void abandonWaits();
    bool isOpen() const;
    // True once reading or writing found the device gone (unplugged, or reset), until the next
    // open(); the channel then stays dead, even if the device comes back.
    bool isDeviceGone() const { return deviceGone_; }

    std::unique_lock<std::recursive_mutex> transaction();

    // Sends one command report with up to 62 payload bytes (more are cut). 0 or 1.
    uint8_t hidReport(uint8_t commandId, const uint8_t* data, uint8_t length);
    // Waits for the reply to `commandId` (at least 100 ms) and checks its status. 0 or 1.
    uint8_t hidWaitReponse(uint8_t commandId, uint32_t timeoutMs);
    // Copies up to 61 bytes of the payload of the last reply.
    void copyReplyPayload(uint8_t* out, std::size_t length);
    // Writes one 1024-byte feature report with up to 1023 data bytes (more are cut). 0 or 1.
    uint8_t hidSetFeature(uint8_t reportId, const uint8_t* data, uint16_t length);
    // A command whose data follows in a feature report (direction kWrite) or whose answer comes
    // back in one (kRead), ended by the end-of-transfer command. 0 or 1.
    uint8_t transferFeat(uint8_t direction, uint8_t commandId, uint8_t* buffer,
                         uint8_t headerLength, uint16_t featureLength);
    // The whole exchange of a simple command: the request, the reply within `timeoutMs`, and
    // `replyLength` bytes of its payload (only on success). 0 or 1.
    uint8_t command(uint8_t commandId, const uint8_t* request, uint8_t requestLength,
                    uint8_t* reply = nullptr, std::size_t replyLength = 0,
                    uint32_t timeoutMs = kReplyTimeoutMs);

    // Installed by the owner after open(); cleared by close().
    void setInterruptCallback(InterruptCallback callback, void* context);

    // The newest input report of any kind and its first three bytes.
    std::array<uint8_t, kReportSize> rxReport() const;
    uint8_t lastReportId() const { return lastReportId_; }
    uint8_t lastCmdId() const { return lastCmdId_; }
    uint8_t lastStatus() const { return lastStatus_; }

  private:
    static constexpr std::size_t kKeptReplies = 16;
    using report = std::array<uint8_t, kReportSize>;

    // The paths open() tries, in order.
    std::vector<std::string> candidatePaths(uint16_t vendorId, uint16_t productId,
                                            const std::string& deviceKey) const;
    void readThread();
    void takeInputReport(const uint8_t* report);
    // Reads a feature report of id 1 and copies `length` bytes of it, report id first.
    uint8_t hidGetFeature(uint8_t commandId, uint8_t* buffer, uint16_t length);
    uint8_t hidCheckStatus(uint8_t commandId, uint8_t status);
    // The status of the first reply to commandId from `next` on, kept as the accepted reply.
    std::optional<uint8_t> takeReplyStatus(uint8_t commandId, uint64_t& next) EXCLUDES(rxMutex_);
    // The first reply to `commandId` among those that arrived since the request; rxMutex_ held.
    const report* findReply(uint8_t commandId, uint64_t& next) const REQUIRES(rxMutex_);
    uint8_t endFeatureTransfer();
    uint8_t sendAndAwait(uint8_t commandId, const uint8_t* data, uint8_t length,
                         uint32_t timeoutMs);
    void waitForWaiters();

    logger& log_;
    platform::hidBackend& hid_;

    // The open device; senders hold it shared, close() exclusively. The reader thread uses it
    // without the lock: close() joins the reader before it releases the device.
    mutable std::shared_mutex deviceMutex_;
    std::unique_ptr<platform::hidDevice> device_;
    std::mutex lifecycleMutex_;  // open() and close()
    ownedThread readThread_;
    std::atomic<bool> running_{false};
    // Set when reading or writing found the device gone; the next open() starts afresh.
    std::atomic<bool> deviceGone_{false};

    // Recursive: a caller holding transaction() for several steps may call command() and
    // transferFeat(), which take it themselves.
    std::recursive_mutex transactionMutex_;

    // Input side. rxMutex_ guards the newest report of any kind and the recent replies. A waiter
    // examines every reply that arrived since its request in order, so its answer is never lost
    // to an interrupt or to another reply that follows it.
    mutable annotatedMutex rxMutex_;
    report rxReport_ GUARDED_BY(rxMutex_){};
    std::array<report, kKeptReplies> replies_ GUARDED_BY(rxMutex_){};
    uint64_t replyCount_ GUARDED_BY(rxMutex_) = 0;
    uint64_t replyCountAtSend_ GUARDED_BY(rxMutex_) = 0;
    report acceptedReply_ GUARDED_BY(rxMutex_){};
    std::atomic<uint8_t> lastReportId_{0};
    std::atomic<uint8_t> lastCmdId_{0};
    std::atomic<uint8_t> lastStatus_{0};
    manualResetEvent replyEvent_;

    annotatedMutex callbackMutex_;
    InterruptCallback interruptCallback_ GUARDED_BY(callbackMutex_) = nullptr;
    void* callbackContext_ GUARDED_BY(callbackMutex_) = nullptr;

    // Callers inside hidWaitReponse; destruction waits for them to leave.
    std::mutex waitersMutex_;
    std::condition_variable waitersLeft_;
    int waiters_ = 0;
    std::atomic<bool> closed_{true};
    std::atomic<bool> abandoned_{false};
};

}  // namespace dravix
