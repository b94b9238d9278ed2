#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dravix/dravix.h"
#include "log/logger.h"
#include "platform/display.h"
#include "platform/manualResetEvent.h"
#include "platform/ownedThread.h"
#include "platform/threadAnnotations.h"
#include "platform/video.h"
#include "video/cPictureIO.h"
#include "video/frameExchange.h"
#include "video/frameScaler.h"
#include "video/scaleGeometry.h"

namespace dravix {

// The video path of one camera: captures the camera's YUY2 stream, copies every frame (turned
// upside down when the vertical flip is on) and hands it on from a delivery thread of its own,
// either raw to the client's FrameCallback (callback mode) or converted, scaled and drawn into
// the client's window (window mode).
class fx3UvcVid : private platform::frameSink {
  public:
    // Buffers this long or longer are never taken (1920 × 1080 × 3).
    static constexpr std::size_t kDropLimit = 6220800;
    // Largest side of a drawing area. The widest screens made (7680 × 4320) fit; a larger area
    // shows nothing more and only costs memory (8192 × 8192 × 3 bytes is already 192 MiB).
    static constexpr int32_t kMaxDisplaySide = 8192;

    // Opens the display of a client's window; null when it cannot be reached.
    using displayOpener = std::function<std::unique_ptr<platform::windowDisplay>(void*)>;

    fx3UvcVid(logger& log, platform::videoBackend& video,
              displayOpener openDisplay = platform::openWindowDisplay);
    ~fx3UvcVid() override;
    fx3UvcVid(const fx3UvcVid&) = delete;
    fx3UvcVid& operator=(const fx3UvcVid&) = delete;

    // The capture device (its path); empty for none. Set by the camera when it opens.
    void setMoniker(const std::string& devicePath);
    std::string moniker() const;
    // Binds the device the camera keeps while it is open. 0 or -errno.
    int bindDeviceFilter();
    void releaseDeviceFilter();

    // Prepares a start: `window` 0 selects callback mode. 0.
    int initVideo(void* window);
    // Builds the capture of the moniker's device and runs it; in window mode it draws into the
    // window of the last initVideo from the next frame on. The result of the last step, for
    // the log only. From inside a frame callback only a running stream can be restarted;
    // otherwise -EBUSY.
    int startVideo();
    // Stops a running stream: 0 when not running, else the result of stopping the capture.
    int stopVideo();
    bool isRunning() const { return running_; }
    // True on the delivery thread, that is inside a frame callback.
    bool isDeliveryThread() const;

    // Client settings; they take effect at once, also while streaming.
    void setFrameCallback(FrameCallback callback, void* user);
    void setColorMode(int32_t mode) { colorMode_ = mode; }
    int32_t colorMode() const { return colorMode_; }
    // The drawing area of window mode and the scale asked for, drawn from the next frame on into
    // the window of the last initVideo. Never waits for a frame being drawn. 0.
    int setVideoScale(int32_t width, int32_t height, float scale);
    // Written by the camera's start and its flip setters.
    void setVerticalFlip(bool flip);

    uint32_t shownFrames() const { return shownFrames_; }
    uint32_t missedFrames() const { return missedFrames_; }
    uint32_t frameLength() const { return frameLength_; }
    uint16_t frameWidth() const {
        mutexLock frame(frameMutex_);
        return frameWidth_;
    }
    uint16_t frameHeight() const {
        mutexLock frame(frameMutex_);
        return frameHeight_;
    }
    scaleGeometry geometry() const;
    // The picture files written from the delivered frames.
    cPictureIO& pictures() { return pictures_; }

    // When the frame now in the FrameCallback arrived from the capture; read it inside the call.
    std::chrono::steady_clock::time_point deliveringFrameArrival() const {
        return deliveringArrival_;
    }

  private:
    // The capture's frame delivery (the grabber callback): one copy into the frame buffer.
    void onFrame(const uint8_t* data, std::size_t length) override;
    void startDeliveryThread();
    void deliveryThread();
    void deliver(const frameExchange::frame& frame);
    void writePicture(const frameExchange::frame& frame);
    void drawFrame(const frameExchange::frame& frame);
    void takeDrawingSnapshot();
    void allocateFrameBuffers(uint16_t width, uint16_t height);
    void releaseFrameBuffers();
    std::shared_ptr<platform::windowDisplay> openDisplay() const;
    void updateGeometry() REQUIRES(apiMutex_);
    int startCapture();
    int endCapture();
    void joinDeliveryThread(std::unique_lock<std::mutex>& stream);

    logger& log_;
    platform::videoBackend& video_;
    const displayOpener openDisplay_;

    // Guards the device, the capture and the stream's state against starts and stops from
    // several threads; stopping_ is set while a stop joins the delivery thread without it.
    mutable std::mutex streamMutex_;
    std::condition_variable streamIdle_;
    bool stopping_ = false;
    std::string moniker_;
    std::unique_ptr<platform::videoCapture> deviceFilter_;
    std::unique_ptr<platform::videoCapture> capture_;
    std::atomic<void*> window_{nullptr};
    std::atomic<bool> running_{false};

    // Guards the drawing settings of the client's starts and scale changes (and the flip). The
    // delivery thread holds it only to take a snapshot of them; every change bumps the version.
    // A display and a buffer, once published, are used by the delivery thread alone.
    mutable annotatedMutex apiMutex_;
    int32_t displayWidth_ GUARDED_BY(apiMutex_) = 0;
    int32_t displayHeight_ GUARDED_BY(apiMutex_) = 0;
    std::shared_ptr<std::vector<uint8_t>> displayBuffer_ GUARDED_BY(apiMutex_);
    std::shared_ptr<platform::windowDisplay> display_ GUARDED_BY(apiMutex_);
    float requestedScale_ GUARDED_BY(apiMutex_) = 1.0f;
    scaleGeometry geometry_ GUARDED_BY(apiMutex_){};
    uint64_t drawingVersion_ GUARDED_BY(apiMutex_) = 1;
    bool vflip_ GUARDED_BY(apiMutex_) = false;

    // What the delivery thread draws with; touched by it alone, and by whoever joined it.
    struct drawingSnapshot {
        std::shared_ptr<platform::windowDisplay> display;
        std::shared_ptr<std::vector<uint8_t>> buffer;
        int32_t width = 0;
        int32_t height = 0;
        uint64_t version = 0;
    };
    drawingSnapshot drawing_;
    frameScaler scaler_;

    // Guards the frame format, the buffers' allocation and the copy of each frame.
    mutable annotatedMutex frameMutex_;
    uint16_t frameWidth_ GUARDED_BY(frameMutex_) = 0;
    uint16_t frameHeight_ GUARDED_BY(frameMutex_) = 0;
    frameExchange frames_;
    std::vector<uint8_t> colourBuffer_;
    std::atomic<bool> flipFrames_{false};

    std::atomic<uint32_t> shownFrames_{0};
    std::atomic<uint32_t> missedFrames_{0};
    std::atomic<uint32_t> frameLength_{0};
    std::atomic<int32_t> colorMode_{0};

    // Held while the frame callback runs; recursive because the callback may set or clear the
    // frame callback itself.
    std::recursive_mutex callbackMutex_;
    FrameCallback frameCallback_ = nullptr;
    void* frameUser_ = nullptr;

    cPictureIO pictures_;

    std::chrono::steady_clock::time_point deliveringArrival_{};  // delivery thread only
    ownedThread deliveryThread_;
    std::atomic<threadId> deliveryThreadId_{};
    std::atomic<bool> deliveryRun_{false};
    manualResetEvent frameEvent_;
};

}  // namespace dravix
