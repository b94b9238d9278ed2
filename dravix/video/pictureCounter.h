#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>

#include "platform/threadAnnotations.h"

namespace dravix {

// The number in the names of saved pictures, shared by all cameras of the process: it counts
// every picture (name modes 1 and 3) and restarts at 0 with each new second for the modes that
// number the pictures within one second (5 and up). Several client threads may save at once.
class pictureCounter {
  public:
    static constexpr int kWrap = 1000;  // 999 is followed by 0
    static constexpr int kFirstPerSecondMode = 5;

    // The one of the process.
    static pictureCounter& process();

    // Reads the time from `clock` and takes the counter for a picture of a camera whose last
    // picture was taken at `lastPictureTime` (that camera's own, updated here). A new second is
    // one that differs from the last second of any camera, or any time more than 60 s after
    // this camera's last picture. Returns the counter; `now` is the time read.
    int next(int32_t nameMode, const std::function<std::time_t()>& clock,
             std::time_t& lastPictureTime, std::time_t& now);

  private:
    annotatedMutex mutex_;
    int counter_ GUARDED_BY(mutex_) = 0;
    int lastSecond_ GUARDED_BY(mutex_) = 0;
};

}  // namespace dravix
