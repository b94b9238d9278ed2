#include "emu/emulatedCamera.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <utility>

namespace dravix::emu {

namespace {

constexpr uint8_t kGetVersionCommand = 0x02;
constexpr uint8_t kGetSerialCommand = 0x03;
constexpr uint8_t kGetHardwareRevCommand = 0x04;
constexpr uint8_t kControlCommand = 0xD0;
constexpr uint8_t kHeadAddress = 0x78;
constexpr uint8_t kConfigSetCommand = 0xD2;
constexpr uint8_t kConfigGetCommand = 0xD3;
constexpr uint8_t kDspGetCommand = 0x20;
constexpr uint8_t kDspSetCommand = 0x21;
constexpr uint8_t kDspSaveCommand = 0x22;
constexpr uint8_t kHidCalibrationCommand = 0x23;
constexpr uint8_t kAppStateCommand = 0xD1;
constexpr uint8_t kI2cReadCommand = 0xE0;
constexpr uint8_t kI2cWriteCommand = 0xE1;
constexpr uint8_t kEndTransferCommand = 0xE2;
constexpr uint8_t kHeadPowerControl = 0x80;
constexpr uint8_t kRebootControl = 0x82;
constexpr uint32_t kAppStarted = 1u << 0;      // controller source
constexpr uint32_t kHeadConnected = 1u << 1;   // controller source
constexpr uint32_t kHeadBooted = 1u << 0;      // head source
constexpr uint32_t kHeadKeyPressed = 1u << 2;  // head source
constexpr uint16_t kVendorUsagePage = 0xFF00;
constexpr uint16_t kVendorUsage = 0x0001;
constexpr uint16_t kCommandUsagePage = 0x0001;
constexpr uint16_t kCommandUsage = 0x0000;
// How long a departing camera waits for the host to take its last replies.
constexpr std::chrono::milliseconds kRepliesTakenLimit{2000};

std::string videoKeyOf(int number, uint32_t setId) {
    char key[32];
    std::snprintf(key, sizeof key, "EMUCAM-%d-%x", number, static_cast<unsigned>(setId & 0xFFFFFF));
    return key;
}

commandReply notImplemented(const commandPayload&) {
    commandReply reply;
    reply.status = replyStatus::notImplemented;
    return reply;
}

}  // namespace

emulatedCamera::emulatedCamera(int number, uint32_t setId, const emulatedVideoFormat& format)
    : number_(number),
      hidPath_(kHidPathPrefix + std::to_string(number)),
      videoKey_(videoKeyOf(number, setId)),
      i2c_(bus_, features_),
      blockFlash_(features_, [this] { unplug(); }),
      jtag_(std::make_shared<emulatedJtagPort>([this] { unplug(); })),
      dsp_([this](bool flipped) { setVerticalFlip(flipped); }),
      dspEvents_(dsp_,
                 [this](uint8_t type, const emulatedDspEvents::interruptData& data,
                        std::chrono::milliseconds delay) { interrupts_.send(type, data, delay); }),
      interrupts_(identity_,
                  [this](uint8_t type, const emulatedInterrupts::interruptData& data,
                         std::chrono::milliseconds delay) { injectInterrupt(type, data, delay); }),
      recorderUnit_(
          [this](uint8_t type, const emulatedRecorder::interruptData& data,
                 std::chrono::milliseconds delay) { interrupts_.send(type, data, delay); }),
      video_(format) {
    installBuiltInCommands();
}

emulatedCamera::~emulatedCamera() {
    {
        std::lock_guard<std::mutex> lock(departureMutex_);
        closing_ = true;
    }
    departureChanged_.notify_all();
    std::lock_guard<std::mutex> thread(departureThreadMutex_);
    departure_.join();
}

std::vector<platform::hidInterfaceInfo> emulatedCamera::hidCollections() const {
    if (!isPlugged()) {
        return {};
    }
    return {
        {hidPath_, kVendorId, kProductId, kVendorUsagePage, kVendorUsage, videoKey_},
        {hidPath_, kVendorId, kProductId, kCommandUsagePage, kCommandUsage, videoKey_},
    };
}

std::vector<uint8_t> emulatedCamera::appStates() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return appStates_;
}

