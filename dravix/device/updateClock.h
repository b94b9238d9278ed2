#pragma once

#include <chrono>

#include "platform/manualResetEvent.h"

namespace dravix {

// The time source of a firmware update: every pause and every wait for another thread goes
// through it, so that a cancel ends a pause at once and tests can run long pauses without
// waiting for them.
class updateClock {
  public:
    virtual ~updateClock() = default;

    // Waits until `event` is set, at most `duration`; true when it was set.
    virtual bool waitFor(manualResetEvent& event, std::chrono::milliseconds duration) = 0;
};

}  // namespace dravix
