#pragma once

#include <atomic>
#include <cstdint>

#include <opencv2/core/mat.hpp>

// The newest camera frames, shared between the library's delivery thread (which stores every
// frame) and the GUI thread (which shows the newest). Four slots of packed 4:2:2 images; the
// delivery side writes the slot after the newest and publishes its index only after the copy.
//
// Hand-off without a lock: the display claims the slot it is about to read and the delivery side
// announces the slot it is about to write; each side checks the other's word after setting its own
// (sequentially consistent, so at least one of them sees the other). The delivery side then moves
// on to the next slot and the display skips that tick, so a slot is never read while it is being
// written, however fast frames arrive, and storing a frame never waits: it costs one copy.
//
// The format comes from the frames: while it is unknown, the first frame of a known byte count
// sets it. Frames of another size are dropped (but counted) until the GUI clears the format.
class frameRing {
  public:
    static constexpr int kSlots = 4;

    struct format {
        int32_t width;
        int32_t height;
    };

    // The one ring of the process: the library's callbacks are plain functions without an object.
    static frameRing& shared();

    // Delivery side: one call per delivered frame (`frame` may be null).
    void store(const uint8_t* frame, int64_t bytes);

    // GUI side.
    // Starts a new session: frames are taken again after stopTaking().
    void startTaking();
    // Ignores every later frame and releases the slots to no one (shutdown).
    void stopTaking();
    // Forgets the format: the next frame of a known size sets it.
    void clearFormat();
    format currentFormat() const;
    // Allocates the four slots for the current format, zero-filled, and starts storing frames.
    void allocate();
    bool allocated() const;
    int newestIndex() const;
    int frameCount() const;
    void resetFrameCount();

    // Claims slot `index` for reading; false when it is being written (skip it this time).
    bool claim(int index);
    // The claimed slot's image; valid until release().
    const cv::Mat& claimed() const;
    void release();

  private:
    static constexpr int kNone = -1;

    static int64_t pack(format f);
    static format unpack(int64_t packed);

    // The format of a frame of `bytes` bytes, setting it when unknown; {0, 0} to drop the frame.
    format acceptedFormat(int64_t bytes);
    // Announces the slot to write next, avoiding the claimed one; kNone when storing is off.
    int beginWrite();

    cv::Mat slots_[kSlots];
    std::atomic<int64_t> format_{0};
    std::atomic<int> newest_{0};
    std::atomic<int> frameCount_{0};
    std::atomic<bool> exiting_{false};
    std::atomic<bool> allocated_{false};
    std::atomic<int> writing_{kNone};
    std::atomic<int> reading_{kNone};
};
