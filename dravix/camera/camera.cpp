#include "camera/camera.h"

#include <algorithm>

namespace dravix {

namespace {
// The flip setting's byte: bit 0 vertical, bit 1 horizontal; a static key sits two bits higher.
constexpr uint8_t kStaticFlipKeyBits = 0x0C;
}  // namespace

camera::camera(logger& log, videoDeviceList& devices, uint16_t vendorId, uint16_t productId,
               platform::videoBackend& video, platform::hidBackend& hid)
    : cameraDsp(log),
      cameraRec(log, [this] { return cameraDsp::hid(); }),
      hidBackend_(hid),
      vendorId_(vendorId),
      productId_(productId),
      video_(std::make_unique<fx3UvcVid>(log, video)),
      interrupts_(log),
      status_(std::make_unique<DeviceStatus>()),
      commands_(
          log, [this] { return cameraDsp::hid(); }, *status_, statusMutex_),
      refresh_(log, commands_),
      update_(log, *status_, statusMutex_),
      decoder_(
          log, commands_, refresh_, wbPush(), [this] { return interrupts_.stopAsked(); },
          [this] { reportStatus(); }),
      watcher_(devices, log, *this) {
    interrupts_.setHandler(
        [this](const interruptThread::data& report) { decoder_.decode(report); });
    interrupts_.setResyncHandler([this] { decoder_.resync(); });
}

camera::~camera() {
    close();
}

// The watcher starts outside the lock: a watcher thread that is ending may still be in a status
// callback that waits for the lock.
int camera::open(const std::string& moniker) {
    int result = 0;
    {
        std::lock_guard<std::mutex> lock(lifecycleMutex_);
        result = openLocked(moniker);
    }
    if (result == 0) {
        watcher_.start();
    }
    return result;
}

int camera::openLocked(const std::string& moniker) {
    moniker_ = moniker;
    if (hid_ == nullptr) {
        hid_ = std::make_shared<fx3Hid>(log_, hidBackend_);
    }
    const int result = openVideo();
    if (result == 0) {
        openHid();
    }
    interrupts_.start(*hid_);
    if (result == 0) {
        opened_ = true;
    }
    return result;
}

int camera::openVideo() {
    video_->setMoniker(moniker_);
    if (moniker_.empty()) {
        log_.error("fx3UvcVid::open, can't open camera");
        log_.error("camera::open: can't open UCV interface");
        return 1;
    }
    const int bound = video_->bindDeviceFilter();
    if (bound != 0) {
        log_.error("add base filter failed (0x%x)", static_cast<unsigned>(bound));
        log_.error("camera::open: can't open UCV interface");
        return 1;
    }
    return 0;
}

// Without its HID interface the camera still opens and streams; its commands fail.
void camera::openHid() {
    if (!hidOpen_ && !openHidChannel()) {
        log_.error("camera::open: can't open HID interface");
    }
}

// With several cameras plugged in, each talks to the HID interface of the USB device its video
// device belongs to.
bool camera::openHidChannel() {
    if (!hid_->open(vendorId_, productId_, videoDeviceList::usbDeviceKeyOf(moniker_))) {
        return false;
    }
    hidOpen_ = true;
    setHid(hid_);
    return true;
}

// The stream and the threads end before the lock is taken: a callback on one of them may be
// closing or opening the camera too. On any library thread (inside a callback of this or another
// camera, or of the log) the threads are only asked to end, because they may be waiting for this
// very callback; the client's next close or the destructor joins them.
int camera::close() {
    video_->stopVideo();
    opened_ = false;
    endThreads();
    {
        std::lock_guard<std::mutex> lock(lifecycleMutex_);
        opened_ = false;  // a reopen by the watcher may have set it again meanwhile
        moniker_.clear();
        closeInterfaces();
    }
    update_.cancelAndJoin();
    video_->stopVideo();          // a stream a callback started meanwhile
    video_->pictures().cancel();  // no frame will follow a pending picture request
    return 0;
}

// A running update is cancelled first: the channel's close then fails its command in flight at
// once, and it is joined after.
void camera::endThreads() {
    update_.requestCancel();
    watcher_.stop();
    endInterrupts();
}

// Asked first, so that a refresh set stops before its next command; the command it waits for
// fails at once.
void camera::endInterrupts() {
    interrupts_.requestStop();
    if (const std::shared_ptr<fx3Hid> channel = hid()) {
        channel->abandonWaits();
    }
    interrupts_.stop();
}

// The interrupt thread was ended before the channel it uses is closed (or, on its own thread,
// asked to end: it keeps the channel alive while it uses it). The DSP part drops the channel
// first, so no new command starts on it; one in progress fails at the close. Nothing here waits
// for another thread.
void camera::closeInterfaces() {
    interrupts_.requestStop();  // one a callback started again meanwhile
    if (hid_ != nullptr) {
        setHid(nullptr);
        hid_->close();
        hid_.reset();
    }
    video_->releaseDeviceFilter();
    video_->setMoniker(std::string());
    hidOpen_ = false;
}

// On the watcher's thread, which holds no lock here: it may wait for the delivery and interrupt
// threads.
void camera::onDeviceLost() {
    update_.requestCancel();
    video_->stopVideo();
    endInterrupts();
    {
        std::lock_guard<std::mutex> lock(lifecycleMutex_);
        closeInterfaces();
    }
    video_->stopVideo();
    video_->pictures().cancel();  // its empty file goes with the camera
}

std::string camera::deviceKey() const {
    std::lock_guard<std::mutex> lock(lifecycleMutex_);
    return videoDeviceList::instanceKeyOf(moniker_);
}

bool camera::isChannelGone() const {
    std::lock_guard<std::mutex> lock(lifecycleMutex_);
    return hidOpen_ && hid_ != nullptr && hid_->isDeviceGone();
}

// The device may have come back on another node: it is opened where the watcher found it. A
// device without a key can't be looked for, and keeps its path. The camera announced its start
// before its HID node was open, so the status record is refilled from the camera itself.
int camera::onDeviceReturned(const std::string& devicePath) {
    std::lock_guard<std::mutex> lock(lifecycleMutex_);
    if (!opened_) {
        return 0;  // the client is closing the camera
    }
    const int result = openLocked(devicePath.empty() ? moniker_ : devicePath);
    if (result == 0 && hidOpen_) {
        interrupts_.requestResync();
    }
    return result;
}

// The HID node of a replugged camera may appear later than its video node. Its arrival is
// reported like a count change, outside the lock: the status callback may close the camera.
bool camera::openMissingHid() {
    {
        std::lock_guard<std::mutex> lock(lifecycleMutex_);
        if (!opened_ || hidOpen_ || hid_ == nullptr) {
            return true;
        }
        if (!hid_->isPresent(vendorId_, productId_, videoDeviceList::usbDeviceKeyOf(moniker_)) ||
            !openHidChannel()) {
            return false;
        }
    }
    log_.info("camera::open: HID interface opened after the video device");
    interrupts_.requestResync();
    std::lock_guard<std::recursive_mutex> record(statusMutex_);
    reportStatus();
    return true;
}

void camera::onCountChanged(uint8_t count, bool lost) {
    std::lock_guard<std::recursive_mutex> record(statusMutex_);
    if (lost) {
        *status_ = DeviceStatus{};
    }
    status_->cameraCount = count;
    reportStatus();
}

// Called with statusMutex_ held: the record stays as it is during the call.
void camera::reportStatus() {
    StatusCallback callback = nullptr;
    void* user = nullptr;
    {
        mutexLock lock(callbackMutex_);
        callback = statusCallback_;
        user = statusUser_;
    }
    if (callback != nullptr) {
        callback(status_.get(), user);
    }
}

void camera::setStatusCallback(StatusCallback callback, void* user) {
    mutexLock lock(callbackMutex_);
    statusCallback_ = callback;
    statusUser_ = user;
}

int camera::startStream(void* window, const char* operation) {
    uint8_t flip = 0;
    const int read = getDspFunction(dspCode(DspFunction::HvFlip), &flip, 1);
    bool vflip = false;
    if (read == 0) {
        if ((flip & kStaticFlipKeyBits) != 0) {
            log_.verbose("DSP settings: detected static flip mirror key set");
            flip = static_cast<uint8_t>(flip >> 2);
        }
        vflip = (flip & 1) != 0;
    }
    video_->setVerticalFlip(vflip);
    if (read != 0) {
        log_.error("%s failed: hr = %d", operation, read);
        return read;
    }
    const int prepared = video_->initVideo(window);
    if (prepared != 0) {
        log_.error("%s failed: hr = %d", operation, prepared);
        return prepared;
    }
    video_->startVideo();
    return 0;
}

// The video path follows the camera only when the camera took the new setting, so the picture
// is never flipped twice or not at all.
uint8_t camera::setHvFlip(uint8_t horizontal, uint8_t vertical) {
    const uint8_t result = cameraDsp::setHvFlip(horizontal, vertical);
    if (result == 0) {
        video_->setVerticalFlip(vertical != 0);
    }
    return result;
}

uint8_t camera::setHvFlipByte(uint8_t value) {
    const uint8_t result = cameraDsp::setHvFlipByte(value);
    if (result == 0) {
        video_->setVerticalFlip((value & 1) != 0);
    }
    return result;
}

uint8_t camera::updateFirmware(const std::string& path, uint8_t component) {
    if (!opened_) {
        log_.error("camera::updateFirmware: camera is not open");
        return 1;
    }
    return update_.start(component, path, hid());
}

// An update's progress stays readable while the camera is closed, as it is when the device
// re-enumerates after its firmware changed.
uint8_t camera::updateStatus(uint8_t& percent) {
    const updateProgress& progress = update_.progress();
    if (!opened_ && !progress.everStarted()) {
        log_.error("camera::updateStatus: camera is not open");
        percent = std::min<uint8_t>(percent, updateProgress::kFinished);
        return 1;
    }
    percent = progress.percent();
    return progress.result();
}

}  // namespace dravix
