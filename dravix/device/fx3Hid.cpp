#include "device/fx3Hid.h"
#include "platform/libraryThread.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

namespace dravix {
namespace {

constexpr uint16_t kUsagePage = 0x0001;
constexpr uint16_t kUsage = 0x0000;

const char* statusMessage(uint8_t status) {
    switch (status) {
        case 2:
            return "BAD ARGUMENT";
        case 3:
            return "INVALID CMD ID";
        case 4:
            return "NOT IMPLEMENTED";
        case 9:
            return "MISSING DATA CHUNKS";
        case 11:
            return "USB RD";
        case 14:
            return "Flash Write";
        case 16:
            return "Hardware";
        case 20:
            return "I2C Processing";
        case 21:
            return "I2C Processing, not valid";
        default:
            return nullptr;
    }
}

}  // namespace

fx3Hid::fx3Hid(logger& log, platform::hidBackend& hid) : log_(log), hid_(hid) {
    log_.verbose("fx3Hid: construct");
}

fx3Hid::~fx3Hid() {
    log_.verbose("fx3Hid: destruct");
    close();
    waitForWaiters();
    // A caller between its request and its reply copy leaves before the object goes.
    std::lock_guard<std::recursive_mutex> lastTransaction(transactionMutex_);
}

std::vector<std::string> fx3Hid::candidatePaths(uint16_t vendorId, uint16_t productId,
                                                const std::string& deviceKey) const {
    std::vector<std::string> own;
    std::vector<std::string> unknown;
    for (const platform::hidInterfaceInfo& info : hid_.enumerate(vendorId, productId)) {
        if (info.vendorId != vendorId || info.productId != productId ||
            info.usagePage != kUsagePage || info.usage != kUsage) {
            continue;
        }
        if (deviceKey.empty() || info.deviceKey.empty()) {
            unknown.push_back(info.path);
        } else if (info.deviceKey == deviceKey) {
            own.push_back(info.path);
        }
    }
    own.insert(own.end(), unknown.begin(), unknown.end());
    return own;
}

bool fx3Hid::isPresent(uint16_t vendorId, uint16_t productId, const std::string& deviceKey) const {
    return !candidatePaths(vendorId, productId, deviceKey).empty();
}

bool fx3Hid::open(uint16_t vendorId, uint16_t productId, const std::string& deviceKey) {
    log_.verbose("fx3Hid::open: open");
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex_);
    if (readThread_.joinable() && !deviceGone_) {
        log_.debug("fx3Hid::open: can't create thread");
        return true;
    }
    // A device that went away leaves a dead channel behind: open it anew.
    running_ = false;
    if (readThread_.joinable()) {
        readThread_.join();
    }
    std::unique_lock<std::shared_mutex> deviceLock(deviceMutex_);
    device_.reset();
    for (const std::string& path : candidatePaths(vendorId, productId, deviceKey)) {
        device_ = hid_.open(path);
        if (device_ != nullptr) {
            break;
        }
    }
    if (device_ == nullptr) {
        return false;
    }
    lastStatus_ = 0;
    replyEvent_.reset();
    closed_ = false;
    abandoned_ = false;
    deviceGone_ = false;
    running_ = true;
    readThread_.start(
        [this] { libraryThread::run("fx3Hid::readThread", [this] { readThread(); }); });
    return true;
}

void fx3Hid::close() {
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex_);
    running_ = false;
    if (readThread_.joinable()) {
        readThread_.join();
    }
    setInterruptCallback(nullptr, nullptr);
    std::unique_lock<std::shared_mutex> deviceLock(deviceMutex_, std::defer_lock);
    closed_ = true;
    replyEvent_.set();  // a waiter sees the channel closed at once
    deviceLock.lock();
    if (device_ != nullptr) {
        log_.verbose("fx3Hid::close: close");
        device_.reset();
    }
}

