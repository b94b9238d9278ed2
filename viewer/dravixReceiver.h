#pragma once

#include <QThread>

#include <cstdint>
#include <string>

#include "libraryBinding.h"

namespace cv {
class Mat;
}

// The viewer's conversation with the camera library: loads it, binds its entry points, opens the
// first camera and keeps the newest frames in the process's frame ring (frameRing). Every
// operation runs on the GUI thread; only the two callbacks run on the library's threads. It is a
// QThread for the meta-object system only: its thread is never started.
class dravixReceiver : public QThread {
    Q_OBJECT

  public:
    static constexpr const char* kLibraryFile = "libdravix.so.2";
    // How long a restart leaves the camera closed and reopened before it starts the stream.
    static constexpr unsigned long kRestartPauseMs = 2000;

    explicit dravixReceiver(std::string libraryFile = kLibraryFile, QObject* parent = nullptr);
    // Shuts the camera down and unloads the library when closeCam() has not run.
    ~dravixReceiver() override;

    bool loadDll();
    int32_t initCam();
    bool openCam();
    bool startAcquisition();
    bool restartCam();
    int allocFrameBuffers();
    int closeCam();

    void resetFrameCount();
    int getFrameCount() const;
    int getFrameIndex() const;
    // Claims slot `index` of the ring for reading: its image, or null when that slot is being
    // written right now (skip it). Hand it back with releaseFrame() before claiming another.
    const cv::Mat* claimFrame(int index);
    void releaseFrame();
    int getWidth() const;
    int getHeight() const;

    bool isCameraOpened() const { return cameraOpened_; }
    int32_t loadError() const { return loadError_; }
    const char* apiVersion() const { return apiVersion_; }
    int32_t cameraIndex() const { return cameraIndex_; }
    uint8_t cameraCount() const { return cameraCount_; }
    uint8_t startResult() const { return startResult_; }

  private:
    // The library's entry points the receiver calls; start-up ends when one is missing.
    bool hasEntryPointsItCalls() const;
    void shutDownCamera();
    void startStream();

    std::string libraryFile_;
    libraryBinding library_;
    bool cameraOpened_ = false;
    int32_t loadError_ = 0;
    char apiVersion_[256] = {};
    uint8_t startResult_ = 0;
    // Written by the library's InitName; until then the slot the library falls back to.
    int32_t cameraIndex_ = 0;
    uint8_t cameraCount_ = 0;
};
