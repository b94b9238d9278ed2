#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "cameraSession.h"
#include "commandLine.h"
#include "report.h"
#include "signalWatcher.h"

namespace dravixctl {

// The commands that run while the camera works: snapshot, stream, firmware and log. Each ends
// cleanly on Ctrl-C or SIGTERM: the stream stops, the log callback is withdrawn, an update is
// cancelled by closing the camera. The library may call the log callbacks until its log session
// ends, after the callback was withdrawn: an object must outlive the session it runs in.
class liveCommands {
  public:
    liveCommands(const invocation& call, signalWatcher& signals, cameraSession& session)
        : call_(call), signals_(signals), session_(session) {}

    int run();
    // The byte count of one frame of the open camera, from a stream started for one frame;
    // 0 when no frame came within a second.
    uint32_t sampleFrameBytes();

    // The name of a firmware update's result code.
    static std::string updateResultName(int32_t result);
    // The export's picture kind for a file name by its extension: "jpeg", "bmp", "raw", or
    // empty when the extension is none of .jpg, .jpeg, .bmp, .raw, .yuv (any case).
    static std::string pictureKindOf(const std::string& path);

    // The name a snapshot to `path` is requested under: a hidden name of this process in the
    // same directory, with the same extension (the "-" after the process id ends the id).
    static std::string requestPathFor(const std::string& path);
    // The files in the directory of `requested` that the library may have created for it: names
    // starting with its name without extension and ending in the library's extension for `kind`.
    static std::vector<std::string> filesCreatedFor(const std::string& requested,
                                                    const std::string& kind);

  private:
    int snapshot();
    int stream();
    int firmware();
    int follow();
    // Starts the stream in callback mode, frames only counted; the library's result.
    int32_t startStream();
    // startStream(), throwing commandFailed when the stream does not start.
    void startCounting();
    // Throws commandFailed("interrupted") once Ctrl-C or SIGTERM has arrived.
    void throwIfInterrupted() const;
    // Waits until `count` frames have arrived; false on timeout or signal (interrupted() tells).
    bool waitForFrames(uint64_t count, std::chrono::milliseconds timeout);
    // Polls `done` until it holds; false on timeout or signal.
    template <typename Condition>
    bool waitUntil(Condition done, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline ||
                signals_.waitFor(std::chrono::milliseconds(5))) {
                return false;
            }
        }
        return true;
    }
    // The name of the picture file the library created, once its log line came.
    std::string picturePath();
    // The file created for a request: the logged name, else the one file filesCreatedFor()
    // finds; empty when there is none or more than one.
    std::string createdFile(const std::string& requested, const std::string& kind);

    static int countFrame(uint8_t* frame, int32_t length, void* user);
    static int onPictureLog(int64_t time, const uint8_t* level, const char* text, void* user);
    static int onFollowLog(int64_t time, const uint8_t* level, const char* text, void* user);

    const invocation& call_;
    signalWatcher& signals_;
    cameraSession& session_;
    std::atomic<uint64_t> frames_{0};
    std::atomic<uint64_t> logLines_{0};
    std::mutex pictureMutex_;
    std::string picturePath_;
};

}  // namespace dravixctl