std::optional<platform::videoDeviceInfo> emulatedCamera::videoDevice() const {
    if (video_.session() == emulatedVideoSource::kNoSession) {
        return std::nullopt;
    }
    return platform::videoDeviceInfo{kVideoNamePrefix + std::to_string(number_), videoPath()};
}

std::string emulatedCamera::videoPath() const {
    std::string path = kVideoPathPrefix + videoKey_ + "#" + std::to_string(number_);
    std::lock_guard<std::mutex> lock(mutex_);
    return renumbered_ == 0 ? path : path + "." + std::to_string(renumbered_);
}

void emulatedCamera::renumberVideo() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++renumbered_;
}

void emulatedCamera::setVideoFormat(uint16_t width, uint16_t height, uint16_t fps) {
    if (!emulatedVideoFormat::isValid(width, height, fps)) {
        throw std::invalid_argument("emulatedCamera::setVideoFormat: format out of range");
    }
    video_.setFormat({width, height, fps});
}

emulatedVideoFormat emulatedCamera::videoFormat() const {
    return video_.format();
}

void emulatedCamera::pauseFrames(bool paused) {
    video_.setPaused(paused);
}

bool emulatedCamera::deliverBuffer(std::vector<uint8_t> buffer) {
    return video_.deliverBuffer(std::move(buffer));
}

uint64_t emulatedCamera::framesDelivered() const {
    return video_.delivered();
}

void emulatedCamera::setVerticalFlip(bool flipped) {
    video_.setUpsideDown(flipped);
}

bool emulatedCamera::verticalFlip() const {
    return video_.upsideDown();
}

void emulatedCamera::setCommandHandler(uint8_t commandId, commandHandler handler) {
    std::shared_ptr<const commandHandler> shared =
        handler ? std::make_shared<commandHandler>(std::move(handler)) : nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    handlers_[commandId] = std::move(shared);
}

void emulatedCamera::injectInterrupt(uint8_t type, const std::array<uint8_t, 60>& data) {
    injectInterrupt(type, data, std::chrono::milliseconds(0));
}

void emulatedCamera::injectInterrupt(uint8_t type, const std::array<uint8_t, 60>& data,
                                     std::chrono::milliseconds delay) {
    report interrupt{};
    interrupt[0] = kInterruptReportId;
    interrupt[1] = type;
    std::copy(data.begin(), data.end(), interrupt.begin() + 2);
    if (delay.count() <= 0) {
        endpoint_.post(endpoint_.session(), interrupt);
    } else {
        endpoint_.postAt(endpoint_.session(), interrupt, emulatedHidEndpoint::clock::now() + delay);
    }
}

void emulatedCamera::unplug() {
    endpoint_.unplug();
    // A device that comes back has forgotten any data phase it was in.
    features_.endTransfer();
    video_.unplug();
}

void emulatedCamera::replug() {
    endpoint_.plug();
    video_.plug();
    announceStart();
}

void emulatedCamera::setRestartTime(std::chrono::milliseconds away) {
    std::lock_guard<std::mutex> lock(departureMutex_);
    restartTime_ = away;
}

void emulatedCamera::setStartAnnouncement(bool on) {
    startAnnouncement_ = on;
}

void emulatedCamera::announceStart() {
    if (startAnnouncement_) {
        interrupts_.raise(emulatedInterrupts::kController, kAppStarted);
    }
}

void emulatedCamera::pressHeadKeys(uint8_t key0, uint8_t key1) {
    identity_.setHeadKeys(key0, key1);
    interrupts_.raise(emulatedInterrupts::kHead, kHeadKeyPressed);
}

void emulatedCamera::replugVideo() {
    video_.plug();
}

bool emulatedCamera::isPlugged() const {
    return endpoint_.session() != emulatedHidEndpoint::kNoSession;
}

