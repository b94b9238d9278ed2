#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "camera/backendRegistry.h"
#include "platform/threadAnnotations.h"

namespace dravix {

class camera;
class heldCamera;
class logger;
class videoDeviceList;

// The library's root object, one per process: the library log, the backends, the shared list of
// video devices and the table of cameras, declared in that order so that they are destroyed in
// the reverse one (a camera left in the table still closes its devices and reports to the log).
//
// Any thread may call the exports, also from inside the library's callbacks. The table and the
// device list change under one lock. An export holds the camera it found for the length of its
// call (cameraAt), so a camera taken out of the table meanwhile lives on until the call ends;
// whoever took it out waits for that and then destroys it. Only a client's thread destroys a
// camera: on one of the library's threads (inside a callback) the calls waited for may include
// the caller's own, and the camera's threads may be waiting for it.
class libraryState {
  public:
    static constexpr int32_t kCameraSlots = 10;
    static constexpr int32_t kLastSlot = kCameraSlots - 1;

    static libraryState& instance();
    // The state if instance() created it already, else null.
    static libraryState* existing();
    ~libraryState();

    static bool isValidIndex(int32_t index) { return index >= 0 && index < kCameraSlots; }

    // The camera in slot `index`, held for the caller; null for an empty slot or an index outside
    // the table.
    std::shared_ptr<camera> cameraAt(int32_t index) const;
    // Puts `cam` into slot `index`; a camera the slot held is destroyed (once its calls ended).
    // `devices`, if given, is kept until the camera is destroyed. Returns the camera now in the
    // slot, or null when the slot's camera can't be destroyed from this thread (a library
    // thread) and nothing changed.
    camera* installCamera(int32_t index, std::unique_ptr<camera> cam,
                          std::shared_ptr<videoDeviceList> devices = nullptr);
    // Destroys the camera of slot `index`, if any, and empties the slot. False (and nothing
    // changes) on a library thread, from inside a callback.
    bool destroyCamera(int32_t index);
    // Destroys every camera and the device list.
    void destroyAll();
    bool allSlotsEmpty() const;

    // The shared device list, created on first use with the system's video devices. A caller
    // that holds it keeps it alive after the table let go of it.
    std::shared_ptr<videoDeviceList> deviceList();
    // Lets go of the device list once no camera is left.
    void releaseDeviceListIfUnused();
    bool hasDeviceList() const;

    // Opens the library log at the user's default location with the configured switches,
    // unless it is open already.
    void openLogIfAbsent();
    // Ends the library log ("Session stopped" is its last line); no effect when closed.
    void closeLog();

    logger& log() { return log_; }
    backendRegistry& backends() { return backends_; }

  private:
    libraryState();

    bool allSlotsEmptyLocked() const REQUIRES(tableMutex_);
    // Empties slot `index`; the camera it held, or null. False on a library thread while the
    // slot holds a camera.
    bool takeCamera(int32_t index, std::unique_ptr<heldCamera>& taken) REQUIRES(tableMutex_);

    // The log is built in static storage and never destroyed (libraryLog()), so that threads
    // and objects may report until the very end of the process.
    logger& log_;
    backendRegistry backends_;
    mutable annotatedMutex tableMutex_;
    std::shared_ptr<videoDeviceList> devices_ GUARDED_BY(tableMutex_);
    std::array<std::unique_ptr<heldCamera>, kCameraSlots> cameraTable_ GUARDED_BY(tableMutex_);
};

}  // namespace dravix