void fx3Hid::abandonWaits() {
    abandoned_ = true;
    replyEvent_.set();
}

bool fx3Hid::isOpen() const {
    std::shared_lock<std::shared_mutex> deviceLock(deviceMutex_);
    return device_ != nullptr;
}

std::unique_lock<std::recursive_mutex> fx3Hid::transaction() {
    return std::unique_lock<std::recursive_mutex>(transactionMutex_);
}

// ---- Sending ---------------------------------------------------------------------------------

uint8_t fx3Hid::hidReport(uint8_t commandId, const uint8_t* data, uint8_t length) {
    if (length > kMaxRequestPayload) {
        log_.warn(
            "fx3Hid::hidReport: too much data for report request: %d, maximum is 62, sent first "
            "62 bytes",
            length);
        length = kMaxRequestPayload;
    }
    std::array<uint8_t, kReportSize> report{};
    report[0] = kCommandReportId;
    report[1] = commandId;
    if (length > 0) {
        std::memcpy(report.data() + 2, data, length);
    }
    std::shared_lock<std::shared_mutex> deviceLock(deviceMutex_);
    if (device_ == nullptr) {
        log_.error("fx3Hid::hidReport: device handle is NULL");
        return 1;
    }
    {
        // Replies that arrived before this request cannot answer it.
        mutexLock rx(rxMutex_);
        replyCountAtSend_ = replyCount_;
    }
    const int written = device_->writeReport(report.data(), report.size(), kWriteTimeoutMs);
    if (written == 0) {
        log_.error("fx3Hid::hidReport: timeout (timeout: %dms)", kWriteTimeoutMs);
        return 1;
    }
    if (written < 0) {
        deviceGone_ = deviceGone_ || written == -ENODEV;
        log_.error("hidReport, write failed: %d (0x%x)", -written, -written);
        return 1;
    }
    return 0;
}

uint8_t fx3Hid::hidSetFeature(uint8_t reportId, const uint8_t* data, uint16_t length) {
    std::array<uint8_t, kFeatureSize> feature{};
    std::shared_lock<std::shared_mutex> deviceLock(deviceMutex_);
    if (device_ == nullptr) {
        log_.error("fx3Hid::hidSetFeature: device handle is NULL");
        return 1;
    }
    if (length > kMaxFeatureData) {
        log_.warn(
            "fx3Hid::hidSetFeature: too much data for feature request: %d, maximum is 1023, "
            "sent first 1023 bytes",
            length);
        length = kMaxFeatureData;
    }
    feature[0] = reportId;
    if (length > 0) {
        std::memcpy(feature.data() + 1, data, length);
    }
    if (device_->sendFeatureReport(feature.data(), feature.size()) < 0) {
        log_.error("fx3Hid::hidSetFeature");
        return 1;
    }
    return 0;
}

uint8_t fx3Hid::hidGetFeature(uint8_t commandId, uint8_t* buffer, uint16_t length) {
    std::array<uint8_t, kFeatureSize> feature{};
    feature[0] = kFeatureDataReportId;
    std::shared_lock<std::shared_mutex> deviceLock(deviceMutex_);
    if (device_ == nullptr) {
        log_.error("fx3Hid::hidGetFeature: device handle is NULL");
        log_.error("transferFeat: getFeature, cmdId: %02X", commandId);
        return 1;
    }
    if (length > kMaxFeatureData) {
        log_.warn(
            "fx3Hid::hidGetFeature: too much data for feature request: %d, maximum is 1023, get "
            "only 1023 bytes",
            length);
        length = kMaxFeatureData;
    }
    if (device_->getFeatureReport(feature.data(), feature.size()) < 0) {
        log_.error("fx3Hid::hidGetFeature: hidGetFeature failed");
        log_.error("transferFeat: getFeature, cmdId: %02X", commandId);
        return 1;
    }
    // The caller receives the report id followed by the data: camera firmware and callers
    // count on that layout.
    std::memcpy(buffer, feature.data(), length);
    return 0;
}

