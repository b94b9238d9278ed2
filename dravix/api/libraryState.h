#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace dravix {

class camera;
class videoDeviceList;

// The library-wide state of one process: the table of cameras, the shared list of video devices
// and the library log's life. The exports are called from one client thread; the table and the
// list are changed only there.
class libraryState {
  public:
    static constexpr int32_t kCameraSlots = 10;
    static constexpr int32_t kLastSlot = kCameraSlots - 1;

    static libraryState& instance();
    // The state if instance() created it already, else null.
    static libraryState* existing();
    ~libraryState();

    static bool isValidIndex(int32_t index) { return index >= 0 && index < kCameraSlots; }

    // The camera in slot `index`; null for an empty slot or an index outside the table.
    camera* cameraAt(int32_t index) const;
    // Puts `cam` into slot `index`; a camera the slot held is destroyed first (its stream
    // stopped, its threads ended). Returns the camera now in the slot, or null when the slot's
    // camera can't be destroyed.
    camera* installCamera(int32_t index, std::unique_ptr<camera> cam);
    // Destroys the camera of slot `index`, if any, and empties the slot. False (and nothing
    // changes) when called on one of that camera's own threads, from inside its callbacks.
    bool destroyCamera(int32_t index);
    // Destroys every camera and the device list.
    void destroyAll();
    bool allSlotsEmpty() const;

    // The shared device list, created on first use with the system's video devices.
    videoDeviceList& deviceList();
    // Destroys the device list once no camera is left.
    void releaseDeviceListIfUnused();
    bool hasDeviceList() const { return devices_ != nullptr; }

    // Opens the library log at the user's default location with the configured switches,
    // unless it is open already.
    void openLogIfAbsent();
    // Ends the library log ("Session stopped" is its last line); no effect when closed.
    void closeLog();

  private:
    libraryState();

    std::unique_ptr<videoDeviceList> devices_;
    // Owning. The client thread changes the slots; callbacks on the cameras' own threads may
    // read them (a status callback that closes its camera), hence atomic.
    std::array<std::atomic<camera*>, kCameraSlots> cameraTable_{};
};

}  // namespace dravix