void emulatedCamera::startRecording() {
    recorder_.start();
}

void emulatedCamera::stopRecording() {
    recorder_.stop();
}

void emulatedCamera::clearRecording() {
    recorder_.clear();
}

std::vector<wireRecord> emulatedCamera::recorded() const {
    return recorder_.records();
}

void emulatedCamera::setReplyLatency(std::chrono::microseconds latency) {
    std::lock_guard<std::mutex> lock(mutex_);
    latency_ = latency;
}

std::chrono::microseconds emulatedCamera::replyLatency() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return latency_;
}

void emulatedCamera::queueNoReply() {
    queueFault({replyFault::kind::noReply});
}

void emulatedCamera::queueLateReply(std::chrono::milliseconds delay) {
    queueFault({replyFault::kind::lateReply, 0, delay});
}

void emulatedCamera::queueHeldReply() {
    queueFault({replyFault::kind::heldReply});
}

void emulatedCamera::releaseHeldReplies() {
    std::vector<std::pair<uint64_t, report>> held;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held.swap(heldReplies_);
    }
    for (const auto& [session, reply] : held) {
        endpoint_.post(session, reply);
    }
}

std::size_t emulatedCamera::heldReplies() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return heldReplies_.size();
}

void emulatedCamera::queueWrongEcho(uint8_t commandId) {
    queueFault({replyFault::kind::wrongEcho, commandId});
}

void emulatedCamera::queueReplyStatus(uint8_t status) {
    queueFault({replyFault::kind::status, status});
}

void emulatedCamera::queueReplyReportId(uint8_t reportId) {
    queueFault({replyFault::kind::reportId, reportId});
}

void emulatedCamera::clearFaults() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
}

void emulatedCamera::setStalledWrites(bool stalled) {
    stalledWrites_ = stalled;
}

void emulatedCamera::setFailingFeatures(bool failing) {
    features_.setFailing(failing);
}

uint64_t emulatedCamera::openSession() const {
    return endpoint_.session();
}

int emulatedCamera::writeReport(uint64_t session, const uint8_t* output, std::size_t length,
                                int timeoutMs) {
    awaitDeparture();
    if (!endpoint_.isOpen(session)) {
        return -ENODEV;
    }
    if (output == nullptr || length == 0 || length > kReportSize) {
        return -EINVAL;
    }
    if (stalledWrites_) {
        return endpoint_.stall(session, std::chrono::milliseconds(timeoutMs));
    }
    recorder_.add(wireKind::output, output, length);
    // A short report reaches the camera zero-padded; reports with other ids carry no command.
    report command{};
    std::copy_n(output, length, command.begin());
    if (command[0] == kCommandReportId) {
        answer(session, command);
    }
    return static_cast<int>(length);
}

int emulatedCamera::readReport(uint64_t session, uint8_t* buffer, std::size_t size, int timeoutMs) {
    if (buffer == nullptr || size == 0) {
        return -EINVAL;
    }
    report input;
    int result = endpoint_.read(session, input, std::chrono::milliseconds(timeoutMs));
    if (result <= 0) {
        return result;
    }
    recorder_.add(wireKind::input, input.data(), input.size());
    std::size_t copied = std::min(size, input.size());
    std::copy_n(input.begin(), copied, buffer);
    return static_cast<int>(copied);
}

int emulatedCamera::sendFeatureReport(uint64_t session, const uint8_t* feature,
                                      std::size_t length) {
    awaitDeparture();
    if (!endpoint_.isOpen(session)) {
        return -ENODEV;
    }
    if (feature != nullptr) {
        recorder_.add(wireKind::featureSet, feature, length);
    }
    return features_.set(feature, length);
}

int emulatedCamera::getFeatureReport(uint64_t session, uint8_t* feature, std::size_t length) {
    awaitDeparture();
    if (!endpoint_.isOpen(session)) {
        return -ENODEV;
    }
    int result = features_.get(feature, length);
    if (result > 0) {
        recorder_.add(wireKind::featureGet, feature, static_cast<std::size_t>(result));
    }
    return result;
}