// ---- Receiving -------------------------------------------------------------------------------

void fx3Hid::readThread() {
    log_.debug("fx3Hid::readThread: started");
    std::array<uint8_t, kReportSize> report{};
    while (running_) {
        report.fill(0);
        const int length = device_->readReport(report.data(), report.size(), kReadPollMs);
        if (length < 0) {
            deviceGone_ = true;
            break;
        }
        // A reply read while the channel closes is still kept (its command was carried out);
        // an interrupt then has no one left to handle it.
        if (length > 0 && (running_ || report[0] != kInterruptReportId)) {
            takeInputReport(report.data());
        }
    }
    log_.debug("fx3Hid::readThread: thread finish");
}

void fx3Hid::takeInputReport(const uint8_t* report) {
    const bool isInterrupt = report[0] == kInterruptReportId;
    {
        mutexLock rx(rxMutex_);
        std::memcpy(rxReport_.data(), report, kReportSize);
        if (!isInterrupt) {
            std::memcpy(replies_[replyCount_ % kKeptReplies].data(), report, kReportSize);
            ++replyCount_;
        }
    }
    lastReportId_ = report[0];
    lastCmdId_ = report[1];
    lastStatus_ = report[2];
    if (isInterrupt) {
        mutexLock lock(callbackMutex_);
        if (interruptCallback_ != nullptr) {
            interruptCallback_(report[1], report + 2, callbackContext_);
        }
        return;
    }
    replyEvent_.set();
}

uint8_t fx3Hid::hidWaitReponse(uint8_t commandId, uint32_t timeoutMs) {
    {
        std::lock_guard<std::mutex> lock(waitersMutex_);
        ++waiters_;
    }
    const uint32_t effectiveTimeout = std::max(timeoutMs, kMinimumReplyTimeoutMs);
    uint32_t elapsed = 0;
    uint8_t events = 0;
    uint8_t result = 1;
    uint64_t next;
    {
        mutexLock rx(rxMutex_);
        next = replyCountAtSend_;
    }
    // A reply that arrived counts before anything else: a camera that answered and then went
    // away (restarting after a firmware update, say) did carry out the command, however late
    // this thread runs. Only a wait that has no reply yet ends on a close or an abandon.
    for (;;) {
        if (std::optional<uint8_t> status = takeReplyStatus(commandId, next)) {
            result = hidCheckStatus(commandId, *status);
            break;
        }
        if (abandoned_) {
            log_.error("fx3Hid::hidWaitReponse: wait abandoned (cmdID: 0x%02X)", commandId);
            break;
        }
        if (closed_) {
            log_.error("fx3Hid::hidWaitReponse: device closed (cmdID: 0x%02X)", commandId);
            break;
        }
        if (elapsed >= effectiveTimeout) {
            log_.error("fx3Hid::hidWaitReponse: timeout for cmdID: 0x%02X, timeout: %d, events: %d",
                       commandId, effectiveTimeout, events);
            break;
        }
        elapsed += kWaitSliceMs;
        if (replyEvent_.waitFor(std::chrono::milliseconds(kWaitSliceMs))) {
            replyEvent_.reset();
            ++events;
        }
    }
    {
        // Notified under the lock: the destructor may free the object as soon as it sees 0.
        std::lock_guard<std::mutex> lock(waitersMutex_);
        --waiters_;
        waitersLeft_.notify_all();
    }
    return result;
}

std::optional<uint8_t> fx3Hid::takeReplyStatus(uint8_t commandId, uint64_t& next) {
    mutexLock rx(rxMutex_);
    const report* reply = findReply(commandId, next);
    if (reply == nullptr) {
        return std::nullopt;
    }
    acceptedReply_ = *reply;
    return (*reply)[2];
}

