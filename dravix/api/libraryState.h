#pragma once

#include <array>
#include <cstdint>

namespace dravix {

class camera;

// The library-wide state of one process: the table of cameras and the library log's life.
// The table carries no lock; the exports are called from one client thread.
class libraryState {
  public:
    static constexpr int32_t kCameraSlots = 10;
    static constexpr int32_t kLastSlot = kCameraSlots - 1;

    static libraryState& instance();

    static bool isValidIndex(int32_t index) { return index >= 0 && index < kCameraSlots; }

    // The camera in slot `index`; null for an empty slot or an index outside the table.
    camera* cameraAt(int32_t index) const;
    // Stores `cam` (or null) in slot `index`; the slot then refers to it.
    void setCamera(int32_t index, camera* cam);
    bool allSlotsEmpty() const;

    // Opens the library log at the user's default location with the configured switches,
    // unless it is open already.
    void openLogIfAbsent();
    // Ends the library log ("Session stopped" is its last line); no effect when closed.
    void closeLog();

  private:
    libraryState() = default;

    std::array<camera*, kCameraSlots> cameraTable_{};
};

}  // namespace dravix