void emulatedCamera::installBuiltInCommands() {
    installIdentityCommands();
    setCommandHandler(kDspGetCommand,
                      [this](const commandPayload& payload) { return dsp_.get(payload); });
    setCommandHandler(kDspSetCommand,
                      [this](const commandPayload& payload) { return dspEvents_.set(payload); });
    setCommandHandler(kDspSaveCommand,
                      [this](const commandPayload& payload) { return dspEvents_.save(payload); });
    setCommandHandler(kHidCalibrationCommand,
                      [this](const commandPayload& payload) { return dsp_.calibration(payload); });
    setCommandHandler(emulatedRecorder::kCommand, [this](const commandPayload& payload) {
        return recorderUnit_.handle(payload);
    });
    setCommandHandler(kAppStateCommand, [this](const commandPayload& payload) {
        std::lock_guard<std::mutex> lock(mutex_);
        appStates_.push_back(payload[0]);
        return commandReply{};
    });
    setCommandHandler(kI2cReadCommand,
                      [this](const commandPayload& payload) { return i2c_.read(payload); });
    setCommandHandler(kI2cWriteCommand,
                      [this](const commandPayload& payload) { return i2c_.write(payload); });
    installFirmwareCommands();
    setCommandHandler(kEndTransferCommand, [this](const commandPayload&) {
        commandReply reply;
        reply.status = features_.answerEndTransfer();
        return reply;
    });
}

emulatedJtagPort& emulatedCamera::jtagPort() {
    return *jtag_;
}

emulatedFlashLoader& emulatedCamera::flashLoader(uint8_t address) {
    return *loaders_.at(address);
}

void emulatedCamera::installFirmwareCommands() {
    for (const uint8_t address : {0x78, 0x32, 0x74}) {
        loaders_[address] = std::make_shared<emulatedFlashLoader>([this] { unplug(); });
        bus_.attach(address, loaders_[address]);
    }
    bus_.attach(kHeadAddress,
                std::make_shared<emulatedHeadController>(loaders_[kHeadAddress], jtag_));
    setCommandHandler(emulatedBlockFlash::kCmdStart,
                      [this](const commandPayload& payload) { return blockFlash_.start(payload); });
    setCommandHandler(emulatedBlockFlash::kCmdBlock,
                      [this](const commandPayload& payload) { return blockFlash_.block(payload); });
    setCommandHandler(emulatedBlockFlash::kCmdEnd,
                      [this](const commandPayload& payload) { return blockFlash_.end(payload); });
}

void emulatedCamera::installIdentityCommands() {
    setCommandHandler(kGetVersionCommand, [this](const commandPayload& payload) {
        return identity_.getVersion(payload);
    });
    setCommandHandler(kGetSerialCommand, [this](const commandPayload& payload) {
        return identity_.getSerial(payload);
    });
    setCommandHandler(kGetHardwareRevCommand, [this](const commandPayload& payload) {
        return identity_.getHardwareRev(payload);
    });
    setCommandHandler(kControlCommand,
                      [this](const commandPayload& payload) { return control(payload); });
    setCommandHandler(kConfigSetCommand, [this](const commandPayload& payload) {
        return identity_.configSet(payload);
    });
    setCommandHandler(kConfigGetCommand, [this](const commandPayload& payload) {
        return identity_.configGet(payload);
    });
}

commandReply emulatedCamera::control(const commandPayload& payload) {
    const bool headWasPowered = identity_.headPower();
    commandReply reply = identity_.control(payload);
    if (reply.status != replyStatus::success) {
        return reply;
    }
    if (payload[0] == kHeadPowerControl && !headWasPowered && identity_.headPower()) {
        // The head FPGA loads a JTAG stream that came since its port was armed.
        jtag_->onHeadPowerOn();
        interrupts_.raise(emulatedInterrupts::kHead, kHeadBooted);
        interrupts_.raise(emulatedInterrupts::kController, kHeadConnected);
    } else if (payload[0] == kRebootControl) {
        announceStart();
    }
    return reply;
}