const fx3Hid::report* fx3Hid::findReply(uint8_t commandId, uint64_t& next) const {
    if (replyCount_ - next > kKeptReplies) {
        next = replyCount_ - kKeptReplies;  // older ones were overwritten unseen
    }
    for (; next < replyCount_; ++next) {
        const report& reply = replies_[next % kKeptReplies];
        if (reply[0] == kCommandReportId && reply[1] == commandId) {
            ++next;
            return &reply;
        }
    }
    return nullptr;
}

uint8_t fx3Hid::hidCheckStatus(uint8_t commandId, uint8_t status) {
    if (status == 0) {
        return 0;
    }
    if (const char* message = statusMessage(status)) {
        log_.error("fx3Hid::hidCheckStatus: %s (cmd: 0x%02X)", message, commandId);
    } else {
        log_.error("fx3Hid::hidCheckStatus: HID undocumented error (status: %d) (cmd: 0x%02X)",
                   status, commandId);
    }
    return 1;
}

void fx3Hid::copyReplyPayload(uint8_t* out, std::size_t length) {
    mutexLock rx(rxMutex_);
    std::memcpy(out, acceptedReply_.data() + kReplyPayloadOffset,
                std::min(length, kMaxReplyPayload));
}

std::array<uint8_t, fx3Hid::kReportSize> fx3Hid::rxReport() const {
    mutexLock rx(rxMutex_);
    return rxReport_;
}

// The callback and its context change together; the reader never sees one without the other.
void fx3Hid::setInterruptCallback(InterruptCallback callback, void* context) {
    mutexLock lock(callbackMutex_);
    callbackContext_ = context;
    interruptCallback_ = callback;
}

// ---- Exchanges -------------------------------------------------------------------------------

uint8_t fx3Hid::sendAndAwait(uint8_t commandId, const uint8_t* data, uint8_t length,
                             uint32_t timeoutMs) {
    if (hidReport(commandId, data, length) != 0) {
        return 1;
    }
    return hidWaitReponse(commandId, timeoutMs);
}

uint8_t fx3Hid::command(uint8_t commandId, const uint8_t* request, uint8_t requestLength,
                        uint8_t* reply, std::size_t replyLength, uint32_t timeoutMs) {
    auto lock = transaction();
    const uint8_t result = sendAndAwait(commandId, request, requestLength, timeoutMs);
    if (result == 0 && reply != nullptr) {
        copyReplyPayload(reply, replyLength);
    }
    return result;
}

uint8_t fx3Hid::transferFeat(uint8_t direction, uint8_t commandId, uint8_t* buffer,
                             uint8_t headerLength, uint16_t featureLength) {
    auto lock = transaction();
    if (sendAndAwait(commandId, buffer, headerLength, kReplyTimeoutMs) != 0) {
        log_.error("transferFeat: hidReport, cmdId: %02X", commandId);
        return 1;
    }
    if (direction == kWrite) {
        if (hidSetFeature(kFeatureDataReportId, buffer + headerLength, featureLength) != 0) {
            log_.error("transferFeat: setFeature, cmdId: %02X", commandId);
            mutexLock rx(rxMutex_);
            std::memset(buffer, 0, featureLength);
            return 1;
        }
        copyReplyPayload(buffer, headerLength);
    } else if (hidGetFeature(commandId, buffer, featureLength) != 0) {
        return 1;
    }
    return endFeatureTransfer();
}

uint8_t fx3Hid::endFeatureTransfer() {
    const uint8_t payload = 0;
    if (sendAndAwait(kFeatureEndCommand, &payload, 1, kReplyTimeoutMs) != 0) {
        log_.error("transferFeat: hidReport, cmdId: %02X", kFeatureEndCommand);
        return 1;
    }
    return 0;
}

void fx3Hid::waitForWaiters() {
    replyEvent_.set();
    std::unique_lock<std::mutex> lock(waitersMutex_);
    waitersLeft_.wait(lock, [this] { return waiters_ == 0; });
}

}  // namespace dravix
