#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "log/logger.h"
#include "platform/fileSystem.h"
#include "platform/threadAnnotations.h"
#include "video/bmpImage.h"
#include "video/jpegEncoder.h"
#include "video/jpegPlanes.h"
#include "video/pictureCounter.h"

namespace dravix {

// The picture files of one camera's video path. A client's request names the file (from its
// path, a name mode and the local time), creates it at once and leaves it pending; the delivery
// thread writes the next complete frame into it as JPEG, BMP or raw YUY2 and closes it.
//
// A file is never overwritten: a taken name gets a suffix (takenNameSuffix). A failed write or
// close logs an ERROR and removes the file, as does a request that no frame follows when it is
// cancelled. Each request keeps the type and JPEG quality it was made with.
//
// Threads: requests and cancels on client (or any library) threads, writes on the delivery
// thread. The request is handed over under one lock; encoding and writing run without it.
class cPictureIO {
  public:
    enum class pictureType : uint8_t { raw = 0, jpeg = 1, bmp = 2 };
    static constexpr uint8_t kDefaultQuality = 80;
    using clock = std::function<std::time_t()>;

    // The frame the delivery thread handed on, with the colour mode of the display.
    struct frameView {
        const uint8_t* bytes;
        uint32_t length;
        uint16_t width;
        uint16_t height;
        int32_t colorMode;
    };

    explicit cPictureIO(
        logger& log, platform::fileSystem& files = platform::fileSystem::system(),
        pictureCounter& counter = pictureCounter::process(),
        clock now = [] { return std::time(nullptr); });
    // Cancels a pending request.
    ~cPictureIO();
    cPictureIO(const cPictureIO&) = delete;
    cPictureIO& operator=(const cPictureIO&) = delete;

    // The quality of the JPEG files of later requests, limited to 1..100.
    void setJpegQuality(uint8_t quality);
    uint8_t jpegQuality() const { return quality_; }

    // Names and creates the file of a `type` picture of the next frame. 0 when the picture is
    // pending; otherwise (already pending, unknown name mode, no file name, too long, the file
    // cannot be created) an ERROR is logged and the result is an error number.
    int setPictureFilename(pictureType type, const std::string& path, int32_t nameMode);
    bool isPending() const { return pending_; }
    // The file of the pending picture; empty when none is pending.
    std::string pendingPath() const;

    // The delivery thread, after a frame was handed on: writes a pending picture from `frame`
    // if it is complete (width × height × 2 bytes); otherwise the picture stays pending.
    void writePending(const frameView& frame);
    // Frees the conversion buffers; only while no writePending() runs (the stream ended).
    void releaseBuffers();

    // Drops a pending request and removes its empty file, with an ERROR.
    void cancel();

  private:
    struct request {
        std::unique_ptr<platform::writableFile> file;
        std::string path;
        pictureType type = pictureType::jpeg;
        uint8_t quality = kDefaultQuality;
    };

    // The full name for `path` and `nameMode`, or empty after the ERROR.
    std::string nameFor(pictureType type, const std::string& path, int32_t nameMode, int& error)
        REQUIRES(requestMutex_);
    // Creates the file, with a suffix when the name is taken. Null after the ERROR.
    std::unique_ptr<platform::writableFile> createFile(const std::string& name,
                                                       std::string& created, int& error);
    void makeDirectoryOf(const std::string& path);
    void write(request& taken, const frameView& frame);
    // Encodes and writes the picture; the reason of a failure, or empty.
    std::string encodeAndWrite(request& taken, const frameView& frame);
    std::string writeBytes(platform::writableFile& file, const uint8_t* data, std::size_t size);
    void discard(request& failed, const char* operation, const std::string& reason);

    logger& log_;
    platform::fileSystem& files_;
    pictureCounter& counter_;
    const clock now_;
    std::atomic<uint8_t> quality_{kDefaultQuality};

    mutable annotatedMutex requestMutex_;
    request request_ GUARDED_BY(requestMutex_);
    std::time_t lastPictureTime_ GUARDED_BY(requestMutex_) = 0;
    std::atomic<bool> pending_{false};

    // Delivery thread only.
    jpegPlanes planes_;
    jpegEncoder encoder_;
    bmpImage bmp_;
};

}  // namespace dravix
