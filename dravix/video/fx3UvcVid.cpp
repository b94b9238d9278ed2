#include "video/fx3UvcVid.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/libraryThread.h"
#include "video/colorConverter.h"
#include "video/frameCopier.h"

namespace dravix {

fx3UvcVid::fx3UvcVid(logger& log, platform::videoBackend& video, displayOpener openDisplay)
    : log_(log), video_(video), openDisplay_(std::move(openDisplay)), pictures_(log) {}

fx3UvcVid::~fx3UvcVid() {
    stopVideo();  // joins a delivery thread that a frame callback stopped from inside, too
    releaseDeviceFilter();
}

void fx3UvcVid::setMoniker(const std::string& devicePath) {
    std::lock_guard<std::mutex> stream(streamMutex_);
    moniker_ = devicePath;
}

std::string fx3UvcVid::moniker() const {
    std::lock_guard<std::mutex> stream(streamMutex_);
    return moniker_;
}

int fx3UvcVid::bindDeviceFilter() {
    std::lock_guard<std::mutex> stream(streamMutex_);
    int error = 0;
    deviceFilter_ = video_.bind(moniker_, error);
    return deviceFilter_ != nullptr ? 0 : (error != 0 ? error : -1);
}

void fx3UvcVid::releaseDeviceFilter() {
    std::lock_guard<std::mutex> stream(streamMutex_);
    deviceFilter_.reset();
}

int fx3UvcVid::initVideo(void* window) {
    window_ = window;
    return 0;
}

int fx3UvcVid::startVideo() {
    std::unique_lock<std::mutex> stream(streamMutex_);
    if (isDeliveryThread()) {
        // Another thread joining this one, or a stream this callback stopped: a new stream
        // needs a new delivery thread, which this one cannot wait for.
        if (stopping_ || !deliveryRun_) {
            log_.error("fx3UvcVid::startVideo: not from a frame callback of a stopped stream");
            return -EBUSY;
        }
    } else {
        streamIdle_.wait(stream, [this] { return !stopping_; });
        if (capture_ == nullptr) {
            // Not streaming, so no frame can start a delivery thread meanwhile: one that a
            // callback stopped is joined before a new stream needs its own.
            joinDeliveryThread(stream);
        }
    }
    int result = 0;
    if (moniker_.empty()) {
        log_.error("fx3UvcVid::startVideo moniker is NULL");
        result = -1;
    } else if (capture_ == nullptr) {
        result = startCapture();
    }
    // A running stream, too, moves to the window of the last initVideo; the display it replaces
    // goes when the delivery thread lets go of it, after the lock.
    std::shared_ptr<platform::windowDisplay> display = openDisplay();
    mutexLock api(apiMutex_);
    display_.swap(display);
    updateGeometry();
    return result;
}

// The capture steps of a start, each with its own message: open the device, ask for YUY2, set
// up the buffers (where a device in use fails), learn the frame size, run. Called with
// streamMutex_ held.
int fx3UvcVid::startCapture() {
    int result = 0;
    capture_ = video_.bind(moniker_, result);
    if (capture_ == nullptr) {
        log_.error("fx3UvcVid::startVideo bind to object (error: %d)", result);
        return result;
    }
    uint16_t width = 0;
    uint16_t height = 0;
    if ((result = capture_->requestYuy2()) != 0) {
        log_.error("fx3UvcVid::startVideo couldn't set media type (error: %d)", result);
    } else if ((result = capture_->connect()) != 0) {
        log_.error(
            "fx3UvcVid::startVideo couldn't render video capture stream. The device may "
            "already be in use (error: %d)",
            result);
    } else if ((result = capture_->connectedFormat(width, height)) != 0) {
        log_.error("fx3UvcVid::startVideo couldn't get connected media type (error: %d)", result);
    } else {
        allocateFrameBuffers(width, height);
        // A stream that does not run is not reported as running.
        if ((result = capture_->run(*this)) == 0) {
            running_ = true;
            return 0;
        }
        log_.error("fx3UvcVid::startVideo cannot run preview graph (error: %d)", result);
        capture_->stop();
    }
    capture_.reset();
    return result;
}

// Several threads may stop the stream: the client, the camera's device watcher when the camera
// vanished, and a frame callback. The delivery thread is joined without the stream lock, so a
// callback that stops the stream while another thread stops it does not deadlock.
int fx3UvcVid::stopVideo() {
    std::unique_lock<std::mutex> stream(streamMutex_);
    if (isDeliveryThread() || libraryThread::isCurrent()) {
        // From inside a frame callback: the delivery thread ends when the call returns. From
        // any other library thread (another camera's callbacks, the device watcher) it is not
        // waited for either: it may be running a callback that waits for this thread. The
        // frame buffers stay, because the callback still reads one; whoever joins the thread
        // next (a client's start or stop, the destructor) releases them.
        return running_ ? endCapture() : 0;
    }
    streamIdle_.wait(stream, [this] { return !stopping_; });
    const int result = running_ ? endCapture() : 0;
    joinDeliveryThread(stream);
    return result;
}

bool fx3UvcVid::isDeliveryThread() const {
    return currentThreadId() == deliveryThreadId_.load();
}

// Joins a delivery thread told to end (by a stop here or from inside its callback) and then
// releases the frame buffers it read. The join runs without the stream lock: the callback may
// still call in. Called with streamMutex_ held and no capture running, never on the delivery
// thread.
void fx3UvcVid::joinDeliveryThread(std::unique_lock<std::mutex>& stream) {
    if (!deliveryThread_.joinable()) {
        return;
    }
    stopping_ = true;
    ownedThread delivery(std::move(deliveryThread_));
    stream.unlock();
    delivery.join();
    stream.lock();
    frameEvent_.reset();
    releaseFrameBuffers();
    stopping_ = false;
    streamIdle_.notify_all();
}

// Stops the capture (its streaming thread has ended when this returns) and tells the delivery
// thread to end. Called with streamMutex_ held.
int fx3UvcVid::endCapture() {
    const int result = capture_ != nullptr ? capture_->stop() : 0;
    capture_.reset();
    running_ = false;
    deliveryRun_ = false;
    frameEvent_.set();
    return result;
}

void fx3UvcVid::setFrameCallback(FrameCallback callback, void* user) {
    std::lock_guard<std::recursive_mutex> lock(callbackMutex_);
    frameCallback_ = callback;
    frameUser_ = user;
}

// The new drawing area, its geometry and the window's display change together, so no frame is
// drawn with a mix. The buffer (zero-filled: what the picture leaves free stays black) and the
// display are made before the lock; what they replace is released after it.
int fx3UvcVid::setVideoScale(int32_t width, int32_t height, float scale) {
    auto buffer = std::make_shared<std::vector<uint8_t>>(
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 0);
    std::shared_ptr<platform::windowDisplay> display = openDisplay();
    mutexLock api(apiMutex_);
    displayBuffer_.swap(buffer);
    display_.swap(display);
    displayWidth_ = width - width % 4;
    displayHeight_ = height - height % 4;
    requestedScale_ = scale;
    updateGeometry();
    return 0;
}

void fx3UvcVid::setVerticalFlip(bool flip) {
    mutexLock api(apiMutex_);
    vflip_ = flip;
    flipFrames_ = flip;
}

scaleGeometry fx3UvcVid::geometry() const {
    mutexLock api(apiMutex_);
    return geometry_;
}

// ---- Streaming thread ------------------------------------------------------------------------

void fx3UvcVid::onFrame(const uint8_t* data, std::size_t length) {
    const auto arrival = std::chrono::steady_clock::now();
    mutexLock frame(frameMutex_);
    if (!deliveryRun_) {
        startDeliveryThread();
    }
    // Too long for any frame, or longer than the negotiated one: never written anywhere.
    if (length >= kDropLimit || length > frames_.capacity()) {
        ++missedFrames_;
        log_.debug("frame missed %d", shownFrames_.load());
        return;
    }
    frameExchange::frame& target = frames_.writable();
    frameCopier::copy(data, length, target.bytes.data(), frameWidth_, frameHeight_, flipFrames_);
    target.length = static_cast<uint32_t>(length);
    target.arrival = arrival;
    frameLength_ = target.length;
    frames_.publish();
    frameEvent_.set();
}

// Every start and stop joined the previous stream's delivery thread, so none is left here.
void fx3UvcVid::startDeliveryThread() {
    deliveryRun_ = true;
    deliveryThread_.start([this] {
        libraryThread::run("fx3UvcVid::deliveryThread", [this] { deliveryThread(); });
        deliveryThreadId_ = threadId();  // thread ids are reused by later threads
    });
}

// ---- Delivery thread -------------------------------------------------------------------------

void fx3UvcVid::deliveryThread() {
    deliveryThreadId_ = currentThreadId();
    for (;;) {
        frameEvent_.wait();
        frameEvent_.reset();
        if (!deliveryRun_) {
            // Thread ids are reused: a later thread must not pass for this one.
            deliveryThreadId_ = threadId();
            return;
        }
        if (frames_.takeNewest()) {
            deliver(frames_.reading());
            writePicture(frames_.reading());
        }
    }
}

void fx3UvcVid::deliver(const frameExchange::frame& frame) {
    takeDrawingSnapshot();  // in callback mode, too: lets go of the display of a window
    if (window_ != nullptr) {
        drawFrame(frame);
        return;
    }
    // Held during the call, so that a client who replaces or clears the callback knows that the
    // old one is not running any more; recursive, so the callback itself may change it. No
    // other lock is held: the callback may stop the stream or change the drawing area.
    std::lock_guard<std::recursive_mutex> lock(callbackMutex_);
    deliveringArrival_ = frame.arrival;
    if (frameCallback_ != nullptr) {
        // The frame stays untouched during the call: the next frames go to other buffers.
        frameCallback_(const_cast<uint8_t*>(frame.bytes.data()), static_cast<int32_t>(frame.length),
                       frameUser_);
    }
}

// After the delivery, from the same frame: the next frame goes to another buffer meanwhile.
void fx3UvcVid::writePicture(const frameExchange::frame& frame) {
    if (!pictures_.isPending()) {
        return;
    }
    uint16_t width = 0;
    uint16_t height = 0;
    {
        mutexLock lock(frameMutex_);
        width = frameWidth_;
        height = frameHeight_;
    }
    pictures_.writePending({frame.bytes.data(), frame.length, width, height, colorMode_});
}

// Window mode: convert, scale, draw, without any lock, so that a frame slower than the frame
// interval keeps no client call waiting. Before the client set a drawing area nothing is drawn.
void fx3UvcVid::drawFrame(const frameExchange::frame& frame) {
    if (drawing_.display == nullptr || drawing_.buffer == nullptr || drawing_.width <= 0 ||
        drawing_.height <= 0) {
        return;
    }
    std::vector<uint8_t>& area = *drawing_.buffer;
    colorConverter::convert(colorMode_, frame.bytes.data(), colourBuffer_.data(), frame.length / 2);
    scaler_.scale(colourBuffer_.data(), colourBuffer_.size(), area.data(), area.size());
    drawing_.display->draw(area.data(), drawing_.width, drawing_.height);
    ++shownFrames_;
}

// Takes the client's drawing settings when they changed since the last frame. What the new ones
// replace (a display with its X connection, a buffer) is released after the lock.
void fx3UvcVid::takeDrawingSnapshot() {
    drawingSnapshot replaced;
    scaleGeometry geometry;
    {
        mutexLock api(apiMutex_);
        if (drawing_.version == drawingVersion_) {
            return;
        }
        replaced = std::move(drawing_);
        drawing_ = {display_, displayBuffer_, displayWidth_, displayHeight_, drawingVersion_};
        geometry = geometry_;
    }
    scaler_.setGeometry(geometry);
}

// ---- Buffers and drawing ---------------------------------------------------------------------

// Locks are taken in one order everywhere: apiMutex_, then frameMutex_.
void fx3UvcVid::allocateFrameBuffers(uint16_t width, uint16_t height) {
    mutexLock api(apiMutex_);
    mutexLock frame(frameMutex_);
    frameWidth_ = width;
    frameHeight_ = height;
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    frames_.allocate(pixels * 2);
    colourBuffer_.assign(pixels * 3, 0);
}

// After the delivery thread ended: its snapshot goes too, and a stopped stream keeps no
// connection to the window's display.
void fx3UvcVid::releaseFrameBuffers() {
    drawingSnapshot released;
    std::shared_ptr<platform::windowDisplay> display;
    mutexLock api(apiMutex_);
    released = std::move(drawing_);
    drawing_ = drawingSnapshot{};
    display_.swap(display);
    ++drawingVersion_;
    mutexLock frame(frameMutex_);
    frames_.release();
    std::vector<uint8_t>().swap(colourBuffer_);
    pictures_.releaseBuffers();
}

// The display of the window of the last initVideo; null in callback mode.
std::shared_ptr<platform::windowDisplay> fx3UvcVid::openDisplay() const {
    void* const window = window_;
    if (window == nullptr) {
        return nullptr;
    }
    std::shared_ptr<platform::windowDisplay> display = openDisplay_(window);
    if (display == nullptr) {
        log_.error("fx3UvcVid::prepareDrawing: can't draw into window %p", window);
    }
    return display;
}

// Called with apiMutex_ held; the delivery thread takes the new settings with its next frame.
void fx3UvcVid::updateGeometry() {
    mutexLock frame(frameMutex_);
    geometry_ =
        scaleGeometry(frameWidth_, frameHeight_, displayWidth_, displayHeight_, requestedScale_);
    ++drawingVersion_;
}

}  // namespace dravix