void emulatedCamera::queueFault(const replyFault& fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(fault);
}

emulatedCamera::commandSettings emulatedCamera::settingsFor(uint8_t commandId) {
    std::lock_guard<std::mutex> lock(mutex_);
    commandSettings settings{handlers_[commandId], std::nullopt, latency_};
    if (!faults_.empty()) {
        settings.fault = faults_.front();
        faults_.pop_front();
    }
    return settings;
}

void emulatedCamera::answer(uint64_t session, const report& command) {
    uint8_t commandId = command[1];
    commandSettings settings = settingsFor(commandId);
    commandPayload payload;
    std::copy(command.begin() + 2, command.end(), payload.begin());
    // The handler runs without the camera lock: it may use the camera's control methods. A
    // model behind it may decide the reply's fate.
    emulatedReplyFate::take();
    commandReply answered =
        settings.handler ? (*settings.handler)(payload) : notImplemented(payload);
    const emulatedReplyFate fate = emulatedReplyFate::take();
    report reply{};
    reply[0] = kCommandReportId;
    reply[1] = commandId;
    reply[2] = answered.status;
    std::copy(answered.payload.begin(), answered.payload.end(), reply.begin() + 3);
    switch (fate.reply) {
        case emulatedReplyFate::delivery::sent:
            deliver(session, reply, settings);
            break;
        case emulatedReplyFate::delivery::held:
            hold(session, reply);
            break;
        case emulatedReplyFate::delivery::dropped:
            break;
    }
    if (fate.then != emulatedReplyFate::afterwards::stays) {
        depart(fate.then == emulatedReplyFate::afterwards::restarted);
    }
}

void emulatedCamera::depart(bool comeBack) {
    {
        std::lock_guard<std::mutex> lock(departureMutex_);
        if (closing_) {
            return;
        }
        departing_ = true;
    }
    const uint64_t session = endpoint_.session();
    std::lock_guard<std::mutex> thread(departureThreadMutex_);
    departure_.join();  // the previous departure: the camera has been back since
    departure_.start([this, session, comeBack] { departureMain(session, comeBack); });
}

void emulatedCamera::departureMain(uint64_t session, bool comeBack) {
    endpoint_.waitUntilTaken(session, kRepliesTakenLimit);
    unplug();
    std::unique_lock<std::mutex> lock(departureMutex_);
    departing_ = false;
    departureChanged_.notify_all();
    const std::chrono::milliseconds away = restartTime_;
    if (!comeBack || away.count() < 0 ||
        departureChanged_.wait_for(lock, away, [this] { return closing_; })) {
        return;
    }
    lock.unlock();
    replug();
}

void emulatedCamera::awaitDeparture() {
    std::unique_lock<std::mutex> lock(departureMutex_);
    departureChanged_.wait(lock, [this] { return !departing_; });
}

void emulatedCamera::hold(uint64_t session, const report& reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    heldReplies_.emplace_back(session, reply);
}

void emulatedCamera::deliver(uint64_t session, report& reply, const commandSettings& settings) {
    auto delay = settings.latency;
    if (settings.fault) {
        const replyFault& fault = *settings.fault;
        switch (fault.what) {
            case replyFault::kind::noReply:
                return;
            case replyFault::kind::lateReply:
                delay = fault.delay;
                break;
            case replyFault::kind::heldReply:
                hold(session, reply);
                return;
            case replyFault::kind::wrongEcho:
                reply[1] = fault.value;
                break;
            case replyFault::kind::status:
                reply[2] = fault.value;
                break;
            case replyFault::kind::reportId:
                reply[0] = fault.value;
                break;
        }
    }
    if (delay.count() <= 0) {
        endpoint_.post(session, reply);
    } else {
        endpoint_.postAt(session, reply, emulatedHidEndpoint::clock::now() + delay);
    }
}

}  // namespace dravix::emu
